// Load and save of measurement files and the averages, against baselines on
// the same bytes: a bare line scan (memchr) and one block write; and the
// logbook's load and save, which keep and check the version of each file,
// against the plain list load and save. Compare the times as ratios within
// one run.
#include "bench_logbook.h"

#include "common/file_io.h"
#include "logbook/workflows.h"
#include "measurements/averages.h"
#include "measurements/classification.h"
#include "measurements/measurement_file.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QSaveFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstring>
#include <malloc.h>
#include <map>

using namespace tl;

namespace {

std::vector<Reading> MakeReadings(qsizetype n) {
  QRandomGenerator rng(42);
  std::vector<Reading> out;
  out.reserve(size_t(n));
  const QDate start(2000, 1, 1);
  for (qsizetype i = 0; i < n; ++i) {
    const qint64 s = 90 + rng.bounded(90);
    const qint64 d = 50 + rng.bounded(60);
    Reading r;
    r.set(Reading::Date, start.addDays(i / 4).toString(QStringLiteral("dd/MM/yyyy")));
    r.set(Reading::Time,
          QTime(6 + rng.bounded(6), rng.bounded(60)).toString(QStringLiteral("hh:mm")));
    r.set(Reading::Systolic, QString::number(s));
    r.set(Reading::Diastolic, QString::number(d));
    r.set(Reading::Pulse, QString::number(50 + rng.bounded(50)));
    r.set(Reading::Diagnosis, DiagnosisSentence(s, d));
    out.push_back(std::move(r));
  }
  return out;
}

struct Fixture {
  QTemporaryDir dir;
  std::vector<Reading> readings;
  QByteArray bytes;
  QString path;
};

// One file per size, made once per run.
Fixture &FixtureFor(qsizetype n) {
  static std::map<qsizetype, std::unique_ptr<Fixture>> fixtures;
  auto &f = fixtures[n];
  if (!f) {
    f = std::make_unique<Fixture>();
    // The readings as the program holds them: loaded from their file.
    f->bytes = SerializeMeasurementFile(MakeReadings(n));
    f->readings = ParseMeasurementFile(f->bytes);
    f->path = f->dir.path() + QStringLiteral("/ARTL_Matin_bench.txt");
    WriteWholeFile(f->path, f->bytes);
  }
  return *f;
}

QByteArray ReadOrEmpty(const QString &path) {
  QByteArray bytes;
  ReadWholeFile(path, kMaxMeasurementFileBytes, &bytes);
  return bytes;
}

void SetCounters(benchmark::State &state, const Fixture &f) {
  state.SetItemsProcessed(state.iterations() * qint64(f.readings.size()));
  state.SetBytesProcessed(state.iterations() * f.bytes.size());
}

void BM_Load(benchmark::State &state) {
  Fixture &f = FixtureFor(state.range(0));
  for (auto _ : state) {
    auto rows = ParseMeasurementFile(ReadOrEmpty(f.path));
    benchmark::DoNotOptimize(rows.data());
  }
  SetCounters(state, f);
}

// Baseline: read the same file and count its lines.
void BM_ScanLines(benchmark::State &state) {
  Fixture &f = FixtureFor(state.range(0));
  for (auto _ : state) {
    const QByteArray bytes = ReadOrEmpty(f.path);
    const char *p = bytes.constData();
    const char *end = p + bytes.size();
    qsizetype lines = 0;
    while ((p = static_cast<const char *>(std::memchr(p, '\n', size_t(end - p))))) {
      ++lines;
      ++p;
    }
    benchmark::DoNotOptimize(lines);
  }
  SetCounters(state, f);
}

void BM_Save(benchmark::State &state) {
  Fixture &f = FixtureFor(state.range(0));
  const QString target = f.dir.path() + QStringLiteral("/save.txt");
  for (auto _ : state) {
    benchmark::DoNotOptimize(WriteWholeFile(target, SerializeMeasurementFile(f.readings)));
  }
  SetCounters(state, f);
}

// Baselines: one block write of the same bytes, plain and through QSaveFile
// (which adds the temporary file, the flush to disk and the rename).
void BM_BlockWrite(benchmark::State &state) {
  Fixture &f = FixtureFor(state.range(0));
  const QString target = f.dir.path() + QStringLiteral("/block.txt");
  for (auto _ : state) {
    QFile out(target);
    out.open(QIODevice::WriteOnly | QIODevice::Truncate);
    benchmark::DoNotOptimize(out.write(f.bytes));
  }
  SetCounters(state, f);
}

void BM_BlockWriteAtomic(benchmark::State &state) {
  Fixture &f = FixtureFor(state.range(0));
  const QString target = f.dir.path() + QStringLiteral("/atomic.txt");
  for (auto _ : state) {
    benchmark::DoNotOptimize(WriteWholeFile(target, f.bytes));
  }
  SetCounters(state, f);
}

void BM_Serialize(benchmark::State &state) {
  Fixture &f = FixtureFor(state.range(0));
  for (auto _ : state) {
    benchmark::DoNotOptimize(SerializeMeasurementFile(f.readings).size());
  }
  SetCounters(state, f);
}

void BM_Averages(benchmark::State &state) {
  Fixture &f = FixtureFor(state.range(0));
  for (auto _ : state) {
    benchmark::DoNotOptimize(AverageText(SumReadings(f.readings)));
  }
  SetCounters(state, f);
}

// The logbook of one patient whose Matin file is the fixture's (the other
// three periods have no file).
bench::Book &BookFor(qsizetype n) {
  static std::map<qsizetype, std::unique_ptr<bench::Book>> books;
  auto &b = books[n];
  if (!b) {
    Fixture &f = FixtureFor(n);
    b = std::make_unique<bench::Book>(f.dir.path() + u'/', QStringLiteral("bench"));
    LoadLogbook(b->book);
  }
  return *b;
}

// Today's load: the period list filled from its file, nothing kept.
void BM_LoadList(benchmark::State &state) {
  Fixture &f = FixtureFor(state.range(0));
  PeriodListModel list(DayPeriod::Matin);
  for (auto _ : state) {
    benchmark::DoNotOptimize(LoadPeriodList(list, f.path));
  }
  SetCounters(state, f);
}

// The logbook's load: the same, keeping the version read.
void BM_LoadWithVersion(benchmark::State &state) {
  Fixture &f = FixtureFor(state.range(0));
  bench::Book &b = BookFor(state.range(0));
  for (auto _ : state) {
    benchmark::DoNotOptimize(LoadLogbook(b.book).size());
  }
  SetCounters(state, f);
}

// Today's save: every list holding readings written, changed or not.
void BM_SaveLists(benchmark::State &state) {
  Fixture &f = FixtureFor(state.range(0));
  bench::Book &b = BookFor(state.range(0));
  for (auto _ : state) {
    benchmark::DoNotOptimize(SaveAllPeriodLists(b.book.lists(), b.paths));
  }
  SetCounters(state, f);
  LoadLogbook(b.book); // the next benchmark starts from the version on disk
}

// The logbook's save of a changed list: the file's version checked, then
// the list written (one cell set again marks it changed).
void BM_SaveWithVersion(benchmark::State &state) {
  Fixture &f = FixtureFor(state.range(0));
  bench::Book &b = BookFor(state.range(0));
  PeriodListModel &matin = b.book.list(DayPeriod::Matin);
  const QString pulse = matin.reading(0)[Reading::Pulse];
  for (auto _ : state) {
    matin.setCell(0, Reading::Pulse, pulse);
    benchmark::DoNotOptimize(SaveLogbook(b.book).written);
  }
  SetCounters(state, f);
}

// The logbook's save of lists nobody changed: the check alone.
void BM_SaveUnchanged(benchmark::State &state) {
  Fixture &f = FixtureFor(state.range(0));
  bench::Book &b = BookFor(state.range(0));
  for (auto _ : state) {
    benchmark::DoNotOptimize(SaveLogbook(b.book).written);
  }
  SetCounters(state, f);
}

// Heap in use: the arena's blocks and the blocks malloc maps on their own
// (large ones, such as the vector of readings, never show in the arena).
size_t HeapInUse() {
  const struct mallinfo2 m = mallinfo2();
  return m.uordblks + m.hblkhd;
}

// Heap held by the loaded readings, per reading: the vector (with its spare
// capacity) and everything the readings point to.
void BM_MemoryPerReading(benchmark::State &state) {
  Fixture &f = FixtureFor(state.range(0));
  double perReading = 0;
  for (auto _ : state) {
    const size_t before = HeapInUse();
    auto rows = ParseMeasurementFile(f.bytes);
    const size_t after = HeapInUse();
    perReading = double(after - before) / double(rows.size());
    benchmark::DoNotOptimize(rows.data());
  }
  state.counters["bytes_per_reading"] = perReading;
}

} // namespace

#define SIZES Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)
BENCHMARK(BM_ScanLines)->SIZES;
BENCHMARK(BM_Load)->SIZES;
BENCHMARK(BM_BlockWrite)->SIZES;
BENCHMARK(BM_BlockWriteAtomic)->SIZES;
BENCHMARK(BM_Serialize)->SIZES;
BENCHMARK(BM_Save)->SIZES;
BENCHMARK(BM_LoadList)->SIZES;
BENCHMARK(BM_LoadWithVersion)->SIZES;
BENCHMARK(BM_SaveLists)->SIZES;
BENCHMARK(BM_SaveWithVersion)->SIZES;
BENCHMARK(BM_SaveUnchanged)->SIZES;
BENCHMARK(BM_Averages)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MemoryPerReading)->Arg(100000)->Iterations(1);

BENCHMARK_MAIN();
