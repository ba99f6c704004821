// Archiving the measurement files and the printable reports: names, moves,
// report lines and the exact bytes of every printable file.
#include "fakes.h"

#include "archives/archive_file_model.h"
#include "logbook/archiving.h"
#include "logbook/reports.h"
#include "measurements/period_list_model.h"

#include <QDir>
#include <QFileInfo>
#include <QTest>

using namespace tl;

namespace {

// A clock that moves on by `step` seconds every time it is read.
class SteppingClock : public Clock {
public:
  SteppingClock(QDateTime start, qint64 step) : at_(std::move(start)), step_(step) {
    setClock(this);
  }
  ~SteppingClock() override { setClock(nullptr); }
  QDateTime now() const override {
    const QDateTime t = at_;
    at_ = at_.addSecs(step_);
    return t;
  }

private:
  mutable QDateTime at_;
  qint64 step_;
};

Reading Row(const QString &date, const QString &time, const QString &s, const QString &d,
            const QString &p, const QString &diagnosis) {
  Reading r;
  const QString cells[] = {date, time, s, d, p, diagnosis};
  for (int c = 0; c < Reading::kCellCount; ++c) {
    r.set(c, cells[c]);
  }
  return r;
}

const QString kDiagnosis = QStringLiteral(
    "La systole de 128 mmHg et la diastole de 82 mmHg, indiquent une Pression artérielle normale");

const QByteArray kHyphens82(82, '-');

QStringList FilesIn(const QString &folder) {
  return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

} // namespace

class TestArchiving : public QObject {
  Q_OBJECT

private slots:
  void stamps() {
    const QDateTime at(QDate(2026, 12, 6), QTime(9, 5, 7));
    QCOMPARE(ArchiveStamp(at), QStringLiteral("06122026_0905_"));
    QCOMPARE(ReportStamp(at), QStringLiteral("06122026_090507"));
    QCOMPARE(ReportStamp(QDateTime(QDate(2026, 12, 6), QTime(21, 7, 45))),
             QStringLiteral("06122026_210745"));
    QCOMPARE(ReportFileName(DayPeriod::Nuit, QStringLiteral("Patient1"),
                            QDateTime(QDate(2026, 12, 6), QTime(21, 7, 45))),
             QStringLiteral("Imp_ARTL_Nuit_Patient1_06122026_210745.txt"));
  }

  // Which files exist before the run -> the report and the archive names.
  void archiveFiles_data() {
    QTest::addColumn<QString>("patient");
    QTest::addColumn<QStringList>("present"); // period names with a current file
    QTest::addColumn<QString>("report");
    QTest::addColumn<QStringList>("archived");

    QTest::newRow("nothing to archive")
        << "Patient1" << QStringList() << QString() << QStringList();
    QTest::newRow("only the evening file")
        << "Patient1" << QStringList{"Soir"}
        << QStringLiteral("ARTL_Soir_Patient1.txt a été archivé.\r\n")
        << QStringList{"06122026_0905_ARTL_Soir_Patient1.txt"};
    QTest::newRow("all four, fixed order")
        << "Patient1" << QStringList{"Nuit", "Soir", "Jour", "Matin"}
        << QStringLiteral("ARTL_Matin_Patient1.txt a été archivé.\r\n"
                          "ARTL_Jour_Patient1.txt a été archivé.\r\n"
                          "ARTL_Soir_Patient1.txt a été archivé.\r\n"
                          "ARTL_Nuit_Patient1.txt a été archivé.\r\n")
        << QStringList{
               "06122026_0905_ARTL_Jour_Patient1.txt", "06122026_0905_ARTL_Matin_Patient1.txt",
               "06122026_0905_ARTL_Nuit_Patient1.txt", "06122026_0905_ARTL_Soir_Patient1.txt"};
    QTest::newRow("spaces and accents kept")
        << QStringLiteral("Zoé Le Bihan") << QStringList{"Matin"}
        << QStringLiteral("ARTL_Matin_Zoé Le Bihan.txt a été archivé.\r\n")
        << QStringList{QStringLiteral("06122026_0905_ARTL_Matin_Zoé Le Bihan.txt")};
  }
  void archiveFiles() {
    QFETCH(QString, patient);
    QFETCH(QStringList, present);
    QFETCH(QString, report);
    QFETCH(QStringList, archived);

    test::TempHome home;
    test::FixedClock clock(QDateTime(QDate(2026, 12, 6), QTime(9, 5, 59)));
    const QString data = home.path() + "data/";
    const QString archives = home.path() + "archives/";
    QVERIFY(QDir().mkpath(archives));
    for (const QString &period : present) {
      QVERIFY(test::WriteFile(data + "ARTL_" + period + "_" + patient + ".txt",
                              "1\r\n" + period.toUtf8() + "\r\n"));
    }
    // Another patient's file is none of this run's business.
    QVERIFY(test::WriteFile(data + "ARTL_Matin_Autre.txt", "0\r\n"));

    const ArchiveRun run = ArchiveMeasurementFiles(data, archives, patient);
    QCOMPARE(run.report, report);
    QCOMPARE(FilesIn(archives), archived);
    QCOMPARE(FilesIn(data), QStringList{"ARTL_Matin_Autre.txt"});
    for (DayPeriod p : kAllPeriods) {
      const bool was = present.contains(PeriodInfo(p).name);
      QCOMPARE(run.outcome(p), was ? ArchiveOutcome::Archived : ArchiveOutcome::Missing);
      if (was) { // moved byte for byte
        QCOMPARE(test::ReadFile(archives + "06122026_0905_ARTL_" + PeriodInfo(p).name + "_" +
                                patient + ".txt"),
                 "1\r\n" + PeriodInfo(p).name.toUtf8() + "\r\n");
      }
    }
  }

  void emptyFileIsArchived() {
    test::TempHome home;
    test::FixedClock clock(QDateTime(QDate(2026, 1, 2), QTime(3, 4)));
    QVERIFY(test::WriteFile(home.path() + "ARTL_Jour_P.txt", ""));
    QVERIFY(QDir().mkpath(home.path() + "a"));
    const ArchiveRun run = ArchiveMeasurementFiles(home.path(), home.path() + "a/", "P");
    QCOMPARE(run.report, QStringLiteral("ARTL_Jour_P.txt a été archivé.\r\n"));
    QVERIFY(QFileInfo::exists(home.path() + "a/02012026_0304_ARTL_Jour_P.txt"));
  }

  void clockReadForEveryFile() {
    test::TempHome home;
    SteppingClock clock(QDateTime(QDate(2026, 12, 31), QTime(23, 59, 30)), 20);
    for (const char *p : {"Matin", "Jour", "Soir", "Nuit"}) {
      QVERIFY(test::WriteFile(home.path() + "d/ARTL_" + p + "_P.txt", "0\r\n"));
    }
    QVERIFY(QDir().mkpath(home.path() + "a"));
    ArchiveMeasurementFiles(home.path() + "d/", home.path() + "a/", "P");
    QCOMPARE(FilesIn(home.path() + "a"),
             (QStringList{"01012027_0000_ARTL_Nuit_P.txt", "01012027_0000_ARTL_Soir_P.txt",
                          "31122026_2359_ARTL_Jour_P.txt", "31122026_2359_ARTL_Matin_P.txt"}));
  }

  void sameMinuteTwiceNeverReplaces() {
    test::TempHome home;
    test::FixedClock clock(QDateTime(QDate(2026, 12, 6), QTime(9, 5, 10)));
    const QString data = home.path() + "d/";
    const QString archives = home.path() + "a/";
    QVERIFY(QDir().mkpath(archives));
    QVERIFY(test::WriteFile(data + "ARTL_Nuit_P.txt", "first"));
    QVERIFY(test::WriteFile(data + "ARTL_Matin_P.txt", "morning"));
    ArchiveMeasurementFiles(data, archives, "P");

    clock.advanceSeconds(30);
    QVERIFY(test::WriteFile(data + "ARTL_Nuit_P.txt", "second"));
    const ArchiveRun run = ArchiveMeasurementFiles(data, archives, "P");
    QCOMPARE(run.report,
             QStringLiteral("Une erreur est survenue lors de l'archivage de ARTL_Nuit_P.txt\r\n"));
    QCOMPARE(run.outcome(DayPeriod::Nuit), ArchiveOutcome::Failed);
    QCOMPARE(test::ReadFile(data + "ARTL_Nuit_P.txt"), QByteArray("second"));
    QCOMPARE(test::ReadFile(archives + "06122026_0905_ARTL_Nuit_P.txt"), QByteArray("first"));
  }

  void failuresAndRefusals() {
    test::TempHome home;
    test::FixedClock clock(QDateTime(QDate(2026, 12, 6), QTime(9, 5)));
    const QString data = home.path() + "d/";
    QVERIFY(test::WriteFile(data + "ARTL_Matin_P.txt", "m"));
    QVERIFY(test::WriteFile(data + "ARTL_Soir_P.txt", "s"));
    // The archive folder is missing: every move fails, every file stays.
    std::array<bool, 4> refused{};
    refused[size_t(PeriodIndex(DayPeriod::Jour))] = true;
    const ArchiveRun run = ArchiveMeasurementFiles(data, home.path() + "none/", "P", refused);
    QCOMPARE(run.report,
             QStringLiteral("Une erreur est survenue lors de l'archivage de ARTL_Matin_P.txt\r\n"
                            "Une erreur est survenue lors de l'archivage de ARTL_Jour_P.txt\r\n"
                            "Une erreur est survenue lors de l'archivage de ARTL_Soir_P.txt\r\n"));
    QCOMPARE(FilesIn(data), (QStringList{"ARTL_Matin_P.txt", "ARTL_Soir_P.txt"}));
  }

  void archiveFolderFallsBackToCurrentDirectory() {
    test::TempHome home;
    test::FixedClock clock(QDateTime(QDate(2026, 12, 6), QTime(9, 5)));
    QVERIFY(test::WriteFile(home.path() + "d/ARTL_Soir_P.txt", "s"));
    QVERIFY(QDir().mkpath(home.path() + "cwd"));
    const QString before = QDir::currentPath();
    QVERIFY(QDir::setCurrent(home.path() + "cwd"));
    const ArchiveRun run = ArchiveMeasurementFiles(home.path() + "d/", QString(), "P");
    QDir::setCurrent(before);
    QCOMPARE(run.outcome(DayPeriod::Soir), ArchiveOutcome::Archived);
    QCOMPARE(FilesIn(home.path() + "cwd"), QStringList{"06122026_0905_ARTL_Soir_P.txt"});
  }

  void oneRowReportBytes() {
    const QByteArray expected =
        "==================================================\r\n"
        "Relev\xC3\xA9s de mesures effectu\xC3\xA9s la nuit entre 00h00 et 06h00 : 1\r\n"
        "Patient : Zo\xC3\xA9 Martin\r\n"
        "--------------------------------------------------\r\n"
        "Date et heure de la mesure : le 14/03/2026 \xC3\xA0 05:40\r\n"
        "Systolique : 128 / Diastolique : 82 / Pouls : 71\r\n"
        "Diagnostic : La systole de 128 mmHg et la diastole de 82 mmHg, indiquent une Pression "
        "art\xC3\xA9rielle normale\r\n"
        "----------------------------------------------------------------------------------\r\n";
    const QByteArray report =
        PeriodReport(DayPeriod::Nuit, QStringLiteral("Zoé Martin"),
                     {Row("14/03/2026", "05:40", "128", "82", "71", kDiagnosis)});
    QCOMPARE(report, expected);
    QCOMPARE(report.count("\r\n"), 8);
  }

  void headingBlockByPeriod_data() {
    QTest::addColumn<int>("period");
    QTest::addColumn<QString>("heading");
    QTest::addColumn<int>("hyphens");
    QTest::newRow("morning") << int(DayPeriod::Matin)
                             << "Relevés de mesures effectués le matin entre 06h00 et 12h00 : 7"
                             << 50;
    QTest::newRow("afternoon")
        << int(DayPeriod::Jour)
        << "Relevés de mesures effectués l'après-midi entre 12h00 et 18h00 : 7" << 42;
    QTest::newRow("evening") << int(DayPeriod::Soir)
                             << "Relevés de mesures effectués en soirée entre 18h00 et 24h00 : 7"
                             << 42;
    QTest::newRow("night") << int(DayPeriod::Nuit)
                           << "Relevés de mesures effectués la nuit entre 00h00 et 06h00 : 7" << 50;
  }
  void headingBlockByPeriod() {
    QFETCH(int, period);
    QFETCH(QString, heading);
    QFETCH(int, hyphens);
    const std::vector<Reading> rows(7, Row("a", "b", "c", "d", "e", "f"));
    const QList<QByteArray> lines = PeriodReport(DayPeriod(period), "P", rows).split('\n');
    QCOMPARE(lines.size(), 4 + 7 * 4 + 1); // the last CR LF leaves an empty tail
    QCOMPARE(lines[1], heading.toUtf8() + '\r');
    QCOMPARE(lines[3], QByteArray(hyphens, '-') + '\r');
    QCOMPARE(lines.last(), QByteArray());
  }

  void printableArchiveBytes() {
    const QByteArray expected = "Le fichier archiv\xC3\xA9 : 06122026_0905_ARTL_Matin_P.txt\r\n"
                                "Contient 2 relev\xC3\xA9s de mesures.\r\n"
                                "==================================================\r\n"
                                "Date et heure de la mesure : le 01/02/2026 \xC3\xA0 07:00\r\n"
                                "Systolique : 120 / Diastolique : 80 / Pouls : 60\r\n"
                                "Diagnostic : x\r\n" +
                                kHyphens82 +
                                "\r\n"
                                "Date et heure de la mesure : le  \xC3\xA0 \r\n"
                                "Systolique :  / Diastolique :  / Pouls : \r\n"
                                "Diagnostic : \r\n" +
                                kHyphens82 + "\r\n";
    QCOMPARE(PrintableArchive("06122026_0905_ARTL_Matin_P.txt",
                              {Row("01/02/2026", "07:00", "120", "80", "60", "x"), Reading()}),
             expected);
  }

  void printLists() {
    test::TempHome home;
    test::RecordingShell shell;
    SteppingClock clock(QDateTime(QDate(2026, 12, 6), QTime(21, 7, 45)), 1);
    const QString folder = home.path() + "print/";
    QVERIFY(QDir().mkpath(folder));

    PeriodLists lists;
    QCOMPARE(PrintPeriodLists(lists, folder, "P"), QStringList());
    QVERIFY(shell.documents.isEmpty());
    QVERIFY(FilesIn(folder).isEmpty());

    lists.list(DayPeriod::Matin).append(Row("1", "2", "3", "4", "5", "6"));
    lists.list(DayPeriod::Nuit).append(Row("a", "b", "c", "d", "e", "f"));
    lists.list(DayPeriod::Soir).append(Row("g", "h", "i", "j", "k", "l"));
    // Names stamped Matin, Jour, Soir, Nuit; files written Nuit, Matin, Soir.
    const QStringList expected{folder + "Imp_ARTL_Nuit_P_06122026_210752.txt",
                               folder + "Imp_ARTL_Matin_P_06122026_210749.txt",
                               folder + "Imp_ARTL_Soir_P_06122026_210751.txt"};
    QCOMPARE(PrintPeriodLists(lists, folder, "P"), expected);
    QVERIFY(shell.documents.isEmpty()); // the window opens them and says where they went
    QCOMPARE(test::ReadFile(expected[1]),
             PeriodReport(DayPeriod::Matin, "P", lists.list(DayPeriod::Matin).readings()));
  }

  void printTwiceInOneSecondOverwrites() {
    test::TempHome home;
    test::RecordingShell shell;
    test::FixedClock clock(QDateTime(QDate(2026, 12, 6), QTime(8, 0, 1)));
    PeriodLists lists;
    lists.list(DayPeriod::Jour).append(Row("1", "2", "3", "4", "5", "6"));
    PrintPeriodLists(lists, home.path(), "P");
    lists.list(DayPeriod::Jour).append(Row("7", "8", "9", "10", "11", "12"));
    PrintPeriodLists(lists, home.path(), "P");
    const QString name = "Imp_ARTL_Jour_P_06122026_080001.txt";
    QCOMPARE(FilesIn(home.path()), QStringList{name});
    QCOMPARE(test::ReadFile(home.path() + name),
             PeriodReport(DayPeriod::Jour, "P", lists.list(DayPeriod::Jour).readings()));
    QVERIFY(shell.documents.isEmpty());
  }

  void fileListTexts_data() {
    QTest::addColumn<qint64>("bytes");
    QTest::addColumn<QString>("size");
    QTest::newRow("empty") << qint64(0) << "0 octets";
    QTest::newRow("under a kilo") << qint64(1023) << "1023 octets";
    QTest::newRow("one kilo") << qint64(1024) << "1 Ko";
    QTest::newRow("rounded up") << qint64(1025) << "2 Ko";
    QTest::newRow("megas") << qint64(1536) * 1024 << "1,5 Mo";
    QTest::newRow("gigas") << qint64(3) * 1024 * 1024 * 1024 << "3,0 Go";
  }
  void fileListTexts() {
    QFETCH(qint64, bytes);
    QFETCH(QString, size);
    QCOMPARE(ArchiveFileModel::SizeText(bytes), size);
    QCOMPARE(ArchiveFileModel::TypeText("06122026_0905_ARTL_Matin_P.txt"), "Fichier TXT");
    QCOMPARE(ArchiveFileModel::TypeText("notes"), "Fichier");
  }

  void unwritableReportIsSkipped() {
    test::TempHome home;
    test::RecordingShell shell;
    test::FixedClock clock(QDateTime(QDate(2026, 12, 6), QTime(8, 0, 1)));
    PeriodLists lists;
    lists.list(DayPeriod::Jour).append(Row("1", "2", "3", "4", "5", "6"));
    QCOMPARE(PrintPeriodLists(lists, home.path() + "missing/", "P"), QStringList());
    QCOMPARE(
        PrintArchive(home.path() + "missing/", "x.txt", lists.list(DayPeriod::Jour).readings()),
        QString());
    QVERIFY(shell.documents.isEmpty());
  }
};

QTEST_GUILESS_MAIN(TestArchiving)
#include "tst_archiving.moc"
