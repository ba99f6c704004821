// The import of a CSV file into a logbook against loading the same readings
// from their measurement files, and the CSV export against saving them.
//
// What is compared: the import reads the file, checks each row and appends
// the readings to the four lists, then saves the lists. Its in-memory part
// (file to readings in the lists, AppendCsvFile) does what a load does (files
// to readings in the lists) and is set against it; the whole import, with
// its save, is set against a load followed by a save. The export writes one
// file of about as many bytes as the four measurement files a save writes
// (both byte counts are reported) and is set against the save.
//
// The FHIR import (AppendFhirFile: the JSON read whole, parsed, each panel
// paired with its heart rate and checked) is set against the load likewise,
// from Tensiolog's own FHIR export of the same readings.
//
// BM_Ratios times all sides in the same iterations and reports the median
// ratios; the memory counters give the heap held and the heap at its highest.
#include "bench_logbook.h"
#include "exchange/logbook_exchange.h"
#include "logbook/logbook.h"
#include "logbook/workflows.h"
#include "measurements/classification.h"
#include "measurements/period_list_model.h"
#include "measurements/reading.h"

#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <malloc.h>
#include <memory>
#include <sys/resource.h>

using namespace tl;

namespace {

constexpr qsizetype kReadings = 100000;

size_t HeapInUse() {
  const struct mallinfo2 m = mallinfo2();
  return m.uordblks + m.hblkhd;
}

size_t HeapAbove(size_t base) {
  const size_t now = HeapInUse();
  return now > base ? now - base : 0;
}

double PeakRssBytes() {
  struct rusage usage {};
  getrusage(RUSAGE_SELF, &usage);
  return double(usage.ru_maxrss) * 1024.0;
}

using bench::Book;

// Anne's readings in date order over the four periods, saved, and their CSV
// export.
struct Fixture {
  QTemporaryDir dir;
  QString folder = dir.path() + u'/';
  QString csv = folder + QStringLiteral("Anne.csv");
  QString fhir = folder + QStringLiteral("Anne.json");
  ColumnMapping mapping;
  char separator = ';';
  qint64 csvBytes = 0, fhirBytes = 0;
  qint64 savedBytes = 0; // the four measurement files

  Fixture() {
    Book anne(folder, QStringLiteral("Anne"));
    QRandomGenerator rng(42);
    const QDate start(2000, 1, 1);
    const int minutes[] = {3 * 60 + 10, 7 * 60 + 20, 13 * 60 + 30, 20 * 60 + 40};
    for (qsizetype i = 0; i < kReadings; ++i) {
      const qint64 s = 100 + rng.bounded(80);
      const qint64 d = 55 + rng.bounded(40);
      const int minute = minutes[i % 4] + rng.bounded(20);
      const Reading r =
          MakeReadingFromValues(start.addDays(i / 4), minute, s, d, 50 + rng.bounded(50));
      anne.book.list(PeriodOfTime(r[Reading::Time])).append(r);
    }
    SaveLogbook(anne.book);
    ExportLogbook(anne.book, ExportFormat::Csv, csv);
    ExportLogbook(anne.book, ExportFormat::Fhir, fhir);
    fhirBytes = QFileInfo(fhir).size();
    const CsvFileStart first = ReadCsvStart(csv);
    mapping = first.guess;
    separator = first.separator;
    csvBytes = QFileInfo(csv).size();
    for (DayPeriod period : kAllPeriods) {
      savedBytes += QFileInfo(anne.paths.measurementFile(period)).size();
    }
  }
};

Fixture &TheFixture() {
  static Fixture fixture;
  return fixture;
}

// Imports the CSV into a patient without readings, saved or only appended
// to the lists; returns the heap at its highest between chunks, above `base`.
size_t ImportOnce(Fixture &f, Book &target, size_t base, bool save = true) {
  size_t peak = 0;
  const auto progress = [&](qint64, qint64) {
    peak = std::max(peak, HeapAbove(base));
    return true;
  };
  const ImportOutcome outcome =
      save ? ImportCsvFile(target.book, f.csv, f.mapping, f.separator, progress)
           : AppendCsvFile(target.book, f.csv, f.mapping, f.separator, progress);
  if (outcome.imported != kReadings || target.book.lists().totalCount() != kReadings) {
    std::abort(); // the comparison would mean nothing
  }
  return peak;
}

// The FHIR export into a patient without readings, appended to the lists
// only; the heap at its highest between steps, above `base`.
size_t ImportFhirOnce(Fixture &f, Book &target, size_t base) {
  size_t peak = 0;
  const ImportOutcome outcome = AppendFhirFile(target.book, f.fhir, [&](qint64, qint64) {
    peak = std::max(peak, HeapAbove(base));
    return true;
  });
  if (outcome.imported != kReadings || target.book.lists().totalCount() != kReadings) {
    std::abort();
  }
  return peak;
}

void BM_LoadLogbook(benchmark::State &state) {
  Fixture &f = TheFixture();
  for (auto _ : state) {
    Book anne(f.folder, QStringLiteral("Anne"));
    benchmark::DoNotOptimize(LoadLogbook(anne.book).size());
  }
  state.SetItemsProcessed(state.iterations() * kReadings);
}

// Read, checked, appended and saved, as the window and the command line do.
void BM_ImportCsv(benchmark::State &state) {
  Fixture &f = TheFixture();
  size_t held = 0, peak = 0;
  for (auto _ : state) {
    Book bruno(f.folder, QStringLiteral("Bruno"));
    const size_t before = HeapInUse();
    peak = ImportOnce(f, bruno, before);
    held = HeapAbove(before);
  }
  state.SetItemsProcessed(state.iterations() * kReadings);
  state.SetBytesProcessed(state.iterations() * f.csvBytes);
  state.counters["heap_held_bytes"] = double(held);
  state.counters["heap_peak_bytes"] = double(peak);
  state.counters["peak_rss_bytes"] = PeakRssBytes();
}

// Read, checked and appended to the lists, not saved: what a load does.
void BM_ImportCsvInMemory(benchmark::State &state) {
  Fixture &f = TheFixture();
  size_t held = 0, peak = 0;
  for (auto _ : state) {
    Book bruno(f.folder, QStringLiteral("Bruno"));
    const size_t before = HeapInUse();
    peak = ImportOnce(f, bruno, before, false);
    held = HeapAbove(before);
  }
  state.SetItemsProcessed(state.iterations() * kReadings);
  state.SetBytesProcessed(state.iterations() * f.csvBytes);
  state.counters["heap_held_bytes"] = double(held);
  state.counters["heap_peak_bytes"] = double(peak);
}

// The FHIR file read, parsed, paired, checked and appended, not saved.
void BM_ImportFhirInMemory(benchmark::State &state) {
  Fixture &f = TheFixture();
  size_t held = 0, peak = 0;
  for (auto _ : state) {
    Book bruno(f.folder, QStringLiteral("Bruno"));
    const size_t before = HeapInUse();
    peak = ImportFhirOnce(f, bruno, before);
    held = HeapAbove(before);
  }
  state.SetItemsProcessed(state.iterations() * kReadings);
  state.SetBytesProcessed(state.iterations() * f.fhirBytes);
  state.counters["heap_held_bytes"] = double(held);
  state.counters["heap_peak_bytes"] = double(peak);
  state.counters["peak_rss_bytes"] = PeakRssBytes();
}

void BM_SaveLogbook(benchmark::State &state) {
  Fixture &f = TheFixture();
  Book anne(f.folder, QStringLiteral("Anne"));
  LoadLogbook(anne.book);
  for (auto _ : state) {
    benchmark::DoNotOptimize(SaveLogbook(anne.book).written);
  }
  state.SetItemsProcessed(state.iterations() * kReadings);
  state.counters["file_bytes"] = double(f.savedBytes);
}

// The export builds the whole file in memory before writing it: its size is
// the memory it holds.
void BM_ExportCsv(benchmark::State &state) {
  Fixture &f = TheFixture();
  Book anne(f.folder, QStringLiteral("Anne"));
  LoadLogbook(anne.book);
  const QString out = f.folder + QStringLiteral("export.csv");
  for (auto _ : state) {
    benchmark::DoNotOptimize(ExportLogbook(anne.book, ExportFormat::Csv, out).exported);
  }
  state.SetItemsProcessed(state.iterations() * kReadings);
  state.counters["file_bytes"] = double(QFileInfo(out).size());
  state.counters["peak_rss_bytes"] = PeakRssBytes();
}

// Every side of each comparison, timed in the same iterations: the median
// ratios are the figures to read. The import is timed in its two steps, the
// readings into the lists and their save, as ImportCsvFile runs them.
void BM_Ratios(benchmark::State &state) {
  using Clock = std::chrono::steady_clock;
  using Seconds = std::chrono::duration<double>;
  Fixture &f = TheFixture();
  std::vector<double> inMemoryOverLoad, importOverLoadAndSave, exportOverSave, fhirOverLoad;
  for (auto _ : state) {
    Book anne(f.folder, QStringLiteral("Anne"));
    const auto t0 = Clock::now();
    LoadLogbook(anne.book);
    const auto t1 = Clock::now();
    Book bruno(f.folder, QStringLiteral("Bruno"));
    ImportOnce(f, bruno, HeapInUse(), false);
    const auto t2 = Clock::now();
    SaveLogbook(bruno.book);
    const auto t3 = Clock::now();
    SaveLogbook(anne.book);
    const auto t4 = Clock::now();
    ExportLogbook(anne.book, ExportFormat::Csv, f.folder + QStringLiteral("export.csv"));
    const auto t5 = Clock::now();
    Book carla(f.folder, QStringLiteral("Carla"));
    ImportFhirOnce(f, carla, HeapInUse());
    const auto t6 = Clock::now();
    const Seconds load = t1 - t0, inMemory = t2 - t1, importSave = t3 - t2, save = t4 - t3,
                  exported = t5 - t4, fhir = t6 - t5;
    fhirOverLoad.push_back(fhir / load);
    inMemoryOverLoad.push_back(inMemory / load);
    importOverLoadAndSave.push_back((inMemory + importSave) / (load + save));
    exportOverSave.push_back(exported / save);
  }
  const auto median = [](std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[v.size() / 2];
  };
  state.counters["import_in_memory_over_load"] = median(inMemoryOverLoad);
  state.counters["import_over_load_and_save"] = median(importOverLoadAndSave);
  state.counters["export_over_save"] = median(exportOverSave);
  state.counters["fhir_import_in_memory_over_load"] = median(fhirOverLoad);
  state.counters["fhir_bytes"] = double(f.fhirBytes);
  state.counters["export_bytes"] = double(f.csvBytes);
  state.counters["save_bytes"] = double(f.savedBytes);
}

} // namespace

BENCHMARK(BM_LoadLogbook)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ImportCsvInMemory)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ImportCsv)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ImportFhirInMemory)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveLogbook)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExportCsv)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Ratios)->Iterations(9)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
