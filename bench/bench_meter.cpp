// The readings of a meter filed: from the last indication received to the
// readings saved (AppendMeterRecords then SaveImport, as the window and the
// command do), against saving the same readings (SaveLogbook of a logbook
// to which the same records were appended). Both sides run in the same
// iteration on empty logbooks of their own; BM_MeterRatio reports the
// median ratio.
#include "bench_logbook.h"
#include "exchange/logbook_exchange.h"
#include "logbook/logbook.h"
#include "logbook/workflows.h"
#include "meter/meter_import.h"

#include <QDateTime>
#include <QDir>
#include <QTemporaryDir>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <vector>

using namespace tl;

namespace {

constexpr int kRecords = 60;

// 60 records in whole mmHg with a time stamp, the pulse and, one in four,
// the status "irregular pulse" (flags 0x06 or 0x16), four a day.
std::vector<MeterIndication> Records() {
  std::vector<MeterIndication> out;
  const QDateTime received(QDate(2026, 11, 30), QTime(8, 0));
  for (int i = 0; i < kRecords; ++i) {
    QByteArray v;
    auto u16 = [&v](int x) { v.append(char(x & 0xFF)).append(char((x >> 8) & 0xFF)); };
    const bool irregular = i % 4 == 0;
    v.append(char(irregular ? 0x16 : 0x06));
    u16(110 + i);
    u16(70 + i % 20);
    u16(85 + i % 20);
    u16(2026);
    v.append(char(11)).append(char(1 + i / 4)).append(char(7 + (i % 4) * 4)).append(char(i));
    v.append(char(0));
    u16(60 + i % 30);
    if (irregular)
      u16(0x0004);
    out.push_back({v, received});
  }
  return out;
}

void BM_MeterRatio(benchmark::State &state) {
  using Clock = std::chrono::steady_clock;
  using Seconds = std::chrono::duration<double>;
  const std::vector<MeterIndication> records = Records();
  std::vector<double> ratios;
  double filed = 0, saved = 0;
  for (auto _ : state) {
    QTemporaryDir a, b;
    bench::Book meter(a.path() + u'/', QStringLiteral("Anne"));
    bench::Book plain(b.path() + u'/', QStringLiteral("Anne"));
    AppendMeterRecords(plain.book, records);

    const auto t0 = Clock::now();
    ImportOutcome outcome = AppendMeterRecords(meter.book, records);
    SaveImport(meter.book, outcome);
    const auto t1 = Clock::now();
    SaveLogbook(plain.book);
    const auto t2 = Clock::now();

    if (outcome.imported != kRecords) {
      state.SkipWithError("not every record was imported");
      return;
    }
    const double one = Seconds(t1 - t0).count(), two = Seconds(t2 - t1).count();
    filed += one;
    saved += two;
    ratios.push_back(one / two);
  }
  std::sort(ratios.begin(), ratios.end());
  state.counters["ratio_median"] = ratios[ratios.size() / 2];
  state.counters["filed_ms"] = 1000 * filed / double(ratios.size());
  state.counters["saved_ms"] = 1000 * saved / double(ratios.size());
}
BENCHMARK(BM_MeterRatio)->Iterations(200)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
