// Kills a program in the middle of its saves, again and again: every
// measurement file must always hold one whole version, never a mix or a
// truncated file, and nothing left behind may be taken for a measurement file.
#include "fakes.h"

#include "common/file_io.h"
#include "common/paths.h"
#include "logbook_fixture.h"
#include "measurements/measurement_file.h"

#include <QDir>
#include <QProcess>
#include <QRandomGenerator>
#include <QTest>
#include <csignal>

using namespace tl;

class TestCrashSafety : public QObject {
  Q_OBJECT

private slots:
  void killedWhileSaving() {
#ifndef Q_OS_UNIX
    QSKIP("SIGKILL is a Unix signal");
#else
    test::TempHome home;
    constexpr int kPerPeriod = 5000;
    constexpr int kKills = 200;
    const StoragePaths paths = SetupStorage(home.path(), QStringLiteral("Crash Test"));

    PeriodLists versions[2];
    QByteArray expected[2][4];
    for (int v = 0; v < 2; ++v) {
      test::FillLogbook(versions[v], kPerPeriod, v);
      for (DayPeriod p : kAllPeriods) {
        expected[v][PeriodIndex(p)] = SerializeMeasurementFile(versions[v].list(p).readings());
      }
    }
    QVERIFY(expected[0][0] != expected[1][0]);
    QCOMPARE(SaveAllPeriodLists(versions[0], paths), 4);

    const QString saver = QCoreApplication::applicationDirPath() + QStringLiteral("/crash_saver");
    QRandomGenerator rng(20261207);
    int killedDuringWrite = 0;
    int seen[2] = {0, 0};
    for (int kill = 0; kill < kKills; ++kill) {
      QProcess process;
      process.start(saver, {home.path(), QString::number(kPerPeriod)});
      QVERIFY2(process.waitForStarted(), qPrintable(process.errorString()));
      QVERIFY(process.waitForReadyRead(10000)); // "ready": the saves begin
      QTest::qSleep(int(rng.bounded(40)));
      ::kill(pid_t(process.processId()), SIGKILL);
      QVERIFY(process.waitForFinished(10000));

      for (DayPeriod p : kAllPeriods) {
        const QByteArray bytes = test::ReadFile(paths.measurementFile(p));
        const bool whole =
            bytes == expected[0][PeriodIndex(p)] || bytes == expected[1][PeriodIndex(p)];
        seen[bytes == expected[1][PeriodIndex(p)] ? 1 : 0]++;
        QVERIFY2(whole, qPrintable(QStringLiteral("kill %1: %2 holds %3 bytes of neither version")
                                       .arg(kill)
                                       .arg(paths.measurementFile(p))
                                       .arg(bytes.size())));
      }
      // Leftovers of an interrupted save never look like a measurement file
      // (the program reads only "ARTL_<period>_<name>.txt"), and the clean-up
      // at start-up recognises every one of them.
      killedDuringWrite += RemoveInterruptedSaves(paths.dataFolder);
      const QStringList files = QDir(paths.dataFolder).entryList(QDir::Files);
      QVERIFY2(files.size() == 4, qPrintable(files.join(u' ')));
    }
    // The kills fell at different points of the save loop.
    QVERIFY(seen[0] > 0 && seen[1] > 0);
    qInfo("%d kills left an unfinished temporary file behind", killedDuringWrite);
#endif
  }
};

QTEST_GUILESS_MAIN(TestCrashSafety)
#include "tst_crash_safety.moc"
