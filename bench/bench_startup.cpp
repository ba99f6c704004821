// Start-up with years of readings: the whole start-up sequence up to the main
// window on show, offscreen, for a patient with 1 000 to 100 000 readings per
// period, and the save at quit; the baselines load and save the same four
// files alone. Compare as ratios within one run.
#include "bench_support.h"

#include "app/main_window.h"
#include "app/startup.h"
#include "common/paths.h"
#include "measurements/classification.h"
#include "measurements/measurement_file.h"
#include "measurements/period_list_model.h"

#include <QApplication>
#include <QDir>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <map>

using namespace tl;

namespace {

const QString kPatient = QStringLiteral("Patient Banc");

// A home folder holding a patient with `n` readings in each period.
struct Home {
  QTemporaryDir dir;
  StoragePaths paths;
};

Home &HomeFor(qsizetype n) {
  Home &made = bench::MadeOnce<Home>(n, [n] {
    auto home = std::make_unique<Home>();
    home->paths = SetupStorage(home->dir.path() + u'/', kPatient);
    QRandomGenerator rng(7);
    for (DayPeriod period : kAllPeriods) {
      std::vector<Reading> rows;
      rows.reserve(size_t(n));
      for (qsizetype i = 0; i < n; ++i) {
        const qint64 s = 95 + rng.bounded(80), d = 55 + rng.bounded(50);
        Reading r;
        r.set(0, QDate(1990, 1, 1).addDays(i).toString(QStringLiteral("dd/MM/yyyy")));
        r.set(1, QStringLiteral("07:%1").arg(rng.bounded(60), 2, 10, QLatin1Char('0')));
        r.set(2, QString::number(s));
        r.set(3, QString::number(d));
        r.set(4, QString::number(50 + rng.bounded(50)));
        r.set(5, DiagnosisSentence(s, d));
        rows.push_back(std::move(r));
      }
      WriteWholeFile(home->paths.measurementFile(period), SerializeMeasurementFile(rows));
    }
    WriteWholeFile(home->paths.preferencesFile, QByteArray("\xEF\xBB\xBF\r\nUsername = ") +
                                                    kPatient.toUtf8() +
                                                    QByteArray("\r\nCurrentUser = 1\r\n"));
    return home;
  });
  qputenv("HOME", QFile::encodeName(made.dir.path()));
  return made;
}

void BM_LoadFilesAlone(benchmark::State &state) {
  Home &home = HomeFor(state.range(0));
  PeriodLists lists;
  for (auto _ : state) {
    for (DayPeriod p : kAllPeriods) {
      LoadPeriodList(lists.list(p), home.paths.measurementFile(p));
    }
  }
  state.SetItemsProcessed(state.iterations() * state.range(0) * 4);
}

void BM_StartUpToWindowShown(benchmark::State &state) {
  HomeFor(state.range(0));
  int run = 0;
  for (auto _ : state) {
    Application program;
    ++run;
    if (!program.start()) {
      state.SkipWithError("start-up did not reach the main window");
      break;
    }
    state.PauseTiming(); // leaving without the save steps is not measured here
    program.mainWindow()->hide();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * state.range(0) * 4);
}

void BM_SaveAtQuit(benchmark::State &state) {
  Home &home = HomeFor(state.range(0));
  Application program;
  if (!program.start()) {
    state.SkipWithError("start-up did not reach the main window");
    return;
  }
  for (auto _ : state) {
    benchmark::DoNotOptimize(SaveAllPeriodLists(program.mainWindow()->lists(), home.paths));
  }
  state.SetItemsProcessed(state.iterations() * state.range(0) * 4);
}

void BM_SaveFilesAlone(benchmark::State &state) {
  Home &home = HomeFor(state.range(0));
  PeriodLists lists;
  for (DayPeriod p : kAllPeriods) {
    LoadPeriodList(lists.list(p), home.paths.measurementFile(p));
  }
  for (auto _ : state) {
    benchmark::DoNotOptimize(SaveAllPeriodLists(lists, home.paths));
  }
  state.SetItemsProcessed(state.iterations() * state.range(0) * 4);
}

} // namespace

#define SIZES Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)
BENCHMARK(BM_LoadFilesAlone)->SIZES;
BENCHMARK(BM_StartUpToWindowShown)->SIZES;
BENCHMARK(BM_SaveFilesAlone)->SIZES;
BENCHMARK(BM_SaveAtQuit)->SIZES;

int main(int argc, char **argv) { return tl::bench::RunInApplication<QApplication>(argc, argv); }
