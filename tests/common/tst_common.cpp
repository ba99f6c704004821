// Identity texts and the storage folder tree.
#include "fakes.h"

#include "common/error_text.h"
#include "common/file_batch.h"
#include "common/file_io.h"
#include "common/identity.h"
#include "common/output_file.h"
#include "common/paths.h"
#include "common/patient_name.h"
#include "common/text.h"
#include "platform/profile.h"

#include <QDir>
#include <QTest>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>
#endif

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

  void profileVariable() {
#ifdef Q_OS_WIN
    QCOMPARE(QByteArray(ProfileVariable()), QByteArray("USERPROFILE"));
#else
    QCOMPARE(QByteArray(ProfileVariable()), QByteArray("HOME"));
#endif
  }

  // The temporary profile of a test is the one the program sees, whatever
  // its name, nested or not; the variable is given back afterwards.
  void temporaryProfileIsTheProgramsProfile_data() {
    QTest::addColumn<QString>("name");
    QTest::newRow("random name") << "";
    QTest::newRow("space") << "Jean Dupont";
    QTest::newRow("accents") << "Hélène Émile";
    QTest::newRow("apostrophe and accent") << "Zoé O'Brien";
  }
  void temporaryProfileIsTheProgramsProfile() {
    QFETCH(QString, name);
    const QString before = ProfileFolder();
    QString used;
    {
      test::TempHome home(name);
      used = home.path();
      QVERIFY(used.endsWith(name.isEmpty() ? QString("/") : u'/' + name + u'/'));
      QCOMPARE(ProfileFolder(), used);
      QVERIFY(test::IsProfileFolder(used));
      QVERIFY(QDir::isAbsolutePath(ProfileFolder()));
#ifdef Q_OS_WIN
      // A drive letter, then forward slashes only.
      QCOMPARE(ProfileFolder().mid(1, 2), QString(":/"));
      QVERIFY(!ProfileFolder().contains(u'\\'));
#endif
      const StoragePaths p = SetupStorage(ProfileFolder());
      QCOMPARE(p.dataFolder, used + "Kestrune Arteline/");
      QVERIFY(!WriteWholeFile(p.patientFile, "Hélène"));
      QCOMPARE(test::ReadFile(used + "Kestrune Arteline/ARTL_Users.ini"), QByteArray("Hélène"));
      {
        test::TempHome inner;
        QCOMPARE(ProfileFolder(), inner.path());
        QVERIFY(!test::IsProfileFolder(used));
      }
      QCOMPARE(ProfileFolder(), used);
    }
    QCOMPARE(ProfileFolder(), before);
    QVERIFY(!QFileInfo::exists(used));
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

  // Only the program's own temporaries, named with its marker, are taken for
  // leftovers of an interrupted save; the user's copies stay, whatever
  // their suffix.
  void interruptedSavesRemoved_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("removed");
    QTest::newRow("measurement file") << "ARTL_Matin_Jean Dupont.txt.tltmp-k3x9qa" << true;
    QTest::newRow("patient file") << "ARTL_Users.ini.tltmp-0a1b2c" << true;
    QTest::newRow("any target") << "Imp_ARTL_Soir_Jean.txt.tltmp-zzzzzz" << true;
    QTest::newRow("Backup") << "ARTL_Matin_Bob.txt.Backup" << false;
    QTest::newRow("Ancien") << "ARTL_Matin_Bob.txt.Ancien" << false;
    QTest::newRow("Sauveg") << "ARTL_Users.ini.Sauveg" << false;
    QTest::newRow("six mixed letters") << "ARTL_Matin_Jean Dupont.txt.aBcDeF" << false;
    QTest::newRow("the file itself") << "ARTL_Matin_Jean Dupont.txt" << false;
    QTest::newRow("marker, five characters") << "ARTL_Users.ini.tltmp-abcde" << false;
    QTest::newRow("marker, seven characters") << "ARTL_Users.ini.tltmp-abcdefg" << false;
    QTest::newRow("marker, not a letter") << "ARTL_Users.ini.tltmp-ab_cde" << false;
    QTest::newRow("marker alone") << ".tltmp-abcdef" << false;
    QTest::newRow("kept aside") << "ARTL_Users.ini.illisible-20261208-101112" << false;
    QTest::newRow("rescue copy") << "ARTL_Matin_Bob.txt.secours-20261208-101112" << false;
    QTest::newRow("journal") << "ARTL_Journal.tlj" << false;
  }
  void interruptedSavesRemoved() {
    QFETCH(QString, name);
    QFETCH(bool, removed);
    test::TempHome home;
    QVERIFY(test::WriteFile(home.path() + name, "x"));
    QCOMPARE(RemoveInterruptedSaves(home.path()), removed ? 1 : 0);
    QCOMPARE(QFileInfo::exists(home.path() + name), !removed);
  }

  // A save reaches the disk in this order: each temporary flushed, the
  // journal flushed, the renames, the folder flushed, the journal removed;
  // a single file needs no journal. Every temporary carries the marker.
  void durabilityOrder_data() {
    QTest::addColumn<int>("files");
    QTest::addColumn<bool>("removal");
    QTest::addColumn<QStringList>("steps");
    QTest::newRow("one file") << 1 << false
                              << QStringList{"temporary a", "renamed a", "folder", "-"};
    QTest::newRow("two files and a removal")
        << 2 << true << QStringList{"temporary a", "temporary b", "journal", "renamed a",
                                    "renamed b",   "renamed c",   "folder",  "journal removed"};
  }
  void durabilityOrder() {
    QFETCH(int, files);
    QFETCH(bool, removal);
    QFETCH(QStringList, steps);
    test::TempHome home;
    const QString folder = home.path();
    struct Recorder : BatchProbe {
      QString folder;
      QStringList steps;
      bool step(BatchStep step, const QString &path) override {
        const QString name = QFileInfo(path).fileName();
        switch (step) {
        case BatchStep::TemporarySynced:
          steps << QStringLiteral("temporary ") + name.left(1);
          break;
        case BatchStep::JournalSynced:
          steps << QStringLiteral("journal");
          break;
        case BatchStep::Renamed:
          steps << QStringLiteral("renamed ") + name;
          break;
        case BatchStep::FolderSynced:
          steps << (QDir(path) == QDir(folder) ? QStringLiteral("folder") : path);
          break;
        case BatchStep::JournalRemoved:
          steps << QStringLiteral("journal removed");
          break;
        }
        if (step == BatchStep::TemporarySynced && !IsProgramTemporary(name)) {
          steps << QStringLiteral("unmarked ") + name;
        }
        return true;
      }
    } recorder;
    recorder.folder = folder;
    QVERIFY(test::WriteFile(folder + "c", "old"));
    FileBatch batch;
    batch.writes.append({folder + "a", "1"});
    if (files > 1) {
      batch.writes.append({folder + "b", "2"});
    }
    if (removal) {
      batch.removals.append(folder + "c");
    }
    SetBatchProbe(&recorder);
    const FileError error = CommitBatch(folder, batch);
    SetBatchProbe(nullptr);
    QVERIFY(!error);
    if (!removal) {
      recorder.steps << QStringLiteral("-");
    }
    QCOMPARE(recorder.steps, steps);
    QCOMPARE(test::ReadFile(folder + "a"), QByteArray("1"));
    QCOMPARE(QFileInfo::exists(folder + "c"), !removal);
    QCOMPARE(QDir(folder).entryList(QDir::Files).size(), files + (removal ? 0 : 1));
  }

  // A read gives the whole file or the path with a reason; never more than
  // the limit, never a half-read file.
  void readWholeFile_data() {
    QTest::addColumn<QByteArray>("bytes"); // empty with `folder`: a folder stands there
    QTest::addColumn<qint64>("limit");
    QTest::addColumn<bool>("folder");
    QTest::addColumn<bool>("ok");
    QTest::newRow("whole") << QByteArray("1\r\nabc") << qint64(100) << false << true;
    QTest::newRow("exactly the limit") << QByteArray(10, 'x') << qint64(10) << false << true;
    QTest::newRow("one byte over") << QByteArray(11, 'x') << qint64(10) << false << false;
    QTest::newRow("empty file") << QByteArray() << qint64(10) << false << true;
    QTest::newRow("a folder") << QByteArray() << qint64(10) << true << false;
    QTest::newRow("missing") << QByteArray() << qint64(-1) << false << false;
  }
  void readWholeFile() {
    QFETCH(QByteArray, bytes);
    QFETCH(qint64, limit);
    QFETCH(bool, folder);
    QFETCH(bool, ok);
    test::TempHome home;
    const QString path = home.path() + QStringLiteral("ARTL_Users.ini");
    if (folder) {
      QVERIFY(QDir().mkpath(path));
    } else if (limit >= 0) {
      QVERIFY(test::WriteFile(path, bytes));
    }
    QByteArray read("left over");
    const FileError error = ReadWholeFile(path, qMax<qint64>(limit, 0), &read);
    QCOMPARE(!error, ok);
    QCOMPARE(read, ok ? bytes : QByteArray());
    if (!ok) {
      QCOMPARE(error.path, path);
      QVERIFY(!error.reason.isEmpty());
      QCOMPARE(error.text(), QDir::toNativeSeparators(path) + QStringLiteral(" : ") + error.reason);
    }
    QVERIFY(!WriteWholeFile(home.path() + QStringLiteral("x.txt"), "x"));
    QVERIFY(bool(WriteWholeFile(home.path() + QStringLiteral("no/such/folder/x.txt"), "x")));
  }

  // A save over a file another program holds open (opened as most programs
  // and Qt open files: sharing reads and writes, not deletion). POSIX renames
  // over it and the reader keeps the version it opened; Windows refuses the
  // replacement: the save fails naming the file, and the old file stays
  // whole. Either way nothing is left beside it, and once the reader lets go
  // the save goes through.
  void saveOverAFileHeldOpen_data() {
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("after");
    QTest::newRow("short to long")
        << QByteArray("1\r\nancien") << QByteArray("2\r\nnouveau, plus long\r\n");
    QTest::newRow("long to empty") << QByteArray(64 * 1024, 'x') << QByteArray();
  }
  void saveOverAFileHeldOpen() {
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, after);
    test::TempHome home;
    const QString name = QStringLiteral("ARTL_Matin_Hélène.txt");
    const QString path = home.path() + name;
    QVERIFY(test::WriteFile(path, before));
    QFile reader(path);
    QVERIFY(reader.open(QIODevice::ReadOnly));
    const FileError error = WriteWholeFile(path, after);
#ifdef Q_OS_WIN
    QVERIFY(error);
    QCOMPARE(error.path, path);
    QCOMPARE(test::ReadFile(path), before);
#else
    QVERIFY2(!error, qPrintable(error.text()));
    QCOMPARE(test::ReadFile(path), after);
#endif
    QCOMPARE(reader.readAll(), before);
    reader.close();
    QCOMPARE(QDir(home.path()).entryList(QDir::Files), QStringList{name});
    QVERIFY(!WriteWholeFile(path, after));
    QCOMPARE(test::ReadFile(path), after);
  }

  void fileKeptAsideUnderANewName() {
    test::TempHome home;
    test::FixedClock now(QDateTime(QDate(2026, 12, 8), QTime(9, 5, 7)));
    const QString path = home.path() + QStringLiteral("ARTL_Users.ini");
    for (const char *suffix : {"", "-2", "-3"}) {
      QVERIFY(test::WriteFile(path, suffix));
      const QString aside = KeepFileAside(path);
      QCOMPARE(aside, path + QStringLiteral(".illisible-20261208-090507") + suffix);
      QCOMPARE(test::ReadFile(aside), QByteArray(suffix)); // never replaced
      QVERIFY(!QFileInfo::exists(path));
    }
    QCOMPARE(KeepFileAside(path), QString()); // nothing there
  }

  // A failure framed for each place it is shown: the place in the file
  // qualifies the reason's first clause; a sentence has one capital and one
  // full stop, never a capital on a path.
  void errorFraming_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<qint64>("line");
    QTest::addColumn<qint64>("offset");
    QTest::addColumn<QString>("reason");
    QTest::addColumn<QString>("box");           // under "Le fichier n'a pu être lu."
    QTest::addColumn<QString>("status");        // alone
    QTest::addColumn<QString>("standardError"); // after "Lecture impossible"
    QTest::newRow("path and offset")
        << "relevés.json" << qint64(-1) << qint64(12) << "JSON illisible"
        << "Le fichier n'a pu être lu.\n\nrelevés.json : JSON illisible à l'octet 12"
        << "relevés.json : JSON illisible à l'octet 12."
        << "Lecture impossible : relevés.json : JSON illisible à l'octet 12.";
    QTest::newRow("path and line, before the detail")
        << "export.xml" << qint64(14) << qint64(-1) << "XML illisible : balisage incorrect"
        << "Le fichier n'a pu être lu.\n\nexport.xml : XML illisible à la ligne 14 : balisage "
           "incorrect"
        << "export.xml : XML illisible à la ligne 14 : balisage incorrect."
        << "Lecture impossible : export.xml : XML illisible à la ligne 14 : balisage incorrect.";
    QTest::newRow("path alone") << "mesures.csv" << qint64(-1) << qint64(-1) << "disque plein"
                                << "Le fichier n'a pu être lu.\n\nmesures.csv : disque plein"
                                << "mesures.csv : disque plein."
                                << "Lecture impossible : mesures.csv : disque plein.";
    QTest::newRow("no file")
        << "" << qint64(-1) << qint64(-1) << "la connexion avec le tensiomètre a été perdue"
        << "Le fichier n'a pu être lu.\n\nla connexion avec le tensiomètre a été perdue"
        << "La connexion avec le tensiomètre a été perdue."
        << "Lecture impossible : la connexion avec le tensiomètre a été perdue.";
    QTest::newRow("no file, a line")
        << "" << qint64(3) << qint64(-1) << "relevé illisible"
        << "Le fichier n'a pu être lu.\n\nrelevé illisible à la ligne 3"
        << "Relevé illisible à la ligne 3."
        << "Lecture impossible : relevé illisible à la ligne 3.";
  }
  void errorFraming() {
    QFETCH(QString, path);
    QFETCH(qint64, line);
    QFETCH(qint64, offset);
    QFETCH(QString, reason);
    const FileError error{path, reason, line, offset};
    QFETCH(QString, box);
    QFETCH(QString, status);
    QFETCH(QString, standardError);
    QCOMPARE(ErrorBoxText(QStringLiteral("Le fichier n'a pu être lu."), error), box);
    QCOMPARE(ErrorStatusText(error), status);
    QCOMPARE(ErrorBoxText(QString(), error), status); // a box with nothing else to say
    QCOMPARE(ErrorSentence(QStringLiteral("Lecture impossible"), error), standardError);
  }

  void singleLine() {
    QCOMPARE(SingleLine("a\r\nb\nc\rd"), QString("a b c d"));
    QCOMPARE(SingleLine("plain"), QString("plain"));
  }

  // Names read from a file show their hidden characters; names typed are
  // refused past the length every file name made from them can have.
  void patientNames_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<bool>("typedOk");
    QTest::newRow("plain") << "Bob"
                           << "Bob" << true;
    QTest::newRow("right-to-left override")
        << QString::fromUtf8("Bo\u202Eb") << "Bo[U+202E]b" << false;
    QTest::newRow("zero width space") << QString::fromUtf8("\u200BBob") << "[U+200B]Bob" << false;
    QTest::newRow("180 bytes") << QString(180, u'a') << QString(180, u'a') << true;
    QTest::newRow("181 bytes") << QString(181, u'a') << QString(181, u'a') << false;
    QTest::newRow("90 accented letters, 180 bytes")
        << QString(90, QChar(0xE9)) << QString(90, QChar(0xE9)) << true;
    QTest::newRow("91 accented letters, 182 bytes")
        << QString(91, QChar(0xE9)) << QString(91, QChar(0xE9)) << false;
  }
  void patientNames() {
    QFETCH(QString, name);
    QFETCH(QString, shown);
    QFETCH(bool, typedOk);
    QCOMPARE(VisiblePatientName(name), shown);
    QCOMPARE(IsNewPatientName(name), typedOk);
    // Every file name made from an accepted name fits 255 bytes.
    if (typedOk) {
      QVERIFY(QByteArray("ARTL_Matin_" + name.toUtf8() + ".txt.illisible-20260314-093000.XXXXXX")
                  .size() <= 255);
    }
    if (IsTooLongPatientName(name)) {
      QVERIFY(RefusedNameMessage(name).contains(QStringLiteral("180 octets")));
    }
  }

  // An output file is written whole, never through a link, never over a
  // file of the logbook however the path reaches it, and never inside a
  // logbook folder.
  void outputFile_data() {
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QString>("refusal"); // empty: written
    QTest::newRow("new file") << ""
                              << "";
    QTest::newRow("ordinary file replaced") << "file"
                                            << "";
    QTest::newRow("link at the name") << "link"
                                      << "c'est un lien symbolique";
    QTest::newRow("dangling link at the name") << "dangling"
                                               << "c'est un lien symbolique";
    QTest::newRow("hard link to a list") << "hardlink"
                                         << "fait partie des données";
    QTest::newRow("list through a linked folder") << "folderlink"
                                                  << "données de Tensiolog";
    QTest::newRow("pipe") << "fifo"
                          << "pas un fichier ordinaire";
    QTest::newRow("inside the print folder") << "print"
                                             << "dossier des données";
  }
  void outputFile() {
#ifndef Q_OS_UNIX
    QSKIP("links, pipes and hard links are made with POSIX calls here");
#else
    QFETCH(QString, setup);
    QFETCH(QString, refusal);
    test::TempHome home;
    const StoragePaths p = SetupStorage(ProfileFolder(), QStringLiteral("Bob"));
    const QString list = p.measurementFile(DayPeriod::Soir);
    const QByteArray listBytes = "1\r\n14/03/2026\r\n20:05\r\n130\r\n80\r\n70\r\nN\r\n";
    QVERIFY(!WriteWholeFile(list, listBytes));
    QVERIFY(QDir().mkpath(home.path() + "out"));
    QString target = home.path() + "out/export.csv";
    const QByteArray t = QFile::encodeName(target), l = QFile::encodeName(list);
    if (setup == u"file") {
      QVERIFY(!WriteWholeFile(target, "old"));
    } else if (setup == u"link") {
      QCOMPARE(::symlink(l.constData(), t.constData()), 0);
    } else if (setup == u"dangling") {
      QCOMPARE(::symlink((l + ".absent").constData(), t.constData()), 0);
    } else if (setup == u"hardlink") {
      QCOMPARE(::link(l.constData(), t.constData()), 0);
    } else if (setup == u"folderlink") {
      const QByteArray linked = QFile::encodeName(home.path() + "vue");
      QCOMPARE(::symlink(QFile::encodeName(p.dataFolder).constData(), linked.constData()), 0);
      target = home.path() + "vue/" + QFileInfo(list).fileName();
    } else if (setup == u"fifo") {
      QCOMPARE(::mkfifo(t.constData(), 0600), 0);
    } else if (setup == u"print") {
      target = p.printFolder + "export.csv";
    }
    const FileError error = WriteOutputFile(target, "export", {p.dataFolder});
    QCOMPARE(test::ReadFile(list), listBytes);
    if (refusal.isEmpty()) {
      QVERIFY2(!error, qPrintable(error.text()));
      QCOMPARE(test::ReadFile(target), QByteArray("export"));
    } else {
      QVERIFY2(error.reason.contains(refusal), qPrintable(error.text()));
    }
    // Nothing is left beside the target but what was there.
    const QStringList left =
        QDir(QFileInfo(target).absolutePath())
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    QVERIFY2(left.filter(QStringLiteral("tl-sortie")).isEmpty(), qPrintable(left.join(u' ')));
#endif
  }
};

QTEST_GUILESS_MAIN(TestCommon)
#include "tst_common.moc"
