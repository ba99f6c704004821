// The "Relevé d'automesure" window: what it shows of the lists in memory,
// how it follows the protocol, the session windows and the dates, the
// settings it keeps per patient, the PDF files it writes in the print
// folder, printing, and pictures of both pages in both schemes.
#include "fakes.h"
#include "readings.h"
#include "test_world.h"

#include "common/preferences_file.h"
#include "measurements/period_list_model.h"
#include "reports/series_form.h"
#include "series_window/series_window.h"
#include "ui/assets/assets.h"
#include "ui/drawing.h"

#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QTimeEdit>

using namespace tl;
using test::TestWorld;

namespace {

const QString kDateMask = QStringLiteral("dd/MM/yyyy");

Reading R(QDate day, const char *time, int s, int d, int p) {
  return test::MakeReading(QString::fromLatin1(time), s, d, p, day.toString(kDateMask));
}

// Seven days of two morning and two evening readings ending on 13 March
// 2026 (day 1 high), a third morning reading on the last day, a reading
// whose systolic cell was changed to text, and an afternoon reading.
void FillLists(PeriodLists &lists) {
  std::vector<Reading> matin, soir;
  const QDate first(2026, 3, 7);
  for (int d = 0; d < 7; ++d) {
    const int s = d == 0 ? 160 : 130, di = d == 0 ? 100 : 80;
    matin.push_back(R(first.addDays(d), "07:10", s, di, 66));
    matin.push_back(R(first.addDays(d), "07:13", s, di, 64));
    soir.push_back(R(first.addDays(d), "21:00", s + 2, di, 70));
    soir.push_back(R(first.addDays(d), "21:03", s - 2, di, 72));
  }
  matin.push_back(R(first.addDays(6), "07:20", 150, 95, 70));
  Reading changed = R(first.addDays(5), "21:30", 130, 80, 70);
  changed.set(Reading::Systolic, QStringLiteral("douze"));
  soir.push_back(changed);
  lists.list(DayPeriod::Matin).setReadings(matin);
  lists.list(DayPeriod::Soir).setReadings(soir);
  lists.list(DayPeriod::Jour).setReadings({R(first.addDays(2), "14:00", 190, 110, 90)});
}

const ReportIdentity kWho{QStringLiteral("Jean Dupont"), QStringLiteral("67"),
                          QStringLiteral("Dr Léon"), QString()};

} // namespace

class TestSeriesWindow : public QObject {
  Q_OBJECT

private slots:
  void initTestCase() { LoadSharedAssets(); }

  // The protocol decides the rows, the day set apart, the means and the
  // verdict; the start date follows the protocol's length. The European
  // protocol's means leave day 1 out, and its third morning reading is
  // listed apart.
  void followsTheProtocol_data() {
    QTest::addColumn<int>("protocol");
    QTest::addColumn<QDate>("start");
    QTest::addColumn<int>("rows");
    QTest::addColumn<QString>("firstDay");
    QTest::addColumn<QString>("verdict");
    QTest::newRow("regle223") << 0 << QDate(2026, 3, 7) << 14 << "Jour 1  07/03/2026"
                              << "Moyenne inférieure au seuil de l'automesure (135/85 mmHg).";
    QTest::newRow("regle3") << 1 << QDate(2026, 3, 11) << 6 << "Jour 1  11/03/2026"
                            << "Moyenne inférieure au seuil de l'automesure (135/85 mmHg).";
    QTest::newRow("esh7") << 2 << QDate(2026, 3, 7) << 14 << "Jour 1  07/03/2026 (non compté)"
                          << "Moyenne inférieure au seuil de l'automesure (135/85 mmHg).";
  }
  void followsTheProtocol() {
    QFETCH(int, protocol);
    QFETCH(QDate, start);
    QFETCH(int, rows);
    QFETCH(QString, firstDay);
    QFETCH(QString, verdict);
    TestWorld world;
    PeriodLists lists;
    FillLists(lists);
    SeriesWindow window(lists, kWho, Paths().printFolder);
    window.protocolSelector()->setCurrentIndex(protocol);
    QCOMPARE(window.series().protocol, kProtocols[protocol]);
    QCOMPARE(window.startPicker()->date(), start);
    QCOMPARE(window.grid()->rowCount(), rows);
    QCOMPARE(window.grid()->item(0, 0)->text(), firstDay);
    QVERIFY(window.verdictLabel()->text().startsWith(verdict));
    QVERIFY(window.verdictLabel()->text().endsWith(
        QStringLiteral("seul votre médecin peut interpréter ces mesures.")));
    QVERIFY(window.excludedList()->toPlainText().contains(
        QStringLiteral("12/03/2026 21:30, Soir, douze/80, pouls 70 : systolique illisible")));
    QVERIFY(window.pdfButton()->isEnabled());
    if (protocol == 2) {
      QVERIFY2(window.meansLabel()->text().startsWith(
                   QStringLiteral("Moyenne (jours 2 à 7) : 130,0 / 80,0 mmHg, pouls 68,0 ; 24 "
                                  "mesures retenues sur 24 attendues.")),
               qPrintable(window.meansLabel()->text()));
      QVERIFY(window.excludedList()->toPlainText().contains(
          QStringLiteral("13/03/2026 07:20, Matin, 150/95, pouls 70 : surnuméraire")));
      QCOMPARE(window.reportNotes()->text(),
               QStringLiteral("Lignes non utilisées : 1 (listées dans le PDF avec leur raison)."));
    }
    // Another start date: the series moves with it, but the European one
    // still begins on the first day measured.
    window.startPicker()->setDate(start.addDays(-1));
    QCOMPARE(window.series().windowStart, start.addDays(-1));
    QCOMPARE(window.series().start, protocol == 2 ? start : start.addDays(-1));
  }

  // Each patient's settings: kept from the preferences file (without an
  // entry, the protocol of SeriesProtocol), changed in the window, kept for
  // that patient alone and found again; the windows decide what counts.
  void keepsSettingsPerPatient_data() {
    QTest::addColumn<QString>("patient");
    QTest::addColumn<QString>("opened"); // the settings the window opens with
    QTest::addColumn<int>("protocol");   // the protocol chosen, -1: none
    QTest::addColumn<int>("eveningEnd"); // the evening end chosen, -1: none
    QTest::addColumn<QString>("kept");
    QTest::addColumn<bool>("earlyCounted"); // a reading at 05:10
    QTest::newRow("no entry yet") << "Jean Dupont"
                                  << "esh7,0601,2359" << 0 << -1 << "regle223,0601,2359" << false;
    QTest::newRow("widened windows")
        << "Anne"
        << "regle3,0500,0130" << -1 << kLatestEveningEnd << "regle3,0500,0159" << true;
  }
  void keepsSettingsPerPatient() {
    QFETCH(QString, patient);
    QFETCH(QString, opened);
    QFETCH(int, protocol);
    QFETCH(int, eveningEnd);
    QFETCH(QString, kept);
    QFETCH(bool, earlyCounted);
    TestWorld world;
    QVERIFY(test::WriteFile(Paths().preferencesFile,
                            "\xEF\xBB\xBF\r\nDarkmode = 1\r\nSeriesProtocol = esh7\r\n"
                            "SeriesPatients = Anne:regle3%2C0500%2C0130|Bob:esh7\r\n"));
    PeriodLists lists;
    FillLists(lists);
    lists.list(DayPeriod::Nuit).setReadings({R(QDate(2026, 3, 13), "05:10", 124, 78, 60)});
    const ReportIdentity who{patient, {}, {}, {}};
    {
      SeriesWindow window(lists, who, Paths().printFolder);
      QCOMPARE(SeriesSettingsText(window.settings()), opened);
      if (protocol >= 0) {
        window.protocolSelector()->setCurrentIndex(protocol);
      }
      if (eveningEnd >= 0) {
        window.eveningEndSelector()->setCurrentIndex(
            window.eveningEndSelector()->findData(eveningEnd));
      }
      QCOMPARE(window.series().windows, window.settings().windows);
      QCOMPARE(window.excludedList()->toPlainText().contains(QStringLiteral("13/03/2026 05:10")),
               !earlyCounted);
    }
    const Preferences prefs = ReadPreferences(PreferencesReader::fromFile(Paths().preferencesFile));
    QCOMPARE(PatientEntryOf(prefs.seriesPatients, patient), kept);
    QCOMPARE(PatientEntryOf(prefs.seriesPatients, QStringLiteral("Bob")), QStringLiteral("esh7"));
    QCOMPARE(prefs.seriesProtocol, QStringLiteral("esh7"));
    QCOMPARE(prefs.darkmode, 1);
    SeriesWindow again(lists, who, Paths().printFolder);
    QCOMPARE(SeriesSettingsText(again.settings()), kept);
    QCOMPARE(again.windowsLabel()->text(), WindowsSentence(again.settings().windows));
  }

  // Every column of the grid is at least as wide as what it holds, and the
  // reading columns share the rest alike.
  void gridColumnsFitTheirContents_data() {
    QTest::addColumn<int>("protocol");
    QTest::newRow("regle3") << 0;
    QTest::newRow("esh7") << 1;
  }
  void gridColumnsFitTheirContents() {
    QFETCH(int, protocol);
    TestWorld world;
    PeriodLists lists;
    FillLists(lists);
    SeriesWindow window(lists, kWho, Paths().printFolder);
    window.show();
    window.protocolSelector()->setCurrentIndex(protocol);
    QTableWidget *grid = window.grid();
    int total = 0;
    for (int c = 0; c < grid->columnCount(); ++c) {
      for (int row = 0; row < grid->rowCount(); ++row) {
        const QString text = grid->item(row, c)->text();
        QVERIFY2(grid->fontMetrics().horizontalAdvance(text) + 6 <= grid->columnWidth(c),
                 qPrintable(text));
      }
      total += grid->columnWidth(c);
    }
    QVERIFY(total <= grid->viewport()->width());
    QVERIFY(qAbs(grid->columnWidth(2) - grid->columnWidth(grid->columnCount() - 1)) <= 20);
  }

  // Without morning or evening readings there is nothing to present.
  void nothingToShow() {
    TestWorld world;
    PeriodLists lists;
    lists.list(DayPeriod::Nuit).setReadings({R(QDate(2026, 3, 1), "03:00", 120, 80, 60)});
    SeriesWindow window(lists, kWho, Paths().printFolder);
    window.show();
    QVERIFY(window.emptyLabel()->isVisible());
    QCOMPARE(window.emptyLabel()->text(),
             QStringLiteral("Aucune mesure du matin ou du soir : rien à présenter."));
    QVERIFY(!window.pdfButton()->isEnabled());
    QVERIFY(!window.printButton()->isEnabled());
    // The report still has the night reading.
    window.tabs()->setCurrentIndex(1);
    QVERIFY(window.pdfButton()->isEnabled());
    QCOMPARE(window.report().overall.count, qint64(1));
  }

  // Each page's document goes to the print folder under its own name, made
  // again when it is missing, and opens; a folder that cannot be had gives
  // the error box and no file.
  void savesPdfInThePrintFolder_data() {
    QTest::addColumn<int>("page");
    QTest::addColumn<bool>("removeFolder");
    QTest::addColumn<QString>("name");
    QTest::newRow("series") << 0 << false << "Releve_automesure_Jean Dupont_14032026_093000.pdf";
    QTest::newRow("report, folder gone")
        << 1 << true << "Rapport_medecin_Jean Dupont_14032026_093000.pdf";
  }
  void savesPdfInThePrintFolder() {
    QFETCH(int, page);
    QFETCH(bool, removeFolder);
    QFETCH(QString, name);
    TestWorld world;
    PeriodLists lists;
    FillLists(lists);
    if (removeFolder) {
      QVERIFY(QDir(Paths().printFolder).removeRecursively());
    }
    SeriesWindow window(lists, kWho, Paths().printFolder);
    window.tabs()->setCurrentIndex(page);
    const QString path = window.savePdf();
    QCOMPARE(path, Paths().printFolder + name);
    QVERIFY(test::ReadFile(path).startsWith("%PDF"));
    QCOMPARE(world.shell.documents, QStringList{path});
    // Where it went, with the folder offered.
    QCOMPARE(world.dialogs.shown.size(), 1);
    QCOMPARE(world.dialogs.shown[0].text,
             QStringLiteral("Le fichier a été enregistré :\n") + QDir::toNativeSeparators(path));
    QCOMPARE(world.dialogs.shown[0].initial, QStringLiteral("Ouvrir le dossier"));
  }

  void unwritableFolderSaysSo() {
    TestWorld world;
    PeriodLists lists;
    FillLists(lists);
    const QString blocked = world.home.path() + QStringLiteral("blocked");
    QVERIFY(test::WriteFile(blocked, "a file where the folder should be"));
    SeriesWindow window(lists, kWho, blocked + QStringLiteral("/print/"));
    QCOMPARE(window.savePdf(), QString());
    QCOMPARE(world.dialogs.shown.size(), 1);
    QCOMPARE(world.dialogs.shown[0].title, QStringLiteral("Erreur!"));
    QVERIFY(world.dialogs.shown[0].text.contains(QStringLiteral("Releve_automesure_Jean Dupont_")));
    QVERIFY(world.shell.documents.isEmpty());
  }

  // The print dialog decides; the document draws on whatever printer it
  // gives (here one that prints to a PDF file).
  void printing() {
    TestWorld world;
    PeriodLists lists;
    FillLists(lists);
    SeriesWindow window(lists, kWho, Paths().printFolder);
    world.dialogs.answerNo();
    window.print();
    QCOMPARE(world.dialogs.shown.size(), 1);
    QCOMPARE(world.dialogs.shown[0].kind, test::ShownBox::Print);
    // "Aperçu...": the same pages in the print preview.
    QVERIFY(window.previewButton()->isEnabled());
    world.dialogs.answerNo();
    window.preview();
    QCOMPARE(world.dialogs.shown.size(), 2);
    QCOMPARE(world.dialogs.shown[1].kind, test::ShownBox::Preview);
    QCOMPARE(world.dialogs.shown[1].title, QStringLiteral("Aperçu avant impression"));

    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(world.home.path() + QStringLiteral("printed.pdf"));
    printer.setFullPage(true);
    QVERIFY(DrawDocument(*window.currentDocument(), printer));
    QVERIFY(test::ReadFile(printer.outputFileName()).startsWith("%PDF"));
  }

  void snapshots_data() {
    QTest::addColumn<bool>("dark");
    QTest::addColumn<bool>("morningsOnly"); // the longest verdict
    QTest::newRow("light") << false << false;
    QTest::newRow("dark") << true << false;
    QTest::newRow("mornings only") << false << true;
  }
  void snapshots() {
    QFETCH(bool, dark);
    QFETCH(bool, morningsOnly);
    TestWorld world;
    State().darkAppearance = dark;
    PeriodLists lists;
    FillLists(lists);
    if (morningsOnly) {
      lists.list(DayPeriod::Soir).setReadings({});
    }
    SeriesWindow window(lists, kWho, Paths().printFolder);
    if (dark) {
      window.protocolSelector()->setCurrentIndex(ProtocolIndex(Protocol::European7));
    } else { // the default protocol, evenings until 01:30 the next day
      window.eveningEndSelector()->setCurrentIndex(
          window.eveningEndSelector()->findData(24 * 60 + 90));
    }
    window.show();
    const QString suffix = morningsOnly ? QStringLiteral("_mornings.png")
                           : dark       ? QStringLiteral("_dark.png")
                                        : QStringLiteral(".png");
    QVERIFY(window.grab().save(test::SnapshotFolder() + QStringLiteral("series_window") + suffix));
    window.tabs()->setCurrentIndex(1);
    QVERIFY(window.grab().save(test::SnapshotFolder() + QStringLiteral("series_window_report") +
                               suffix));
  }
};

QTEST_MAIN(TestSeriesWindow)
#include "tst_series_window.moc"
