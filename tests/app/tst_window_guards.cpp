// What the window guards against: a text from a person or a file taken for
// markup (shown as plain text in every tooltip and list), a lock of another
// computer taken for a live one, a read-only data folder, and meter records
// that a trial read kept left unfiled.
#include "fake_meter_link.h"
#include "fakes.h"
#include "open_main.h"
#include "test_world.h"

#include "app/commands.h"
#include "app/import_preview_window.h"
#include "app/main_window.h"
#include "app/meter_window.h"
#include "app/startup.h"
#include "archives/archive_readings_model.h"
#include "common/app_state.h"
#include "common/control_ids.h"
#include "common/identity.h"
#include "common/preferences_file.h"
#include "common/text.h"
#include "exchange/import_presets.h"
#include "measurements/period_list_model.h"
#include "meter/meter_pending.h"
#include "platform/instance_lock.h"
#include "reports/report_files.h"
#include "series_window/series_window.h"
#include "ui/assets/assets.h"
#include "ui/drawing.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QDirIterator>
#include <QLabel>
#include <QPainter>
#include <QProcess>
#include <QPushButton>
#include <QScopeGuard>
#include <QSysInfo>
#include <QTableWidget>
#include <QTest>
#include <QTextDocument>

using namespace tl;
using namespace tl::test;

namespace {

const QString kRichNote =
    QStringLiteral("<h1 style=color:red>SYSTOLIQUE 95</h1><img src=/local/file.png> a &lt; b");

// A document that records the resources it is asked for instead of loading them.
class RecordingDocument : public QTextDocument {
public:
  QStringList asked;

protected:
  QVariant loadResource(int type, const QUrl &name) override {
    asked << name.toString();
    return QTextDocument::loadResource(type, QUrl());
  }
};

// What Qt shows for a tooltip: the text itself, or the text of its HTML
// when it takes it for rich text (drawn once, so that its images are
// asked for into `*asked`).
QString ShownToolTip(const QString &tip, QStringList *asked) {
  asked->clear();
  if (!Qt::mightBeRichText(tip)) {
    return tip;
  }
  RecordingDocument document;
  document.setHtml(tip);
  QImage image(400, 200, QImage::Format_RGB32);
  QPainter painter(&image);
  document.drawContents(&painter);
  *asked = document.asked;
  return document.toPlainText();
}

Reading SomeReading() {
  Reading r;
  r.set(Reading::Date, QStringLiteral("14/03/2026"));
  r.set(Reading::Time, QStringLiteral("08:15"));
  r.set(Reading::Systolic, QStringLiteral("131"));
  r.set(Reading::Diastolic, QStringLiteral("84"));
  r.set(Reading::Pulse, QStringLiteral("66"));
  return r;
}

// Every file under `folder`, with its size.
QStringList FilesUnder(const QString &folder) {
  QStringList files;
  QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
  while (it.hasNext()) {
    const QString path = it.next();
    files << path + u' ' + QString::number(QFileInfo(path).size());
  }
  files.sort();
  return files;
}

std::unique_ptr<MainWindow> OpenMain() { return OpenWiredMain(QStringLiteral("Alice"), false); }

} // namespace

class TestWindowGuards : public QObject {
  Q_OBJECT

private slots:
  void initTestCase() { LoadSharedAssets(); }

  // A note written as HTML, in each place that shows it: the tooltip shows
  // the note's own characters and loads nothing; the accessible text is the
  // note.
  void richTextShownAsPlainText_data() {
    QTest::addColumn<QString>("place");
    QTest::newRow("main list") << "main";
    QTest::newRow("archive manager") << "archive";
    QTest::newRow("import preview") << "preview";
  }
  void richTextShownAsPlainText() {
    QFETCH(QString, place);
    TestWorld world;
    QString tip, accessible, expected = kRichNote;
    std::unique_ptr<MainWindow> main;
    if (place == u"main") {
      State().currentPatient = QStringLiteral("Alice");
      RebuildMeasurementPaths(Paths(), State().currentPatient);
      main = std::make_unique<MainWindow>();
      PeriodListModel &list = main->lists().list(DayPeriod::Matin);
      list.append(SomeReading());
      main->logbook().contexts().set(DayPeriod::Matin, SomeReading(), {kRichNote, 0, {}});
      main->refreshContextMarks();
      tip = list.data(list.index(0, 2), Qt::ToolTipRole).toString();
      accessible = list.data(list.index(0, 0), Qt::AccessibleTextRole).toString();
      expected = QStringLiteral("Remarque : ") + kRichNote;
    } else if (place == u"archive") {
      ArchiveReadingsModel archive;
      archive.setReadings({SomeReading()}, {kRichNote});
      tip = archive.data(archive.index(0, 1), Qt::ToolTipRole).toString();
      accessible = archive.data(archive.index(0, Reading::kCellCount)).toString();
    } else {
      CsvFileStart start;
      start.records = {{"Date", "Heure", "Sys", "Dia", "Pouls", "Remarque"},
                       {"15/03/2026", "07:40", "128", "82", "71", kRichNote}};
      start.guess = GuessMapping(start.records.first());
      ImportPreviewWindow preview(world.home.path() + QStringLiteral("a.csv"), start, "Alice");
      auto *table = qobject_cast<QTableWidget *>(preview.control(ControlId::ImportTable));
      const QList<QTableWidgetItem *> cells = table->findItems(kRichNote, Qt::MatchExactly);
      QCOMPARE(cells.size(), 1);
      tip = cells[0]->toolTip();
      accessible = cells[0]->text();
    }
    QStringList asked;
    QCOMPARE(ShownToolTip(tip, &asked), expected);
    QVERIFY2(asked.isEmpty(), qPrintable(asked.join(u' ')));
    QVERIFY2(accessible.contains(kRichNote), qPrintable(accessible));
    // The check itself catches markup: the note as it stands would load its image.
    ShownToolTip(kRichNote, &asked);
    QVERIFY2(asked.contains(QStringLiteral("/local/file.png")), qPrintable(asked.join(u' ')));
  }

  // The tooltip of the main list as a tooltip label draws it, to look at.
  void richTextSnapshot() {
    QLabel label; // as QToolTip's label: rich text detected
    label.setText(PlainToolTip(QStringLiteral("Pouls irrégulier\nRemarque : ") + kRichNote));
    label.adjustSize();
    QVERIFY(label.grab().save(SnapshotFolder() + QStringLiteral("tooltip_rich_note.png")));
  }

  // A lock left on another computer: the window says who holds it and since
  // when, and asks, "Non" by default; "Non" leaves the folder to it, "Oui"
  // opens and takes the lock.
  void lockOfAnotherComputer_data() {
    QTest::addColumn<bool>("openAnyway");
    QTest::newRow("Non") << false;
    QTest::newRow("Oui") << true;
  }
  void lockOfAnotherComputer() {
    QFETCH(bool, openAnyway);
    TestWorld world;
    State().currentPatient = QStringLiteral("Alice");
    const QString lock = DataFolderLockPath(world.data());
    const QByteArray foreign = "4242\ntensiolog\nsalon\nautre-machine\nautre-demarrage\nbob\n"
                               "2026-03-14T08:15:00Z\n";
    QVERIFY(WriteFile(lock, foreign));
    openAnyway ? world.dialogs.answerYes() : world.dialogs.answerNo();
    Application app;
    QCOMPARE(app.start(), openAnyway);
    QCOMPARE(world.dialogs.shown.size(), 1);
    const ShownBox &box = world.dialogs.shown[0];
    QCOMPARE(box.kind, ShownBox::YesNo);
    QCOMPARE(box.byDefault, Dialogs::Default::No);
    QVERIFY2(box.text.contains(QStringLiteral("ordinateur « salon », compte « bob », depuis le "
                                              "%1")
                                   .arg(QDateTime(QDate(2026, 3, 14), QTime(8, 15), Qt::UTC)
                                            .toLocalTime()
                                            .toString(QStringLiteral("dd/MM/yyyy à HH:mm")))),
             qPrintable(box.text));
    if (openAnyway) {
      QVERIFY(ReadFile(lock).startsWith(QByteArray::number(QCoreApplication::applicationPid())));
      app.mainWindow()->closeWithoutSaving();
    } else {
      QCOMPARE(ReadFile(lock), foreign);
    }
  }

  // A data folder opened read-only: each way of writing there, from the
  // main window and the series window, is refused up front with the same
  // box, and nothing in the folder changes.
  void readOnlyRefusesEveryWrite_data() {
    QTest::addColumn<int>("id"); // a menu or shortcut id; 0: the series PDF, -1: the series button
    QTest::newRow("Imprimer") << ToInt(ShortcutId::Print);
    QTest::newRow("Imprimer (bouton)") << -ToInt(ControlId::ButtonPrint);
    QTest::newRow("Importer") << ToInt(ControlId::MenuImportCsv);
    QTest::newRow("Lire le tensiomètre") << ToInt(ControlId::MenuReadMeter);
    QTest::newRow("Archiver") << ToInt(ControlId::MenuArchiveLists);
    QTest::newRow("Remarque") << ToInt(ControlId::MenuNote);
    QTest::newRow("Paramètres") << ToInt(ShortcutId::Preferences);
    QTest::newRow("Mesurer maintenant") << ToInt(ShortcutId::MeasureNow);
    QTest::newRow("Démarrer une série") << ToInt(ControlId::MenuSeriesStart);
    QTest::newRow("Arrêter la série") << ToInt(ControlId::MenuSeriesStop);
    QTest::newRow("Garder près de l'horloge") << ToInt(ControlId::MenuSeriesKeepInTray);
    QTest::newRow("Mesurer maintenant (bouton)") << -1;
    QTest::newRow("Relevé : Enregistrer le PDF") << 0;
  }
  void readOnlyRefusesEveryWrite() {
    QFETCH(int, id);
    TestWorld world;
    auto main = OpenMain();
    main->lists().list(DayPeriod::Matin).append(SomeReading());
    const QStringList before = FilesUnder(world.data());
    State().readOnlyReason = QStringLiteral("support en lecture seule");
    if (id == 0) {
      SeriesWindow series(main->lists(), LogbookIdentity(main->logbook()), Paths().printFolder);
      emit series.pdfButton()->clicked();
    } else if (id == -1) {
      qobject_cast<QPushButton *>(main->control(ControlId::ButtonMeasureNow))->click();
    } else if (id < 0) {
      RunButtonCommand(*main, ControlId(-id));
    } else {
      RunMenuCommand(*main, id);
    }
    QCOMPARE(world.dialogs.shown.size(), 1);
    QCOMPARE(world.dialogs.shown[0].title, QStringLiteral("Lecture seule"));
    QCOMPARE(world.dialogs.shown[0].text, ReadOnlyRefusalText());
    QCOMPARE(FilesUnder(world.data()), before);
    main->closeWithoutSaving();
  }

  // "Lire le tensiomètre" with records a trial read kept
  // (ARTL_Tensiometre_<patient>.txt): they come first in the preview, even
  // when the meter sends nothing new or fails; once imported and saved the
  // file goes, and a cancelled preview leaves it.
  void keptMeterRecordsOffered_data() {
    QTest::addColumn<bool>("sendsNew");
    QTest::addColumn<QString>("error");
    QTest::addColumn<bool>("import");
    QTest::addColumn<int>("rows");
    QTest::newRow("nothing new") << false << "" << true << 1;
    QTest::newRow("the meter fails") << false << "connexion perdue" << true << 1;
    QTest::newRow("the kept one again and a new one") << true << "" << true << 2;
    QTest::newRow("preview cancelled") << false << "" << false << 1;
  }
  void keptMeterRecordsOffered() {
    QFETCH(bool, sendsNew);
    QFETCH(QString, error);
    QFETCH(bool, import);
    QFETCH(int, rows);
    TestWorld world;
    Preferences prefs;
    prefs.meterAddress = QStringLiteral("00:11:22:33:44:55"); // read at once
    QVERIFY(!WritePreferencesFile(Paths().preferencesFile, SerializeClosingPreferences(prefs)));
    auto main = OpenMain();
    const QDateTime at(QDate(2026, 3, 13), QTime(8, 15));
    const QByteArray keptRecord = MeterRecord(131, 84, 66, at);
    const QString kept = PendingMeterRecordsPath(Paths().dataFolder, QStringLiteral("Alice"));
    QVERIFY(WriteFile(kept, SerializePendingMeterRecords({{keptRecord, at}})));

    auto *link = new FakeMeterLink;
    if (sendsNew) {
      link->records = {keptRecord, MeterRecord(128, 82, 71, at.addSecs(3600))};
    }
    link->error = error;
    std::unique_ptr<MeterLink> owned(link);
    SetMeterLinkFactory([&owned] { return std::move(owned); });
    SetMeterWindowRunner([](MeterWindow &w) {
      QTest::qWait(0); // the window reads from the event loop
      return w.result() == QDialog::Accepted;
    });
    int shownRows = -1;
    QString warnings;
    SetImportPreviewRunner([&](ImportPreviewWindow &w) -> std::optional<ColumnMapping> {
      shownRows = qobject_cast<QTableWidget *>(w.control(ControlId::ImportTable))->rowCount();
      warnings = qobject_cast<QLabel *>(w.control(ControlId::ImportWarnings))->text();
      if (!error.isEmpty()) {
        w.grab().save(SnapshotFolder() + QStringLiteral("import_preview_kept_meter_records.png"));
      }
      return import ? std::optional(w.mapping()) : std::nullopt;
    });
    RunMenuCommand(*main, ToInt(ControlId::MenuReadMeter));
    SetMeterWindowRunner({});
    SetImportPreviewRunner({});
    SetMeterLinkFactory({});

    QCOMPARE(shownRows, rows);
    QVERIFY2(warnings.contains(QStringLiteral("Gardées lors de l'essai (tensiometre --dry-run), "
                                              "en tête de liste : 1.")),
             qPrintable(warnings));
    QCOMPARE(warnings.contains(QStringLiteral("Connexion perdue ; voici les mesures gardées")),
             !error.isEmpty());
    QCOMPARE(main->lists().totalCount(), import ? rows : 0);
    QCOMPARE(QFileInfo::exists(kept), !import);
    main->closeWithoutSaving();
  }

  // A data folder on a read-only medium: the window opens and says why,
  // and a command that would change a file is refused with a word.
  void readOnlyFolderOpensReadOnly() {
#ifndef Q_OS_LINUX
    QSKIP("a read-only medium is mounted with Linux's mount here");
#else
    TestWorld world;
    QVERIFY(WriteFile(world.data() + QStringLiteral("ARTL_Matin_Alice.txt"),
                      "1\r\n14/03/2026\r\n08:15\r\n131\r\n84\r\n66\r\nN\r\n"));
    // The data folder remounted read-only onto itself.
    const QString data = world.data().chopped(1);
    if (QProcess::execute(QStringLiteral("mount"), {QStringLiteral("--bind"), data, data}) != 0) {
      QSKIP("mounting needs root in a namespace that allows it");
    }
    const auto unmount = qScopeGuard([&] { QProcess::execute(QStringLiteral("umount"), {data}); });
    if (QProcess::execute(QStringLiteral("mount"),
                          {QStringLiteral("-o"), QStringLiteral("remount,bind,ro"), data}) != 0) {
      QSKIP("a read-only remount is not allowed here");
    }
    State().currentPatient = QStringLiteral("Alice");
    Application app;
    QVERIFY(app.start());
    QVERIFY(app.mainWindow());
    QCOMPARE(world.dialogs.shown.size(), 1);
    QVERIFY2(world.dialogs.shown[0].text.contains(QStringLiteral("support en lecture seule")),
             qPrintable(world.dialogs.shown[0].text));
    QCOMPARE(app.mainWindow()->lists().list(DayPeriod::Matin).rowCount(), 1);
    world.dialogs.clear();
    RunMenuCommand(*app.mainWindow(), ToInt(ControlId::MenuDelete));
    RunButtonCommand(*app.mainWindow(), ControlId::ButtonAdd);
    QCOMPARE(world.dialogs.shown.size(), 2);
    for (const ShownBox &box : world.dialogs.shown) {
      QCOMPARE(box.title, QStringLiteral("Lecture seule"));
    }
    QCOMPARE(app.mainWindow()->lists().list(DayPeriod::Matin).rowCount(), 1);
    app.mainWindow()->closeWithoutSaving();
#endif
  }
};

QTEST_MAIN(TestWindowGuards)
#include "tst_window_guards.moc"
