// Saves a large logbook over and over, alternating two versions, until it is
// killed. Usage: crash_saver <profile folder> <readings per period>
#include "common/paths.h"
#include "logbook_fixture.h"
#include "measurements/measurement_file.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char *argv[]) {
  QCoreApplication app(argc, argv);
  if (argc < 3) {
    return 2;
  }
  const tl::StoragePaths paths =
      tl::SetupStorage(QString::fromLocal8Bit(argv[1]), QStringLiteral("Crash Test"));
  const int perPeriod = QByteArray(argv[2]).toInt();
  tl::PeriodLists versions[2];
  tl::test::FillLogbook(versions[0], perPeriod, 0);
  tl::test::FillLogbook(versions[1], perPeriod, 1);
  std::puts("ready");
  std::fflush(stdout);
  for (unsigned n = 0;; ++n) {
    tl::SaveAllPeriodLists(versions[n % 2], paths);
  }
}
