// Identity texts and the storage folder tree.
#include "fakes.h"

#include "common/identity.h"
#include "common/paths.h"
#include "common/text.h"
#include "platform/profile.h"

#include <QDir>
#include <QTest>

using namespace tl;

class TestCommon : public QObject {
  Q_OBJECT

private slots:
  void identityTexts() {
    QCOMPARE(ProgramTitle(), QString("Tensiolog(x64)"));
    QCOMPARE(Version(), QString("V1.03.02.26"));
    QCOMPARE(TitleLine(), QString("Tensiolog(x64) V1.03.02.26"));
    QCOMPARE(AuthorLabel(), QString("Drevant Software"));
  }

  void firstStartCreatesTheTree() {
    test::TempHome home;
    QCOMPARE(ProfileFolder(), home.path());
    const StoragePaths p = SetupStorage(ProfileFolder());
    const QString data = home.path() + "Kestrune Arteline/";
    QCOMPARE(p.dataFolder, data);
    QCOMPARE(p.archiveFolder, data + "Archives Arteline/");
    QCOMPARE(p.printFolder, data + "Impression Arteline/");
    QVERIFY(QFileInfo(p.archiveFolder).isDir());
    QVERIFY(QFileInfo(p.printFolder).isDir());
    QCOMPARE(p.patientFile, data + "ARTL_Users.ini");
    QCOMPARE(p.preferencesFile, data + "ARTL_Prefs.ini");
    QCOMPARE(p.measurementFile(DayPeriod::Matin), data + "ARTL_Matin_.txt");
    QCOMPARE(p.measurementFile(DayPeriod::Nuit), data + "ARTL_Nuit_.txt");
    // Running it again on an existing tree gives the same paths.
    QCOMPARE(SetupStorage(ProfileFolder()).printFolder, p.printFolder);
  }

  void patientNameInPaths_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("soirFile");
    QTest::newRow("space") << "Jean Dupont"
                           << "ARTL_Soir_Jean Dupont.txt";
    QTest::newRow("accents") << "Hélène Émile"
                             << "ARTL_Soir_Hélène Émile.txt";
    QTest::newRow("empty") << ""
                           << "ARTL_Soir_.txt";
  }
  void patientNameInPaths() {
    QFETCH(QString, name);
    QFETCH(QString, soirFile);
    test::TempHome home;
    StoragePaths p = SetupStorage(home.path());
    RebuildMeasurementPaths(p, name);
    QCOMPARE(p.measurementFile(DayPeriod::Soir), p.dataFolder + soirFile);
    QCOMPARE(p.measurementFile(DayPeriod::Jour), p.dataFolder + "ARTL_Jour_" + name + ".txt");
  }

  void fileWhereDataFolderShouldBe() {
    test::TempHome home;
    QVERIFY(test::WriteFile(home.path() + "Kestrune Arteline", "not a folder"));
    const StoragePaths p = SetupStorage(home.path(), "Paul");
    QCOMPARE(p.dataFolder, QString());
    // Everything falls back to the current directory.
    QCOMPARE(p.patientFile, QString("ARTL_Users.ini"));
    QCOMPARE(p.measurementFile(DayPeriod::Jour), QString("ARTL_Jour_Paul.txt"));
    QCOMPARE(p.archiveFolder.isEmpty(), !QFileInfo("Archives Arteline").isDir());
    QDir().rmdir("Archives Arteline");
    QDir().rmdir("Impression Arteline");
  }

  void fileWhereArchiveFolderShouldBe() {
    test::TempHome home;
    QVERIFY(QDir().mkpath(home.path() + "Kestrune Arteline"));
    QVERIFY(test::WriteFile(home.path() + "Kestrune Arteline/Archives Arteline", "x"));
    const StoragePaths p = SetupStorage(home.path());
    QVERIFY(!p.dataFolder.isEmpty());
    QCOMPARE(p.archiveFolder, QString());
    QCOMPARE(p.printFolder, p.dataFolder + "Impression Arteline/");
  }

  void missingProfileFolder() {
    // The parent does not exist: mkdir fails, the path stays empty.
    const StoragePaths p = SetupStorage("/nonexistent-profile-folder/");
    QCOMPARE(p.dataFolder, QString());
  }

  void singleLine() {
    QCOMPARE(SingleLine("a\r\nb\nc\rd"), QString("a b c d"));
    QCOMPARE(SingleLine("plain"), QString("plain"));
  }
};

QTEST_GUILESS_MAIN(TestCommon)
#include "tst_common.moc"
