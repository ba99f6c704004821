// Load and save of measurement files and the averages, against baselines on
// the same bytes: a bare line scan (memchr) and one block write; and the
// logbook's load and save, which keep and check the version of each file,
// against the plain list load and save. Compare the times as ratios within
// one run.
#include "bench_logbook.h"
#include "bench_support.h"

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
#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstring>
#include <malloc.h>
#include <map>
#include <string>
#include <unistd.h>

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
  return bench::MadeOnce<Fixture>(n, [n] {
    auto f = std::make_unique<Fixture>();
    // The readings as the program holds them: loaded from their file.
    f->bytes = SerializeMeasurementFile(MakeReadings(n));
    f->readings = ParseMeasurementFile(f->bytes);
    f->path = f->dir.path() + QStringLiteral("/ARTL_Matin_bench.txt");
    WriteWholeFile(f->path, f->bytes);
    return f;
  });
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

// Baselines: one block write of the same bytes, plain and through the
// atomic writer (which adds the temporary file, the flush to disk, the rename
// and the flush of the folder).
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
  return bench::MadeOnce<bench::Book>(n, [n] {
    auto b =
        std::make_unique<bench::Book>(FixtureFor(n).dir.path() + u'/', QStringLiteral("bench"));
    LoadLogbook(b->book);
    return b;
  });
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

// A patient of `n` readings in each of the four lists and a few notes, in a
// data folder of its own, saved and loaded again.
struct FullBook {
  QTemporaryDir dir;
  std::unique_ptr<bench::Book> b;
};
bench::Book &FullBookFor(const char *tag, qsizetype n) {
  return *bench::MadeOnce<FullBook>(std::pair(std::string(tag), n), [n] {
            auto f = std::make_unique<FullBook>();
            f->b = std::make_unique<bench::Book>(f->dir.path() + u'/', QStringLiteral("bench"));
            Logbook &book = f->b->book;
            const std::vector<Reading> readings = MakeReadings(n);
            for (DayPeriod period : kAllPeriods) {
              book.list(period).setReadings(readings);
            }
            ReadingContext note;
            note.note = QStringLiteral("café");
            book.contexts().set(DayPeriod::Matin, readings[1], note);
            SaveLogbook(book);
            LoadLogbook(book);
            return f;
          }).b;
}

// The save before the store: the changed files of a full logbook, each
// file's version checked, each written through QSaveFile (temporary,
// flush, rename), no folder flush and no journal.
void OldWrite(Logbook &book, const QString &path, const FileSnapshot &base,
              const QByteArray &bytes) {
  bool changed = false;
  benchmark::DoNotOptimize(
      RefreshFileSnapshot(path, base, kMaxMeasurementFileBytes, &changed).size);
  QSaveFile file(path);
  file.open(QIODevice::WriteOnly);
  file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
  file.write(bytes);
  file.flush();
  ::fsync(file.handle());
  file.commit();
  Q_UNUSED(book);
}

void BM_SaveChangedListOld(benchmark::State &state) {
  bench::Book &b = FullBookFor("old", state.range(0));
  PeriodListModel &matin = b.book.list(DayPeriod::Matin);
  const QString path = b.paths.measurementFile(DayPeriod::Matin);
  const QString pulse = matin.reading(0)[Reading::Pulse];
  for (auto _ : state) {
    matin.setCell(0, Reading::Pulse, pulse);
    const QByteArray bytes = SerializeMeasurementFile(matin.readings());
    OldWrite(b.book, path, b.book.base(DayPeriod::Matin).file, bytes);
    b.book.settle(DayPeriod::Matin, WrittenSnapshot(path, bytes));
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

// The change both saves of a list and a note write: the first reading's
// pulse set again (the list counts as changed), and the second reading's note.
void ChangeListAndNote(bench::Book &b, const QString &pulse, const Reading &noted, int n) {
  b.book.list(DayPeriod::Matin).setCell(0, Reading::Pulse, pulse);
  ReadingContext note;
  note.note = QStringLiteral("note %1").arg(n);
  b.book.contexts().set(DayPeriod::Matin, noted, note);
}

void BM_SaveChangedListAndNoteOld(benchmark::State &state) {
  bench::Book &b = FullBookFor("old journal", state.range(0));
  PeriodListModel &matin = b.book.list(DayPeriod::Matin);
  const QString path = b.paths.measurementFile(DayPeriod::Matin);
  const QString pulse = matin.reading(0)[Reading::Pulse];
  const Reading noted = matin.reading(1);
  int n = 0;
  for (auto _ : state) {
    ChangeListAndNote(b, pulse, noted, ++n);
    const QByteArray bytes = SerializeMeasurementFile(matin.readings());
    const QByteArray notes = SerializeContextFile(b.book.contexts().records());
    OldWrite(b.book, path, b.book.base(DayPeriod::Matin).file, bytes);
    OldWrite(b.book, b.paths.contextFile, b.book.contextBase().file, notes);
    b.book.settle(DayPeriod::Matin, WrittenSnapshot(path, bytes));
    b.book.settleContexts(WrittenSnapshot(b.paths.contextFile, notes));
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

// The store's save of the same change: temporary flushed, renamed, folder
// flushed (one file: its rename is the batch).
void BM_SaveChangedList(benchmark::State &state) {
  bench::Book &b = FullBookFor("new", state.range(0));
  PeriodListModel &matin = b.book.list(DayPeriod::Matin);
  const QString pulse = matin.reading(0)[Reading::Pulse];
  for (auto _ : state) {
    matin.setCell(0, Reading::Pulse, pulse);
    benchmark::DoNotOptimize(SaveLogbook(b.book).written);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

// A changed list and a changed note: two files, so the journal as well.
void BM_SaveChangedListAndNote(benchmark::State &state) {
  bench::Book &b = FullBookFor("journal", state.range(0));
  PeriodListModel &matin = b.book.list(DayPeriod::Matin);
  const QString pulse = matin.reading(0)[Reading::Pulse];
  const Reading noted = matin.reading(1);
  int n = 0;
  for (auto _ : state) {
    ChangeListAndNote(b, pulse, noted, ++n);
    benchmark::DoNotOptimize(SaveLogbook(b.book).written);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

// What a person waits for after "Ajouter": the reading filed, then saved.
void BM_AddToSaved(benchmark::State &state) {
  bench::Book &b = FullBookFor("add", state.range(0));
  const QDate day(2026, 3, 14);
  int minutes = 7 * 60;
  for (auto _ : state) {
    minutes = minutes >= 11 * 60 ? 7 * 60 : minutes + 1;
    benchmark::DoNotOptimize(AddReading(b.book, day, minutes, QStringLiteral("128"),
                                        QStringLiteral("82"), QStringLiteral("71"))
                                 .period);
    benchmark::DoNotOptimize(SaveLogbook(b.book).written);
  }
  state.SetItemsProcessed(state.iterations());
}

// The old and the new save timed in turn in the same iterations, so that the
// disk's moods (other writers, its cache) fall on both: the medians and
// their ratios are the figures to read.
void BM_SaveRatios(benchmark::State &state) {
  using Clock = std::chrono::steady_clock;
  using Ms = std::chrono::duration<double, std::milli>;
  const qsizetype n = state.range(0);
  bench::Book &oldBook = FullBookFor("ratio old", n);
  bench::Book &newBook = FullBookFor("ratio new", n);
  const QString oldPath = oldBook.paths.measurementFile(DayPeriod::Matin);
  std::vector<double> oldList, newList, oldBoth, newBoth, added;
  int round = 0;
  const auto touch = [&](Logbook &book, bool withNote) {
    PeriodListModel &matin = book.list(DayPeriod::Matin);
    matin.setCell(0, Reading::Pulse, matin.reading(0)[Reading::Pulse]);
    if (withNote) {
      ReadingContext note;
      note.note = QStringLiteral("note %1").arg(++round);
      book.contexts().set(DayPeriod::Matin, matin.reading(1), note);
    }
  };
  const auto oldSave = [&](bool withNote) {
    Logbook &book = oldBook.book;
    const QByteArray bytes = SerializeMeasurementFile(book.list(DayPeriod::Matin).readings());
    OldWrite(book, oldPath, book.base(DayPeriod::Matin).file, bytes);
    book.settle(DayPeriod::Matin, WrittenSnapshot(oldPath, bytes));
    if (withNote) {
      const QByteArray notes = SerializeContextFile(book.contexts().records());
      OldWrite(book, oldBook.paths.contextFile, book.contextBase().file, notes);
      book.settleContexts(WrittenSnapshot(oldBook.paths.contextFile, notes));
    }
  };
  for (auto _ : state) {
    for (bool withNote : {false, true}) {
      touch(oldBook.book, withNote);
      const auto t0 = Clock::now();
      oldSave(withNote);
      const auto t1 = Clock::now();
      touch(newBook.book, withNote);
      const auto t2 = Clock::now();
      SaveLogbook(newBook.book);
      const auto t3 = Clock::now();
      (withNote ? oldBoth : oldList).push_back(Ms(t1 - t0).count());
      (withNote ? newBoth : newList).push_back(Ms(t3 - t2).count());
    }
    const auto t0 = Clock::now();
    AddReading(newBook.book, QDate(2026, 3, 14), 8 * 60 + round % 200, QStringLiteral("128"),
               QStringLiteral("82"), QStringLiteral("71"));
    SaveLogbook(newBook.book);
    added.push_back(Ms(Clock::now() - t0).count());
  }
  const auto median = [](std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[v.size() / 2];
  };
  state.counters["old_list_ms"] = median(oldList);
  state.counters["new_list_ms"] = median(newList);
  state.counters["list_new_over_old"] = median(newList) / median(oldList);
  state.counters["old_list_note_ms"] = median(oldBoth);
  state.counters["new_list_note_ms"] = median(newBoth);
  state.counters["list_note_new_over_old"] = median(newBoth) / median(oldBoth);
  state.counters["add_to_saved_ms"] = median(added);
  std::sort(added.begin(), added.end());
  state.counters["add_to_saved_max_ms"] = added.empty() ? 0.0 : added.back();
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
BENCHMARK(BM_SaveChangedListOld)->Arg(22000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveChangedList)->Arg(22000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveChangedListAndNoteOld)->Arg(22000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveChangedListAndNote)->Arg(22000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AddToSaved)->Arg(22000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveRatios)->Arg(22000)->Iterations(41)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Averages)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MemoryPerReading)->Arg(100000)->Iterations(1);

BENCHMARK_MAIN();
