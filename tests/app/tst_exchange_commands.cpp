// The archive menu's exports and import from the main window: the choosers,
// the preview, the boxes, the files; and the import preview window itself.
#include "fake_meter_link.h"
#include "fakes.h"
#include "open_main.h"
#include "readings.h"
#include "test_world.h"

#include "app/commands.h"
#include "app/import_preview_window.h"
#include "app/main_window.h"
#include "app/meter_window.h"
#include "common/app_state.h"
#include "common/paths.h"
#include "common/preferences_file.h"
#include "exchange/import_presets.h"
#include "logbook/workflows.h"
#include "measurements/classification.h"
#include "measurements/period_list_model.h"
#include "ui/assets/assets.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QStandardPaths>
#include <QTableWidget>
#include <QTest>
#include <memory>

using namespace tl;
using namespace tl::test;

namespace {

using Env = TestWorld;

std::unique_ptr<MainWindow> OpenMain(const QString &patient = QStringLiteral("Alice")) {
  return OpenWiredMain(patient);
}

// Three readable readings and one whose systolic cell is no number.
void AddReadings(MainWindow &main) {
  main.lists().list(DayPeriod::Matin).append(MakeReading("08:15", 131, 84, 66, "13/03/2026"));
  main.lists().list(DayPeriod::Nuit).append(MakeReading("05:40", 128, 82, 71, "14/03/2026"));
  main.lists().list(DayPeriod::Soir).append(MakeReading("21:05", 119, 77, 70, "13/03/2026"));
  main.lists()
      .list(DayPeriod::Soir)
      .append(CellsReading({"14/03/2026", "20:00", "abc", "80", "70", ""}));
  main.updateStatusCounts();
}

// The folder the choosers open in: the documents folder, or the home
// folder when there is none (as in the test's empty profile).
QString Documents() {
  const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  return (QFileInfo(documents).isDir() ? documents : QDir::homePath()) + u'/';
}

// The preview answers by pressing one of its buttons, after the roles given
// (empty: as guessed) and the header choice.
struct PreviewScript {
  QList<ColumnRole> roles;
  bool header = true;
  QString button = QStringLiteral("Importer");
  int shown = 0;
  bool importOffered = false; // "Importer" could be pressed before the roles changed

  PreviewScript() {
    SetImportPreviewRunner([this](ImportPreviewWindow &w) -> std::optional<ColumnMapping> {
      ++shown;
      importOffered = w.control(ControlId::ImportButtonImport)->isEnabled();
      for (int c = 0; c < roles.size(); ++c) {
        w.setRole(c, roles[c]);
      }
      w.setHeader(header);
      const ControlId id =
          button == u"Importer" ? ControlId::ImportButtonImport : ControlId::ImportButtonCancel;
      qobject_cast<QPushButton *>(w.control(id))->click();
      if (w.result() != QDialog::Accepted) {
        return std::nullopt;
      }
      return w.mapping();
    });
  }
  ~PreviewScript() { SetImportPreviewRunner({}); }
};

const QByteArray kNormal = "La systole de 128 mmHg et la diastole de 82 mmHg, indiquent une "
                           "Pression art\xC3\xA9rielle normale\r\n";

} // namespace

class TestExchangeCommands : public QObject {
  Q_OBJECT

private slots:
  void initTestCase() { LoadSharedAssets(); }

  // Both exports from the menu (and Ctrl+E): the chooser in the documents
  // folder with the patient's name proposed, the file written, the box.
  void exportFromTheMenu_data() {
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("target"); // "@" the home folder; "": cancelled
    QTest::addColumn<QString>("chooser");
    QTest::addColumn<QString>("proposed");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<int>("icon");
    QTest::addColumn<QString>("text"); // "*": starts so
    const int csv = ToInt(ControlId::MenuExportCsv);
    const QString csvTitle = QStringLiteral("Exporter les relevés (CSV)");
    const QString csvFilter = QStringLiteral("Fichiers CSV (*.csv)");
    const int info = int(Dialogs::Icon::Information);
    QTest::newRow("CSV") << csv << "@relevés.csv" << csvTitle << "Alice.csv" << csvFilter << info
                         << "4 relevés exportés dans @relevés.csv.";
    QTest::newRow("CSV, Ctrl+E") << ToInt(ShortcutId::ExportCsv) << "@a.csv" << csvTitle
                                 << "Alice.csv" << csvFilter << info
                                 << "4 relevés exportés dans @a.csv.";
    QTest::newRow("FHIR, one left out")
        << ToInt(ControlId::MenuExportFhir) << "@a.json"
        << "Exporter au format FHIR"
        << "Alice.json"
        << "Fichiers FHIR JSON (*.json)" << info
        << "3 relevés exportés dans @a.json, 1 laissés de côté (valeurs illisibles).";
    QTest::newRow("cancelled") << csv << "" << csvTitle << "Alice.csv" << csvFilter << -1 << "";
    QTest::newRow("folder missing")
        << csv << "@absent/a.csv" << csvTitle << "Alice.csv" << csvFilter
        << int(Dialogs::Icon::Error)
        << "*Le fichier n'a pu être écrit : aucun relevé n'a été exporté.\n\n@absent/a.csv : ";
  }
  void exportFromTheMenu() {
    QFETCH(int, id);
    QFETCH(QString, target);
    QFETCH(QString, chooser);
    QFETCH(QString, proposed);
    QFETCH(QString, filter);
    QFETCH(int, icon);
    QFETCH(QString, text);
    Env env;
    auto main = OpenMain();
    AddReadings(*main);
    target.replace(u'@', env.home.path());
    // The messages name files with the system's separators; these texts
    // hold no other slash.
    text = QDir::toNativeSeparators(text.replace(u'@', env.home.path()));
    env.dialogs.answerText(target);
    RunMenuCommand(*main, id);

    QCOMPARE(env.dialogs.shown.size(), icon < 0 ? 1 : 2);
    const ShownBox &asked = env.dialogs.shown[0];
    QCOMPARE(asked.kind, ShownBox::SaveFile);
    QCOMPARE(asked.title, chooser);
    QCOMPARE(asked.initial, Documents() + proposed);
    QCOMPARE(asked.text, filter);
    QCOMPARE(QFileInfo::exists(target), icon == int(Dialogs::Icon::Information));
    if (icon >= 0) {
      const ShownBox &box = env.dialogs.shown[1];
      QCOMPARE(box.title, QStringLiteral("Exportation"));
      QCOMPARE(int(box.icon), icon);
      if (text.startsWith(u'*')) {
        QVERIFY2(box.text.startsWith(text.mid(1)), qPrintable(box.text));
      } else {
        QCOMPARE(box.text, text);
      }
    }
    // Nothing of a failed write is left beside the target.
    QCOMPARE(QDir(env.home.path()).entryList({"*.csv*", "*.json*"}, QDir::Files).size(),
             icon == int(Dialogs::Icon::Information) ? 1 : 0);
    main->closeWithoutSaving();
  }

  // The import from the menu (and Ctrl+L): chooser, preview, the readings
  // after those there, the lists saved, the counts refreshed and the summary;
  // a cancel anywhere changes nothing, a failed save is told.
  void importFromTheMenu_data() {
    QTest::addColumn<int>("id");
    QTest::addColumn<QByteArray>("csv");
    QTest::addColumn<QString>("answer"); // the chooser's answer; "@" the file
    QTest::addColumn<QList<ColumnRole>>("roles");
    QTest::addColumn<QString>("button");
    QTest::addColumn<bool>("blockSave");
    QTest::addColumn<bool>("offered");
    QTest::addColumn<QString>("matin");     // status field 1 afterwards
    QTest::addColumn<QStringList>("boxes"); // "title|text" after the chooser

    const int menu = ToInt(ControlId::MenuImportCsv);
    const QByteArray named = "Date;Heure;Systolique;Diastolique;Pouls\r\n"
                             "13/03/2026;08:15;131;84;66\r\n"
                             "15/03/2026;07:40;128;82;71\r\n"
                             "15/03/2026;07:45;12;82;71\r\n";
    const QString summary = QStringLiteral("Importation|1 relevé importé, 1 doublon ignoré, 1 "
                                           "ligne rejetée.\nligne 4 : valeurs invraisemblables");
    const QList<ColumnRole> guessed;
    QTest::newRow("as guessed") << menu << named << "@" << guessed << "Importer" << false << true
                                << "Matin : 2" << QStringList{summary};
    QTest::newRow("Ctrl+L") << ToInt(ShortcutId::ImportCsv) << named << "@" << guessed << "Importer"
                            << false << true << "Matin : 2" << QStringList{summary};
    QTest::newRow("roles chosen in the preview")
        << menu << QByteArray("Quand;Haut;Bas;Coeur\n15/03/2026 07:40;128;82;71\n") << "@"
        << QList<ColumnRole>{ColumnRole::DateTime, ColumnRole::Systolic, ColumnRole::Diastolic,
                             ColumnRole::Pulse}
        << "Importer" << false << false << "Matin : 2"
        << QStringList{"Importation|1 relevé importé, 0 doublon ignoré, 0 ligne rejetée."};
    QTest::newRow("save fails") << menu << named << "@" << guessed << "Importer" << true << true
                                << "Matin : 2"
                                << QStringList{"*Sauvegarde|La sauvegarde de vos données n'a pu "
                                               "se faire.\n\n",
                                               summary};
    QTest::newRow("preview cancelled") << menu << named << "@" << guessed << "Annuler" << false
                                       << true << "Matin : 1" << QStringList{};
    QTest::newRow("chooser cancelled")
        << menu << named << "" << guessed << "" << false << false << "Matin : 1" << QStringList{};
    QTest::newRow("file missing") << menu << QByteArray() << "@" << guessed << "" << false << false
                                  << "Matin : 1"
                                  << QStringList{"Importation|*Le fichier n'a pu être lu.\n\n"};
  }
  void importFromTheMenu() {
    QFETCH(int, id);
    QFETCH(QByteArray, csv);
    QFETCH(QString, answer);
    QFETCH(QList<ColumnRole>, roles);
    QFETCH(QString, button);
    QFETCH(bool, blockSave);
    QFETCH(bool, offered);
    QFETCH(QString, matin);
    QFETCH(QStringList, boxes);
    Env env;
    auto main = OpenMain();
    AddReadings(*main);
    QVERIFY(SaveLogbook(main->logbook()).failed.isEmpty());
    const QByteArray matinBefore = ReadFile(Paths().measurementFile(DayPeriod::Matin));
    const QString file = env.home.path() + QStringLiteral("mesures.csv");
    if (!csv.isEmpty()) {
      QVERIFY(WriteFile(file, csv));
    }
    if (blockSave) {
      // A folder where the Jour file goes: that list cannot be written.
      QVERIFY(QDir().mkpath(Paths().measurementFile(DayPeriod::Jour)));
      main->lists().list(DayPeriod::Jour).append(MakeReading("14:00", 128, 82, 71));
    }
    PreviewScript preview;
    preview.roles = roles;
    preview.button = button;
    env.dialogs.answerText(answer.replace(u'@', file));
    RunMenuCommand(*main, id);

    const ShownBox &asked = env.dialogs.shown.value(0);
    QCOMPARE(asked.kind, ShownBox::OpenFile);
    QCOMPARE(asked.title, QStringLiteral("Importer des relevés (CSV)"));
    QCOMPARE(asked.initial, Documents().chopped(1));
    QCOMPARE(asked.text,
             QStringLiteral(
                 "Fichiers de relevés (*.csv *.txt *.json *.xml *.zip);;Tous les fichiers (*)"));
    QCOMPARE(preview.shown, button.isEmpty() ? 0 : 1);
    QCOMPARE(preview.importOffered, offered);
    QStringList shown;
    for (qsizetype i = 1; i < env.dialogs.shown.size(); ++i) {
      shown << env.dialogs.shown[i].title + u'|' + env.dialogs.shown[i].text;
    }
    QCOMPARE(shown.size(), boxes.size());
    for (qsizetype i = 0; i < boxes.size(); ++i) {
      if (boxes[i].contains(u'*')) {
        QVERIFY2(shown[i].startsWith(boxes[i].remove(u'*')), qPrintable(shown[i]));
      } else {
        QCOMPARE(shown[i], boxes[i]);
      }
    }
    QCOMPARE(main->statusText(1), matin);
    const PeriodListModel &list = main->lists().list(DayPeriod::Matin);
    const bool imported = matin == u"Matin : 2";
    if (imported) {
      // After the reading there, saved with it.
      QCOMPARE(list.reading(0), MakeReading("08:15", 131, 84, 66, "13/03/2026"));
      QCOMPARE(list.reading(1), MakeReading("07:40", 128, 82, 71, "15/03/2026"));
      QCOMPARE(ReadFile(Paths().measurementFile(DayPeriod::Matin)),
               "2\r\n13/03/2026\r\n08:15\r\n131\r\n84\r\n66\r\n" +
                   list.reading(0)[Reading::Diagnosis].toUtf8() +
                   "\r\n15/03/2026\r\n07:40\r\n128\r\n82\r\n71\r\n" + kNormal);
      QCOMPARE(qobject_cast<QLabel *>(main->control(ControlId::AverageCountMatin))->text(),
               QStringLiteral("Base de 2 mesures"));
    } else {
      QCOMPARE(ReadFile(Paths().measurementFile(DayPeriod::Matin)), matinBefore);
    }
    main->closeWithoutSaving();
  }

  // "Lire le tensiomètre (Bluetooth)...": the search or the remembered
  // meter, the user number kept for the patient, the records in the
  // preview, and what is filed, saved and remembered.
  void readMeterFromTheMenu_data() {
    QTest::addColumn<QString>("remembered"); // MeterAddress before
    QTest::addColumn<QString>("ties");       // MeterUsers before
    QTest::addColumn<QString>("error");      // the link's; "!" first: after the records
    QTest::addColumn<QStringList>("steps"); // in the meter window ("had 2": record 2 already filed)
    QTest::addColumn<QStringList>("calls"); // what the link was asked
    QTest::addColumn<QString>("progress");  // the line as the window ended
    QTest::addColumn<QStringList>("preview"); // its lines; empty: not shown
    QTest::addColumn<QString>("button");      // pressed in the preview
    QTest::addColumn<QString>("summary");     // the "Importation" box; "": none
    QTest::addColumn<QString>("address");     // MeterAddress after
    QTest::addColumn<QString>("tiesAfter");   // MeterUsers after
    const QString a = QStringLiteral("00:11:22:33:44:55"), b = QStringLiteral("66:77:88:99:AA:BB");
    const QStringList all{"13/03/2026 | 08:15 | 131 | 84 | 66 | 1 | pouls irrégulier",
                          "14/03/2026 | 21:05 | 128 | 82 | 71 | 2 | ",
                          " |  |  |  |  | 1 | Mesure refusée : systolique non mesurée"};
    const QString summary3 = QStringLiteral("2 relevés importés, 0 doublon ignoré, 1 ligne "
                                            "rejetée.\nrelevé 3 : systolique non mesurée");
    QTest::newRow("first time: search, choose, read")
        << ""
        << ""
        << "" << QStringList{"select 1", "Lire"} << QStringList{"search", "read " + b} << "" << all
        << "Importer" << summary3 << b << "";
    QTest::newRow("remembered meter read at once")
        << a << ""
        << "" << QStringList{} << QStringList{"read " + a} << "" << all << "Importer" << summary3
        << a << "";
    QTest::newRow("user tied to the patient")
        << a << "Bob:1|Alice:2"
        << "" << QStringList{} << QStringList{"read " + a} << ""
        << QStringList{"13/03/2026 | 08:15 | 131 | 84 | 66 | 1 | Autre utilisateur : non importée",
                       all[1], " |  |  |  |  | 1 | Autre utilisateur : non importée"}
        << "Importer"
        << "1 relevé importé, 0 doublon ignoré, 0 ligne rejetée.\n2 relevés d'un autre "
           "utilisateur du tensiomètre ignorés."
        << a << "Bob:1|Alice:2";
    QTest::newRow("a number taken from another patient")
        << ""
        << "Bob:1"
        << "" << QStringList{"user 1", "Lire"} << QStringList{"search", "read " + a} << ""
        << QStringList{all[0],
                       "14/03/2026 | 21:05 | 128 | 82 | 71 | 2 | Autre utilisateur : non importée",
                       all[2]}
        << "Importer"
        << "1 relevé importé, 0 doublon ignoré, 1 ligne rejetée.\n1 relevé d'un autre "
           "utilisateur du tensiomètre ignoré.\nrelevé 3 : systolique non mesurée"
        << a << "Alice:1";
    QTest::newRow("read fails, then cancelled")
        << a << ""
        << "appairez le tensiomètre dans les paramètres Bluetooth du système"
        << QStringList{"Annuler"} << QStringList{"read " + a, "cancel"}
        << "Appairez le tensiomètre dans les paramètres Bluetooth du système." << QStringList{}
        << ""
        << "" << a << "";
    QTest::newRow("link broken after the records: they are kept")
        << a << ""
        << "!la connexion avec le tensiomètre a été perdue" << QStringList{}
        << QStringList{"read " + a} << "" << all << "Importer" << summary3 << a << "";
    QTest::newRow("busy while reading, then cancelled")
        << ""
        << ""
        << "" << QStringList{"hold", "Lire", "busy", "Annuler"}
        << QStringList{"search", "read " + a, "cancel"} << "Connexion au tensiomètre…"
        << QStringList{} << ""
        << ""
        << ""
        << "";
    QTest::newRow("already in the lists")
        << ""
        << ""
        << "" << QStringList{"had 2", "Lire"} << QStringList{"search", "read " + a} << ""
        << QStringList{all[0],
                       "14/03/2026 | 21:05 | 128 | 82 | 71 | 2 | Déjà enregistrée : non ajoutée",
                       all[2]}
        << "Importer"
        << "1 relevé importé, 1 doublon ignoré, 1 ligne rejetée.\nrelevé 3 : systolique non "
           "mesurée"
        << a << "";
    QTest::newRow("preview cancelled: the tie stays as it was")
        << ""
        << "Alice:2"
        << "" << QStringList{"user 1", "Lire"} << QStringList{"search", "read " + a} << ""
        << QStringList{all[0],
                       "14/03/2026 | 21:05 | 128 | 82 | 71 | 2 | Autre utilisateur : non importée",
                       all[2]}
        << "Annuler"
        << "" << a << "Alice:2";
    QTest::newRow("preview cancelled: the meter is remembered all the same")
        << ""
        << ""
        << "" << QStringList{"Lire"} << QStringList{"search", "read " + a} << "" << all << "Annuler"
        << "" << a << "";
  }
  void readMeterFromTheMenu() {
    QFETCH(QString, remembered);
    QFETCH(QString, ties);
    QFETCH(QString, error);
    QFETCH(QStringList, steps);
    QFETCH(QStringList, calls);
    QFETCH(QString, progress);
    QFETCH(QStringList, preview);
    QFETCH(QString, button);
    QFETCH(QString, summary);
    QFETCH(QString, address);
    QFETCH(QString, tiesAfter);
    Env env;
    Preferences prefs;
    prefs.meterAddress = remembered;
    prefs.meterUsers = ties;
    QVERIFY(!WritePreferencesFile(Paths().preferencesFile, SerializeClosingPreferences(prefs)));
    auto main = OpenMain();
    QVERIFY(SaveLogbook(main->logbook()).failed.isEmpty());

    auto *link = new FakeMeterLink; // the command owns it while the windows use it
    link->meters = {{QStringLiteral("BP7000"), QStringLiteral("00:11:22:33:44:55")},
                    {QString(), QStringLiteral("66:77:88:99:AA:BB")}};
    const auto at = [](int day, int h, int m) {
      return QDateTime(QDate(2026, 3, day), QTime(h, m));
    };
    link->records = {MeterRecord(131, 84, 66, at(13, 8, 15), 1, 0x0004),
                     MeterRecord(128, 82, 71, at(14, 21, 5), 2),
                     MeterRecord(-1, 82, 71, at(14, 21, 9), 1)};
    // An error alone, or after the records.
    if (!error.isEmpty() && !error.startsWith(u'!')) {
      link->records.clear();
    }
    link->error = error.remove(u'!');
    std::unique_ptr<MeterLink> owned(link);
    SetMeterLinkFactory([&owned] { return std::move(owned); });
    QString progressShown;
    QStringList asked;                    // the link's calls, read while it lives
    qsizetype had = 0;                    // readings already in the lists
    bool busy = !steps.contains(u"busy"); // the controls were disabled while reading
    SetMeterWindowRunner([&](MeterWindow &w) {
      QTest::qWait(0); // the window starts from the event loop
      auto *list = qobject_cast<QListWidget *>(w.control(ControlId::MeterList));
      for (const QString &step : steps) {
        if (step == u"hold") {
          link->holdRead = true;
        } else if (step.startsWith(u"had ")) {
          const int n = step.mid(4).toInt() - 1;
          const MeterReading r = ReadMeterRecord(link->records[n], link->received);
          main->lists()
              .list(PeriodOfMinutes(r.minutes))
              .append(MakeReadingFromValues(r.date, r.minutes, r.systolic, r.diastolic, r.pulse));
          ++had;
        } else if (step == u"busy") {
          busy = !list->isEnabled() && !w.control(ControlId::MeterButtonRead)->isEnabled() &&
                 !w.control(ControlId::MeterButtonSearch)->isEnabled() &&
                 !w.control(ControlId::MeterUser)->isEnabled();
        } else if (step.startsWith(u"select ")) {
          list->setCurrentRow(step.mid(7).toInt());
        } else if (step.startsWith(u"user ")) {
          auto *user = qobject_cast<QComboBox *>(w.control(ControlId::MeterUser));
          user->setCurrentIndex(user->findData(step.mid(5).toInt()));
        } else {
          const ControlId id = step == u"Lire"      ? ControlId::MeterButtonRead
                               : step == u"Annuler" ? ControlId::MeterButtonCancel
                                                    : ControlId::MeterButtonSearch;
          qobject_cast<QPushButton *>(w.control(id))->click();
        }
      }
      progressShown = qobject_cast<QLabel *>(w.control(ControlId::MeterProgress))->text();
      asked = link->calls;
      return w.result() == QDialog::Accepted;
    });
    QStringList previewLines;
    SetImportPreviewRunner([&](ImportPreviewWindow &w) -> std::optional<ColumnMapping> {
      auto *table = qobject_cast<QTableWidget *>(w.control(ControlId::ImportTable));
      for (int r = 0; r < table->rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < table->columnCount(); ++c) {
          cells << table->item(r, c)->text();
        }
        previewLines << cells.join(QStringLiteral(" | "));
      }
      const ControlId id =
          button == u"Importer" ? ControlId::ImportButtonImport : ControlId::ImportButtonCancel;
      qobject_cast<QPushButton *>(w.control(id))->click();
      return w.result() == QDialog::Accepted ? std::optional(w.mapping()) : std::nullopt;
    });
    RunMenuCommand(*main, ToInt(ControlId::MenuReadMeter));
    SetMeterWindowRunner({});
    SetImportPreviewRunner({});
    SetMeterLinkFactory({});

    QCOMPARE(asked, calls);
    QVERIFY(busy);
    if (!progress.isEmpty()) {
      QCOMPARE(progressShown, progress);
    }
    QCOMPARE(previewLines, preview);
    QCOMPARE(env.dialogs.shown.isEmpty() ? QString() : env.dialogs.shown.last().text, summary);
    const Preferences after = ReadPreferences(PreferencesReader::fromFile(Paths().preferencesFile));
    QCOMPARE(after.meterAddress, address);
    QCOMPARE(after.meterUsers, tiesAfter);
    // A confirmed import names the meter for the patient: its name, or its
    // address when it gave none.
    const QString meter = PatientEntryOf(after.meterNames, main->logbook().patient());
    QCOMPARE(!meter.isEmpty(), button == u"Importer");
    QVERIFY2(meter.isEmpty() || meter == u"BP7000" || meter == address, qPrintable(meter));
    // What was filed is on disk, flags included.
    QString patient = main->logbook().patient();
    StoragePaths paths = Paths();
    Logbook reloaded(patient, paths);
    QVERIFY(LoadLogbook(reloaded).isEmpty());
    const qsizetype filed = summary.isEmpty() ? 0 : summary.section(u' ', 0, 0).toInt();
    QCOMPARE(reloaded.lists().totalCount(), filed + (summary.isEmpty() ? 0 : had));
    const bool irregularFiled = filed > 0 && preview.value(0).endsWith(u"pouls irrégulier");
    QCOMPARE(reloaded.contexts().size(), qsizetype(irregularFiled ? 1 : 0));
    QCOMPARE(main->lists().totalCount(), filed + had);
    main->closeWithoutSaving();
  }

  // Readings entered in date order, exported from one patient and imported
  // into a new one, give that patient the same files byte for byte.
  void exportThenImportIntoANewPatient() {
    Env env;
    auto main = OpenMain();
    int n = 0;
    for (int day = 1; day <= 10; ++day) {
      const QString date = QDate(2026, 2, day).toString(QStringLiteral("dd/MM/yyyy"));
      for (const char *time : {"03:10", "07:20", "13:30", "20:40", "23:59"}) {
        const QString t = QString::fromLatin1(time);
        main->lists()
            .list(PeriodOfTime(t))
            .append(MakeReading(t, 100 + (n * 7) % 90, 60 + (n * 3) % 35, 50 + n % 40, date));
        ++n;
      }
    }
    QVERIFY(SaveLogbook(main->logbook()).failed.isEmpty());
    const QString csv = env.home.path() + QStringLiteral("Alice.csv");
    env.dialogs.answerText(csv);
    RunMenuCommand(*main, ToInt(ControlId::MenuExportCsv));

    QVERIFY(SwitchPatient(main->logbook(), QStringLiteral("Bruno")).switched);
    QCOMPARE(main->lists().totalCount(), qsizetype(0));
    PreviewScript preview;
    env.dialogs.answerText(csv);
    RunMenuCommand(*main, ToInt(ControlId::MenuImportCsv));
    QCOMPARE(env.dialogs.shown.last().text,
             QStringLiteral("50 relevés importés, 0 doublon ignoré, 0 ligne rejetée."));
    for (DayPeriod p : kAllPeriods) {
      const QString bruno = Paths().measurementFile(p);
      QString alice = bruno;
      alice.replace(QStringLiteral("_Bruno.txt"), QStringLiteral("_Alice.txt"));
      QVERIFY(QFileInfo::exists(bruno));
      QCOMPARE(ReadFile(bruno), ReadFile(alice));
    }
    main->closeWithoutSaving();
  }

  // The preview from the keyboard: the selectors first, then the lines, the
  // header choice, the date order and the two buttons; Escape cancels.
  void previewFromTheKeyboard() {
    Env env;
    CsvFileStart start;
    start.records = {{"Date", "Heure", "Sys", "Dia", "Pouls"},
                     {"15/03/2026", "07:40", "128", "82", "71"}};
    start.guess = GuessMapping(start.records.first());
    ImportPreviewWindow w(env.home.path() + QStringLiteral("a.csv"), start, "Alice");
    w.show();
    QApplication::setActiveWindow(&w);
    QVERIFY(QTest::qWaitForWindowActive(&w));
    QTRY_COMPARE(QApplication::focusWidget(), w.roleSelector(0));
    QList<QWidget *> expected;
    for (int c = 1; c < w.columnCount(); ++c) {
      expected << w.roleSelector(c);
    }
    expected << w.control(ControlId::ImportTable) << w.control(ControlId::ImportHeaderBox)
             << w.control(ControlId::ImportDateOrder) << w.control(ControlId::ImportButtonImport)
             << w.control(ControlId::ImportButtonCancel);
    for (QWidget *next : expected) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      QCOMPARE(QApplication::focusWidget(), next);
    }
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    QCOMPARE(w.result(), int(QDialog::Rejected));
    QVERIFY(!w.isVisible());
  }

  // A line of junk with thousands of separators: the preview shows a bounded
  // number of columns (the others are ignored) and cuts long fields.
  void previewOfJunkIsBounded() {
    Env env;
    CsvFileStart start;
    start.records = {QStringList(5000, QStringLiteral("x")), {QString(70000, u'y')}};
    start.guess = GuessMapping(start.records.first());
    ImportPreviewWindow w(env.home.path() + QStringLiteral("junk.csv"), start, "Alice");
    QCOMPARE(w.columnCount(), 40);
    QCOMPARE(w.mapping().roles.size(), qsizetype(40));
    auto *table = qobject_cast<QTableWidget *>(w.control(ControlId::ImportTable));
    QVERIFY(table->item(2, 0)->text().size() < 200);
  }

  // The preview of a Tensiolog export, and of a file whose columns are not
  // all known, as pictures.
  void previewSnapshots() {
    Env env;
    CsvFileStart start;
    start.records << QStringList{"Date",        "Heure", "Période",   "Systolique",
                                 "Diastolique", "Pouls", "Diagnostic"};
    for (int i = 0; i < 25 && start.records.size() < kPreviewRecords; ++i) {
      start.records << QStringList{QDate(2026, 3, 1 + i).toString(Qt::ISODate),
                                   "07:1" + QString::number(i % 10),
                                   "Matin",
                                   QString::number(120 + i),
                                   QString::number(78 + i % 5),
                                   QString::number(64 + i % 7),
                                   "La systole de 128 mmHg et la diastole de 82 mmHg, indiquent "
                                   "une Pression artérielle normale"};
    }
    start.guess = GuessFileMapping(start.records);
    ImportPreviewWindow known(QStringLiteral("/home/alice/Documents/Alice.csv"), start, "Alice");
    QVERIFY(known.control(ControlId::ImportButtonImport)->isEnabled());
    QCOMPARE(qobject_cast<QLabel *>(known.control(ControlId::ImportFormatLabel))->text(),
             QStringLiteral("Format reconnu : Tensiolog"));
    QCOMPARE(known.mapping().roles[2], ColumnRole::Period);
    QCOMPARE(known.mapping().format, QStringLiteral("Tensiolog"));
    known.show();
    QVERIFY(QTest::qWaitForWindowExposed(&known));
    QVERIFY(known.grab().save(SnapshotFolder() + QStringLiteral("import_preview.png")));

    // A second pulse column and dates no order tells: both said under the
    // table.
    const QString oddPath = env.home.path() + QStringLiteral("tension.csv");
    QVERIFY(WriteFile(oddPath,
                      "Date de mesure;Haut;Bas;Pouls;Pouls 2\n05/03/2026 07:40;128;82;71;70\n"));
    const CsvFileStart odd = ReadCsvStart(oddPath);
    QCOMPARE(odd.dateOrder.basis, DateOrderDecision::Basis::AllAmbiguous);
    ImportPreviewWindow unknown(QStringLiteral("/home/alice/tension.csv"), odd, "Alice");
    QVERIFY(!unknown.control(ControlId::ImportButtonImport)->isEnabled());
    unknown.show();
    QVERIFY(QTest::qWaitForWindowExposed(&unknown));
    QVERIFY(unknown.grab().save(SnapshotFolder() + QStringLiteral("import_preview_unknown.png")));
  }
};

QTEST_MAIN(TestExchangeCommands)
#include "tst_exchange_commands.moc"
