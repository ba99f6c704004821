// Every file the program reads, given bad input: the documented result,
// never a crash, and the file on disk left exactly as it was.
#include "fakes.h"

#include "common/paths.h"
#include "common/preferences_file.h"
#include "logbook/patient_file.h"
#include "measurements/measurement_file.h"
#include "measurements/period_list_model.h"

#include <QDir>
#include <QTest>

using namespace tl;

namespace {

QByteArray Repeat(const QByteArray &line, int times) {
  QByteArray out;
  for (int i = 0; i < times; ++i) {
    out += line;
  }
  return out;
}

} // namespace

class TestBadInput : public QObject {
  Q_OBJECT

private slots:
  // bytes, readings loaded from a measurement file, profiles from the patient file
  void readers_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("readings");
    QTest::addColumn<int>("patients");
    const QByteArray megaLine(1 << 20, 'x');
    QTest::newRow("empty") << QByteArray() << 0 << 0;
    QTest::newRow("binary junk") << QByteArray("\x00\xff\x13\x10\x00\x7f\x80", 7) << 0 << 0;
    QTest::newRow("invalid UTF-8 after count") << QByteArray("1\r\n\xc3\x28\xa0\xa1\r\n") << 1 << 1;
    QTest::newRow("lone CRs") << QByteArray("2\ra\rb\rc\rd\re\rf\rg\rh\r") << 2 << 1;
    QTest::newRow("no final line end") << QByteArray("1\r\na\r\nb\r\nc\r\nd\r\ne\r\nf") << 1 << 1;
    QTest::newRow("huge count") << QByteArray("9223372036854775807\r\n") << 0 << 0;
    QTest::newRow("negative count") << QByteArray("-3\r\na\r\n") << 0 << 0;
    QTest::newRow("count beyond 64 bits") << QByteArray("99999999999999999999999999\r\n") << 0 << 0;
    QTest::newRow("megabyte count line") << (megaLine + "\r\n") << 0 << 0;
    QTest::newRow("megabyte cell") << (QByteArray("1\r\n") + megaLine + "\r\n") << 1 << 1;
    QTest::newRow("many short records") << (QByteArray("20000\r\n") + Repeat("1\n", 120000))
                                        << 20000 << 15000; // the records there, not the count
    QTest::newRow("only line ends") << Repeat("\r\n", 1000) << 0 << 0;
  }

  void readers() {
    QFETCH(QByteArray, bytes);
    QFETCH(int, readings);
    QFETCH(int, patients);
    test::TempHome home;
    const StoragePaths paths = SetupStorage(home.path(), QStringLiteral("Bad"));

    const QString measurement = paths.measurementFile(DayPeriod::Soir);
    QVERIFY(test::WriteFile(measurement, bytes));
    PeriodListModel list(DayPeriod::Soir);
    QCOMPARE(int(LoadPeriodList(list, measurement)), readings);
    QCOMPARE(test::ReadFile(measurement), bytes);

    QVERIFY(test::WriteFile(paths.patientFile, bytes));
    const PatientFileContents contents = LoadPatientFile(paths.patientFile);
    QVERIFY(contents.exists);
    QCOMPARE(int(contents.patients.size()), patients);
    QCOMPARE(test::ReadFile(paths.patientFile), bytes);

    // The preferences reader takes any bytes; junk keys are simply absent.
    QVERIFY(test::WriteFile(paths.preferencesFile, bytes));
    bool opened = false;
    const Preferences prefs =
        ReadPreferences(PreferencesReader::fromFile(paths.preferencesFile, &opened));
    QVERIFY(opened);
    QCOMPARE(prefs.darkmode, qint64(0));
    QCOMPARE(test::ReadFile(paths.preferencesFile), bytes);
  }

  void preferencesOddLines_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("username");
    QTest::newRow("lone CR ends") << QByteArray("Username = Anne\rDarkmode = 1\r") << "Anne";
    QTest::newRow("no final line end") << QByteArray("Username = Anne") << "Anne";
    QTest::newRow("invalid UTF-8 after BOM")
        << QByteArray("\xef\xbb\xbf\r\nUsername = A\xc3\x28\r\n") << QString("A\uFFFD(");
    QTest::newRow("megabyte value")
        << (QByteArray("Username = ") + QByteArray(1 << 20, 'z')) << QString(1 << 20, u'z');
    QTest::newRow("key after a group line") << QByteArray("[x]\r\nUsername = Anne\r\n") << "";
  }
  void preferencesOddLines() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, username);
    QCOMPARE(ReadPreferences(PreferencesReader(bytes)).username, username);
  }

  // A folder where a file should be: nothing is read, nothing written, no crash.
  void folderWhereFileShouldBe() {
    test::TempHome home;
    const StoragePaths paths = SetupStorage(home.path(), QStringLiteral("Bad"));
    QVERIFY(QDir().mkpath(paths.measurementFile(DayPeriod::Matin)));
    QVERIFY(QDir().mkpath(paths.patientFile));
    QVERIFY(QDir().mkpath(paths.preferencesFile));

    PeriodListModel list(DayPeriod::Matin);
    QCOMPARE(LoadPeriodList(list, paths.measurementFile(DayPeriod::Matin)), qsizetype(0));
    QVERIFY(LoadPatientFile(paths.patientFile).patients.empty());
    bool opened = true;
    PreferencesReader::fromFile(paths.preferencesFile, &opened);
    QVERIFY(!opened);

    PeriodLists lists;
    Reading r;
    r.set(0, QStringLiteral("01/01/2026"));
    lists.list(DayPeriod::Matin).append(r);
    QList<PeriodFileError> failed;
    QCOMPARE(SaveAllPeriodLists(lists, paths, &failed), 0);
    QCOMPARE(failed.size(), 1);
    QCOMPARE(failed[0].period, DayPeriod::Matin);
    QVERIFY(SavePatientFile(paths.patientFile, {Patient()}));
    QVERIFY(QFileInfo(paths.patientFile).isDir());
  }

  // A file where the data folder should be: every path falls back to the
  // current directory, and the file itself is left alone.
  void fileWhereFolderShouldBe() {
    test::TempHome home;
    QVERIFY(test::WriteFile(home.path() + QStringLiteral("Kestrune Arteline"), "keep me"));
    const QString cwd = QDir::currentPath();
    QTemporaryDir work;
    QDir::setCurrent(work.path());
    const StoragePaths paths = SetupStorage(home.path(), QStringLiteral("Bad"));
    QDir::setCurrent(cwd);
    QCOMPARE(paths.dataFolder, QString());
    QCOMPARE(test::ReadFile(home.path() + QStringLiteral("Kestrune Arteline")),
             QByteArray("keep me"));
  }
};

QTEST_GUILESS_MAIN(TestBadInput)
#include "tst_bad_input.moc"
