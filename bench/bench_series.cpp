// The home-measurement series and the doctor's report statistics over
// 22 000 readings (twenty years) and 1 000 000, against loading the same
// readings from their measurement files in the same run; and the time to
// write the PDF report of one year. BM_Ratios reports series / load and
// statistics / load per size: they must stay flat as the size grows.
#include "bench_logbook.h"
#include "bench_support.h"
#include "logbook/logbook.h"
#include "logbook/workflows.h"
#include "measurements/classification.h"
#include "measurements/reading.h"
#include "measurements/reading_context.h"
#include "reports/doctor_report.h"
#include "series/report_data.h"
#include "series/series.h"

#include <QGuiApplication>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <map>
#include <memory>

using namespace tl;

namespace {

using bench::Book;

// `count` readings over twenty years from 2006, entered day after day in time
// order, spread over the four periods; saved once per size. With
// `withContext`, one reading in ten carries a note, one in twenty of them
// the irregular-pulse flag too.
struct Fixture {
  QTemporaryDir dir;
  QString folder = dir.path() + u'/';
  explicit Fixture(qsizetype count, bool withContext = false) {
    Book anne(folder, QStringLiteral("Anne"));
    QRandomGenerator rng(7);
    const QDate start(2006, 1, 1);
    const qsizetype days = 7300;
    const qsizetype perDay = (count + days - 1) / days;
    for (qsizetype i = 0; i < count; ++i) {
      const int minute = int(60 + (i % perDay) * (22 * 60) / perDay);
      const Reading r =
          MakeReadingFromValues(start.addDays(i / perDay), minute, 105 + rng.bounded(60),
                                60 + rng.bounded(35), 50 + rng.bounded(50));
      const DayPeriod period = PeriodOfTime(r[Reading::Time]);
      anne.book.list(period).append(r);
      if (withContext && i % 10 == 0) {
        ReadingContext context;
        context.note = QStringLiteral("après le café, bras gauche");
        context.set(ContextFlag::Irregular, i % 200 == 0);
        anne.book.contexts().set(period, r, context);
      }
    }
    SaveLogbook(anne.book);
  }
};

Fixture &TheFixture(qsizetype count, bool withContext = false) {
  return bench::MadeOnce<Fixture>(std::pair(count, withContext),
                                  [=] { return std::make_unique<Fixture>(count, withContext); });
}

std::unique_ptr<Book> Loaded(qsizetype count) {
  auto anne = std::make_unique<Book>(TheFixture(count).folder, QStringLiteral("Anne"));
  LoadLogbook(anne->book);
  return anne;
}

// The 2-2-3 series over the four lists with both sessions widened to their
// limits (04:00 and 01:59 the next day): every list is read.
SeriesResult Series(const Logbook &book) {
  const SeriesLists lists = ListsOf(book.lists());
  const SessionWindows windows{kEarliestMorningStart, 12 * 60, 18 * 60 + 1, kLatestEveningEnd};
  const QDate start = DefaultSeriesStart(lists, Protocol::Rule223, windows).value_or(QDate());
  return ComputeSeries(lists, Protocol::Rule223, start, windows, &book.contexts());
}

DoctorReportData WholeReport(const Logbook &book) {
  return MakeDoctorReport(book.lists(), QDate(2000, 1, 1), QDate(2030, 1, 1), &book.contexts());
}

void BM_Load(benchmark::State &state) {
  TheFixture(state.range(0));
  for (auto _ : state) {
    Book anne(TheFixture(state.range(0)).folder, QStringLiteral("Anne"));
    benchmark::DoNotOptimize(LoadLogbook(anne.book).size());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

// The default start and the series, as the window computes them on opening.
void BM_Series(benchmark::State &state) {
  const auto anne = Loaded(state.range(0));
  for (auto _ : state) {
    benchmark::DoNotOptimize(Series(anne->book).all.count);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

// Statistics of every period and of all, over every reading.
void BM_ReportStatistics(benchmark::State &state) {
  const auto anne = Loaded(state.range(0));
  for (auto _ : state) {
    benchmark::DoNotOptimize(WholeReport(anne->book).overall.count);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

// Both sides timed in the same iterations, so that the machine's load
// cancels out of the ratios.
void BM_Ratios(benchmark::State &state) {
  const qsizetype count = state.range(0);
  TheFixture(count);
  std::vector<double> series, statistics;
  for (auto _ : state) {
    using Clock = std::chrono::steady_clock;
    const auto t0 = Clock::now();
    Book anne(TheFixture(count).folder, QStringLiteral("Anne"));
    LoadLogbook(anne.book);
    const auto t1 = Clock::now();
    benchmark::DoNotOptimize(Series(anne.book).all.count);
    const auto t2 = Clock::now();
    benchmark::DoNotOptimize(WholeReport(anne.book).overall.count);
    const auto t3 = Clock::now();
    const double load = std::chrono::duration<double>(t1 - t0).count();
    series.push_back(std::chrono::duration<double>(t2 - t1).count() / load);
    statistics.push_back(std::chrono::duration<double>(t3 - t2).count() / load);
  }
  const auto median = [](std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[v.size() / 2];
  };
  state.counters["series_over_load"] = median(series);
  state.counters["statistics_over_load"] = median(statistics);
}

// Start-up (loading the lists and the context file) and the whole report,
// with one reading in ten carrying context against none, timed in the same
// iterations: the context must cost little.
void BM_ContextRatio(benchmark::State &state) {
  const qsizetype count = state.range(0);
  TheFixture(count, false);
  TheFixture(count, true);
  std::vector<double> ratios;
  for (auto _ : state) {
    using Clock = std::chrono::steady_clock;
    double seconds[2] = {};
    for (bool withContext : {false, true}) {
      const auto t0 = Clock::now();
      Book anne(TheFixture(count, withContext).folder, QStringLiteral("Anne"));
      LoadLogbook(anne.book);
      benchmark::DoNotOptimize(WholeReport(anne.book).overall.count);
      seconds[withContext] = std::chrono::duration<double>(Clock::now() - t0).count();
    }
    ratios.push_back(seconds[1] / seconds[0]);
  }
  std::sort(ratios.begin(), ratios.end());
  state.counters["with_over_without"] = ratios.empty() ? 0.0 : ratios[ratios.size() / 2];
}

// The PDF report of one year: four readings a day, summary and readings pages.
void BM_OneYearReportPdf(benchmark::State &state) {
  PeriodLists lists;
  QRandomGenerator rng(11);
  const QDate start(2025, 1, 1);
  const int minutes[] = {7 * 60, 13 * 60, 20 * 60, 2 * 60};
  for (int day = 0; day < 365; ++day) {
    for (int minute : minutes) {
      const Reading r = MakeReadingFromValues(start.addDays(day), minute, 105 + rng.bounded(60),
                                              60 + rng.bounded(35), 50 + rng.bounded(50));
      lists.list(PeriodOfTime(r[Reading::Time])).append(r);
    }
  }
  QTemporaryDir dir;
  const DoctorReportDocument report(
      {QStringLiteral("Anne"), QStringLiteral("60"), QStringLiteral("Dr Roux"), {}},
      MakeDoctorReport(lists, start, start.addDays(364)), QDate(2026, 1, 2));
  for (auto _ : state) {
    benchmark::DoNotOptimize(bool(WritePdf(report, dir.filePath(QStringLiteral("r.pdf")))));
  }
  state.counters["pages"] = report.pageCount();
}

} // namespace

BENCHMARK(BM_Load)->Arg(22000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Series)->Arg(22000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReportStatistics)->Arg(22000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Ratios)->Arg(22000)->Arg(1000000)->Iterations(7)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ContextRatio)->Arg(22000)->Iterations(15)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OneYearReportPdf)->Iterations(3)->Unit(benchmark::kMillisecond);

// The report draws its text with Qt Gui's fonts, without a display.
int main(int argc, char **argv) { return tl::bench::RunInApplication<QGuiApplication>(argc, argv); }
