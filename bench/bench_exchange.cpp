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
// The FHIR import (AppendFhirFile: the JSON read as a stream a megabyte at
// a time, the fields used kept, each panel paired with its heart rate and
// checked) is set against the load likewise, from Tensiolog's own FHIR
// export of the same readings.
//
// BM_Ratios times all sides in the same iterations and reports the median
// ratios; the memory counters give the heap held and the heap at its highest.
//
// BM_ImportAppleHealth reads an export.xml made here, bare and zipped: 16 MiB
// by default, 1 GiB with TENSIOLOG_BENCH_BIG=1 (about 2 GiB of disk for the
// file and its zip). Its memory counters are the heap at its highest between
// chunks and the resident memory at its highest (VmHWM, reset before the
// import), both above what was there before it.
//
// BM_DateForms sets the import of the same readings written in the date
// forms of other tools against the plain form, each file read whole.
#include "bench_logbook.h"
#include "exchange/logbook_exchange.h"
#include "logbook/logbook.h"
#include "logbook/workflows.h"
#include "measurements/classification.h"
#include "measurements/period_list_model.h"
#include "measurements/reading.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimeZone>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <malloc.h>
#include <memory>
#include <string>
#include <sys/resource.h>
#include <time.h>
#include <zlib.h>

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

// A field of /proc/self/status ("VmHWM", "VmRSS") in bytes, or 0.
double ProcStatusBytes(const char *field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  const std::string key = std::string(field) + ':';
  while (std::getline(status, line)) {
    if (line.rfind(key, 0) == 0) {
      return std::atof(line.c_str() + key.size()) * 1024.0;
    }
  }
  return 0;
}

// Resets VmHWM to the resident memory now (Linux), so that it gives the
// highest of what follows.
void ResetPeakRss() {
  if (FILE *f = std::fopen("/proc/self/clear_refs", "w")) {
    std::fputs("5", f);
    std::fclose(f);
  }
}

using bench::Book;

// Anne's readings in date order over the four periods, saved, and their CSV
// export.
struct Fixture {
  QTemporaryDir dir;
  QString folder = dir.path() + u'/';
  // Exports go beside the data folder, never into it: the export refuses it.
  QString exports = folder + QStringLiteral("exports/");
  QString csv = exports + QStringLiteral("Anne.csv");
  QString fhir = exports + QStringLiteral("Anne.json");
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
    QDir().mkpath(exports);
    if (ExportLogbook(anne.book, ExportFormat::Csv, csv).exported != kReadings ||
        ExportLogbook(anne.book, ExportFormat::Fhir, fhir).exported != kReadings) {
      std::abort(); // nothing to import: every figure would mean nothing
    }
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

// The forms of BM_DateForms, each a header and a row writer.
struct DateForm {
  const char *name;
  const char *header;
  QByteArray (*row)(const QDate &date, int minutes);
};

QByteArray Clock24(int minutes) {
  return QTime(minutes / 60, minutes % 60).toString(QStringLiteral("hh:mm")).toLatin1();
}

const DateForm kDateForms[] = {
    {"plain", "Date;Heure",
     [](const QDate &d, int m) { return d.toString(u"dd/MM/yyyy").toLatin1() + ';' + Clock24(m); }},
    {"month_names", "Date;Heure",
     [](const QDate &d, int m) {
       static const char *const names[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                           "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
       return names[d.month() - 1] + d.toString(u" dd yyyy").toLatin1() + ';' + Clock24(m);
     }},
    {"twelve_hour", "Date;Heure",
     [](const QDate &d, int m) {
       return d.toString(u"dd/MM/yyyy").toLatin1() + ';' +
              QTime(m / 60, m % 60).toString(u"hh:mm AP").toLatin1();
     }},
    {"excel_serial", "Date",
     [](const QDate &d, int m) {
       return QByteArray::number(QDate(1899, 12, 30).daysTo(d)) + '.' +
              QByteArray::number(qint64(m) * 1000000 / 1440 + 1).rightJustified(6, '0');
     }},
    {"month_first", "Date;Heure",
     [](const QDate &d, int m) { return d.toString(u"MM/dd/yyyy").toLatin1() + ';' + Clock24(m); }},
    {"time_zone", "Date;Heure;Fuseau",
     [](const QDate &d, int m) {
       return d.toString(u"dd/MM/yyyy").toLatin1() + ';' + Clock24(m) + ";+01:00";
     }},
};

// The readings of a 100 000-row file: four a day from 2000 on.
struct FormFiles {
  QTemporaryDir dir;
  QString folder = dir.path() + u'/';
  std::vector<QString> paths;
  std::vector<CsvFileStart> starts;

  FormFiles() {
    for (const DateForm &form : kDateForms) {
      QByteArray csv = QByteArray(form.header) + ";Systolique;Diastolique;Pouls\n";
      QRandomGenerator rng(7);
      const int minutes[] = {3 * 60 + 10, 7 * 60 + 20, 13 * 60 + 30, 20 * 60 + 40};
      for (qsizetype i = 0; i < kReadings; ++i) {
        csv += form.row(QDate(2000, 1, 1).addDays(i / 4), minutes[i % 4] + int(i % 17)) + ';' +
               QByteArray::number(100 + rng.bounded(80)) + ';' +
               QByteArray::number(55 + rng.bounded(40)) + ';' +
               QByteArray::number(50 + rng.bounded(50)) + '\n';
      }
      paths.push_back(folder + QString::fromLatin1(form.name) + QStringLiteral(".csv"));
      QFile file(paths.back());
      if (!file.open(QIODevice::WriteOnly) || file.write(csv) != csv.size()) {
        std::abort();
      }
      file.close();
      starts.push_back(ReadCsvStart(paths.back()));
    }
  }
};

// The processor time of this thread, in seconds: on a machine others share
// too, the wall clock would time them as well.
double ThreadSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// Each form's import (read, checked, appended, not saved) over the plain
// form's, timed in the same iterations in processor time: the medians are
// the figures to read.
void BM_DateForms(benchmark::State &state) {
  static FormFiles files;
  const size_t forms = std::size(kDateForms);
  std::vector<std::vector<double>> ratios(forms);
  for (auto _ : state) {
    std::vector<double> seconds(forms);
    for (size_t f = 0; f < forms; ++f) {
      Book target(files.folder, QStringLiteral("Form%1").arg(f));
      const double t0 = ThreadSeconds();
      const ImportOutcome outcome = AppendCsvFile(target.book, files.paths[f],
                                                  files.starts[f].guess, files.starts[f].separator);
      seconds[f] = ThreadSeconds() - t0;
      if (outcome.imported != kReadings) {
        std::abort(); // the form was not read
      }
    }
    for (size_t f = 1; f < forms; ++f) {
      ratios[f].push_back(seconds[f] / seconds[0]);
    }
  }
  for (size_t f = 1; f < forms; ++f) {
    std::sort(ratios[f].begin(), ratios[f].end());
    state.counters[std::string(kDateForms[f].name) + "_over_plain"] =
        ratios[f].empty() ? 0.0 : ratios[f][ratios[f].size() / 2];
  }
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

// The FHIR file read, parsed, paired, checked and appended, not saved; the
// resident memory at its highest during the import, above what it was.
void BM_ImportFhirInMemory(benchmark::State &state) {
  Fixture &f = TheFixture();
  size_t held = 0, peak = 0;
  double rssPeak = 0;
  for (auto _ : state) {
    Book bruno(f.folder, QStringLiteral("Bruno"));
    const size_t before = HeapInUse();
    ResetPeakRss();
    const double rssBefore = ProcStatusBytes("VmRSS");
    peak = ImportFhirOnce(f, bruno, before);
    rssPeak = ProcStatusBytes("VmHWM") - rssBefore;
    held = HeapAbove(before);
  }
  state.counters["rss_peak_above_start_bytes"] = rssPeak;
  state.SetItemsProcessed(state.iterations() * kReadings);
  state.SetBytesProcessed(state.iterations() * f.fhirBytes);
  state.counters["heap_held_bytes"] = double(held);
  state.counters["heap_peak_bytes"] = double(peak);
  state.counters["peak_rss_bytes"] = PeakRssBytes();
}

// A real save: one cell set again marks Matin changed, so its file is
// written each time (a save of lists nobody changed writes nothing).
void BM_SaveLogbook(benchmark::State &state) {
  Fixture &f = TheFixture();
  Book anne(f.folder, QStringLiteral("Anne"));
  LoadLogbook(anne.book);
  PeriodListModel &matin = anne.book.list(DayPeriod::Matin);
  const QString pulse = matin.size() > 0 ? matin.reading(0)[Reading::Pulse] : QString();
  for (auto _ : state) {
    if (matin.size() > 0) {
      matin.setCell(0, Reading::Pulse, pulse);
    }
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
  const QString out = f.exports + QStringLiteral("export.csv");
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
    // A real save to compare with: Matin marked changed, so written.
    PeriodListModel &matin = anne.book.list(DayPeriod::Matin);
    if (matin.size() > 0) {
      matin.setCell(0, Reading::Pulse, matin.reading(0)[Reading::Pulse]);
    }
    const auto t3 = Clock::now();
    SaveLogbook(anne.book);
    const auto t4 = Clock::now();
    ExportLogbook(anne.book, ExportFormat::Csv, f.exports + QStringLiteral("export.csv"));
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

// --- Apple Health ------------------------------------------------------------

bool BigAppleExport() { return qEnvironmentVariableIntValue("TENSIOLOG_BENCH_BIG") == 1; }

// An export in Apple's order: the heart rates grouped first, then step
// counts making up most of the file, then the blood-pressure correlations,
// each far from its pulse in the file; and the same file in a zip as the
// Health app writes it (deflate, sizes after the data).
struct AppleFixture {
  QTemporaryDir dir;
  QString xml = dir.path() + QStringLiteral("/export.xml");
  QString zip = dir.path() + QStringLiteral("/export.zip");
  qint64 bytes = 0, zipBytes = 0;
  qint64 readings = 0;

  AppleFixture() {
    const qint64 target = BigAppleExport() ? qint64(1) << 30 : qint64(16) << 20;
    const QByteArray device =
        "&lt;&lt;HKDevice: 0x283c2a080&gt;, name:iPhone, manufacturer:Apple Inc., model:iPhone, "
        "hardware:iPhone14,5, software:17.1.1&gt;";
    const QDateTime start(QDate(2022, 1, 1), QTime(0, 0), QTimeZone(3600));
    const auto stamp = [&](qint64 seconds) {
      return start.addSecs(seconds)
          .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss +0100"))
          .toLatin1();
    };
    const auto record = [&](const char *type, const char *unit, qint64 at, int value,
                            const char *indent = " ") {
      const QByteArray when = stamp(at);
      return QByteArray(indent) + "<Record type=\"HKQuantityTypeIdentifier" + type +
             "\" sourceName=\"iPhone de Anne\" sourceVersion=\"17.1.1\" device=\"" + device +
             "\" unit=\"" + unit + "\" creationDate=\"" + when + "\" startDate=\"" + when +
             "\" endDate=\"" + when + "\" value=\"" + QByteArray::number(value) + "\"/>\n";
    };
    QFile out(xml);
    out.open(QIODevice::WriteOnly);
    QByteArray block = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE HealthData [\n"
                       "<!ELEMENT HealthData (ExportDate,Me,(Record|Correlation)*)>\n"
                       "<!ATTLIST HealthData locale CDATA #REQUIRED>\n]>\n"
                       "<HealthData locale=\"fr_FR\">\n"
                       " <ExportDate value=\"2026-12-08 09:00:00 +0100\"/>\n";
    const auto flush = [&](bool force) {
      if (force || block.size() > (1 << 20)) {
        bytes += out.write(block);
        block.clear();
      }
    };
    // One reading a day, mornings and evenings, with a heart rate two
    // minutes after each and others every 40 minutes between.
    const qint64 pressures = BigAppleExport() ? 6000 : 400;
    for (qint64 i = 0; i < pressures * 18; ++i) {
      block += record("HeartRate", "count/min", i * 2400 + 120, 60 + int(i % 40));
      flush(false);
    }
    const qint64 correlationBytes = pressures * 1300;
    for (qint64 i = 0; bytes + block.size() + correlationBytes < target; ++i) {
      block += record("StepCount", "count", i * 600, 100 + int(i % 900));
      flush(false);
    }
    for (qint64 i = 0; i < pressures; ++i) {
      const qint64 at = i * 18 * 2400;
      const QByteArray when = stamp(at);
      block +=
          " <Correlation type=\"HKCorrelationTypeIdentifierBloodPressure\" sourceName=\"Omron\" "
          "creationDate=\"" +
          when + "\" startDate=\"" + when + "\" endDate=\"" + when + "\">\n" +
          record("BloodPressureDiastolic", "mmHg", at, 70 + int(i % 20), "  ") +
          record("BloodPressureSystolic", "mmHg", at, 115 + int(i % 30), "  ") +
          " </Correlation>\n";
      flush(false);
    }
    block += "</HealthData>\n";
    flush(true);
    out.close();
    readings = pressures;
    WriteZip();
  }

  // export.xml deflated into export.zip in pieces.
  void WriteZip() {
    const auto le = [](QByteArray &b, quint64 v, int n) {
      for (int i = 0; i < n; ++i) {
        b += char(v >> (8 * i) & 0xFF);
      }
    };
    const QByteArray name = "apple_health_export/export.xml";
    QFile in(xml), out(zip);
    in.open(QIODevice::ReadOnly);
    out.open(QIODevice::WriteOnly);
    QByteArray local = "PK\x03\x04";
    le(local, 20, 2);
    le(local, 8, 2); // sizes and CRC after the data
    le(local, 8, 2);
    le(local, 0, 12);
    le(local, 0, 4);
    le(local, name.size(), 2);
    le(local, 0, 2);
    out.write(local + name);
    z_stream z{};
    deflateInit2(&z, 1, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    QByteArray chunk(1 << 20, Qt::Uninitialized), packed(1 << 20, Qt::Uninitialized);
    quint32 crc = 0;
    quint64 compressed = 0;
    for (bool last = false; !last;) {
      const qint64 got = in.read(chunk.data(), chunk.size());
      last = got <= 0;
      crc = quint32(crc32(crc, reinterpret_cast<const Bytef *>(chunk.constData()),
                          uInt(std::max<qint64>(got, 0))));
      z.next_in = reinterpret_cast<Bytef *>(chunk.data());
      z.avail_in = uInt(std::max<qint64>(got, 0));
      do {
        z.next_out = reinterpret_cast<Bytef *>(packed.data());
        z.avail_out = uInt(packed.size());
        deflate(&z, last ? Z_FINISH : Z_NO_FLUSH);
        const qint64 made = packed.size() - qint64(z.avail_out);
        compressed += quint64(made);
        out.write(packed.constData(), made);
      } while (z.avail_out == 0);
    }
    deflateEnd(&z);
    const quint64 size = quint64(bytes);
    QByteArray tail = "PK\x07\x08";
    le(tail, crc, 4);
    le(tail, compressed, 4);
    le(tail, size, 4);
    const quint64 directoryAt = quint64(local.size() + name.size()) + compressed + 16;
    QByteArray directory = "PK\x01\x02";
    le(directory, 20, 2);
    le(directory, 20, 2);
    le(directory, 8, 2);
    le(directory, 8, 2);
    le(directory, 0, 4);
    le(directory, crc, 4);
    le(directory, compressed, 4);
    le(directory, size, 4);
    le(directory, name.size(), 2);
    le(directory, 0, 12);
    le(directory, 0, 4); // the local header's offset
    directory += name;
    tail += directory + "PK\x05\x06";
    le(tail, 0, 4);
    le(tail, 1, 2);
    le(tail, 1, 2);
    le(tail, directory.size(), 4);
    le(tail, directoryAt, 4);
    le(tail, 0, 2);
    out.write(tail);
    out.close();
    zipBytes = QFileInfo(zip).size();
  }
};

AppleFixture &TheAppleFixture() {
  static AppleFixture fixture;
  return fixture;
}

void ImportApple(benchmark::State &state, bool zipped) {
  AppleFixture &f = TheAppleFixture();
  const QString &path = zipped ? f.zip : f.xml;
  size_t peak = 0;
  double rssPeak = 0, rssHighest = 0;
  for (auto _ : state) {
    Book bruno(f.dir.path() + u'/', QStringLiteral("Bruno"));
    const size_t before = HeapInUse();
    ResetPeakRss();
    const double rssBefore = ProcStatusBytes("VmRSS");
    peak = 0;
    const ImportOutcome outcome = AppendAppleHealthFile(bruno.book, path, [&](qint64, qint64) {
      peak = std::max(peak, HeapAbove(before));
      return true;
    });
    rssHighest = ProcStatusBytes("VmHWM");
    rssPeak = rssHighest - rssBefore;
    if (outcome.imported != f.readings) {
      std::abort(); // the figures would mean nothing
    }
  }
  state.SetItemsProcessed(state.iterations() * f.readings);
  state.SetBytesProcessed(state.iterations() * f.bytes);
  state.counters["xml_bytes"] = double(f.bytes);
  state.counters["zip_bytes"] = double(f.zipBytes);
  state.counters["heap_peak_bytes"] = double(peak);
  state.counters["rss_peak_above_start_bytes"] = rssPeak;
  state.counters["rss_peak_bytes"] = rssHighest;
}

// The 1 GiB file is read once.
void OnceWhenBig(benchmark::internal::Benchmark *b) {
  if (BigAppleExport()) {
    b->Iterations(1);
  }
}

void BM_ImportAppleHealth(benchmark::State &state) { ImportApple(state, false); }
void BM_ImportAppleHealthZip(benchmark::State &state) { ImportApple(state, true); }

} // namespace

BENCHMARK(BM_LoadLogbook)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ImportCsvInMemory)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ImportCsv)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ImportFhirInMemory)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveLogbook)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExportCsv)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Ratios)->Iterations(9)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ImportAppleHealth)->Apply(OnceWhenBig)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ImportAppleHealthZip)->Apply(OnceWhenBig)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DateForms)->Iterations(7)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
