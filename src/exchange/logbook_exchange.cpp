#include "exchange/logbook_exchange.h"

#include "exchange/csv_export.h"
#include "exchange/csv_reader.h"
#include "exchange/fhir_export.h"
#include "logbook/logbook.h"

#include <QFile>

namespace tl {

namespace {

// The import reads this much at a time: small enough for the window to
// answer between chunks, large enough for the reads not to count.
constexpr qint64 kChunkBytes = qint64(256) * 1024;
// The preview looks no further than this.
constexpr qint64 kStartBytes = qint64(1) << 20;

FileError ReadError(const QString &path, const QFile &file) {
  return {path, FrenchSystemReason(file.errorString())};
}

} // namespace

QString ExportFileName(const QString &patient, ExportFormat format) {
  return patient + (format == ExportFormat::Csv ? QStringLiteral(".csv") : QStringLiteral(".json"));
}

ExportOutcome ExportLogbook(const Logbook &book, ExportFormat format, const QString &path,
                            std::optional<QDate> from, std::optional<QDate> to) {
  ExportOutcome outcome;
  QByteArray bytes;
  if (format == ExportFormat::Csv) {
    bytes = ExportCsv(book.lists(), from, to, &outcome.exported);
  } else {
    FhirExport fhir =
        ExportFhir(book.lists(), book.patient(), from, to,
                   format == ExportFormat::FhirTransaction ? FhirBundleType::Transaction
                                                           : FhirBundleType::Collection);
    bytes = std::move(fhir.json);
    outcome.exported = fhir.exported;
    outcome.leftOut = fhir.leftOut;
  }
  outcome.error = WriteWholeFile(path, bytes);
  return outcome;
}

QString ExportSummary(const ExportOutcome &outcome, const QString &file) {
  QString text = QStringLiteral("%1 relevés exportés dans %2").arg(outcome.exported).arg(file);
  if (outcome.leftOut > 0) {
    text += QStringLiteral(", %1 laissés de côté (valeurs illisibles)").arg(outcome.leftOut);
  }
  return text + u'.';
}

qsizetype CsvFileStart::columns() const {
  qsizetype widest = 0;
  for (const QStringList &record : records) {
    widest = std::max(widest, record.size());
  }
  return widest;
}

CsvFileStart ReadCsvStart(const QString &path, int maxRecords) {
  CsvFileStart start;
  QFile file;
  if ((start.error = OpenForReading(path, file))) {
    return start;
  }
  const QByteArray bytes = file.read(kStartBytes);
  if (bytes.isEmpty() && file.error() != QFileDevice::NoError) {
    start.error = ReadError(path, file);
    return start;
  }
  start.separator = DetectCsvSeparator(bytes);
  CsvReader reader(start.separator);
  const CsvReader::RecordFn keep = [&](const QStringList &fields, qint64) {
    start.records.append(fields);
    return start.records.size() < maxRecords;
  };
  if (reader.feed(bytes, keep) && file.atEnd()) {
    reader.finish(keep);
  }
  if (!start.records.isEmpty()) {
    start.guess = GuessMapping(start.records.first());
  }
  return start;
}

ImportOutcome AppendCsvFile(Logbook &book, const QString &path, const ColumnMapping &mapping,
                            char separator, const ImportProgress &progress, bool dryRun) {
  ImportOutcome outcome;
  QFile file;
  if ((outcome.error = OpenForReading(path, file))) {
    return outcome;
  }
  const qint64 total = file.size();
  CsvImport import(book.lists(), mapping);
  CsvReader reader(separator);
  const CsvReader::RecordFn add = [&import](const QStringList &fields, qint64 line) {
    import.add(fields, line);
    return true;
  };
  const CsvReader::PlainRecordFn addPlain = [&import](std::span<const QByteArrayView> fields,
                                                      qint64 line) {
    import.addPlain(fields, line);
    return true;
  };
  QByteArray chunk(kChunkBytes, Qt::Uninitialized);
  qint64 done = 0;
  for (;;) {
    const qint64 got = file.read(chunk.data(), kChunkBytes);
    if (got < 0) {
      outcome.error = ReadError(path, file);
      return outcome;
    }
    if (got == 0) {
      break;
    }
    reader.feed(QByteArrayView(chunk.constData(), got), add, addPlain);
    done += got;
    if (progress && !progress(done, total)) {
      outcome.cancelled = true;
      return outcome;
    }
  }
  reader.finish(add);
  FinishImport(book, import, dryRun, outcome);
  return outcome;
}

void FinishImport(Logbook &book, CsvImport &import, bool dryRun, ImportOutcome &outcome) {
  outcome.imported = import.imported();
  outcome.duplicates = import.duplicates();
  outcome.rejected = import.rejected();
  outcome.summary = import.summary();
  if (dryRun || outcome.imported == 0) {
    return;
  }
  for (DayPeriod period : kAllPeriods) {
    book.list(period).appendReadings(import.takeAccepted(period));
  }
  outcome.appended = true;
}

void SaveImport(Logbook &book, ImportOutcome &outcome) {
  if (outcome.appended) {
    outcome.saved = SaveLogbook(book);
  }
}

ImportOutcome ImportCsvFile(Logbook &book, const QString &path, const ColumnMapping &mapping,
                            char separator, const ImportProgress &progress, bool dryRun) {
  ImportOutcome outcome = AppendCsvFile(book, path, mapping, separator, progress, dryRun);
  SaveImport(book, outcome);
  return outcome;
}

ImportFormat DetectImportFormat(QByteArrayView bytes) {
  if (bytes.startsWith("PK\x03\x04")) {
    return ImportFormat::AppleHealth;
  }
  if (bytes.startsWith("\xEF\xBB\xBF")) {
    bytes = bytes.sliced(3);
  }
  qsizetype at = 0;
  while (at < bytes.size() &&
         (bytes[at] == ' ' || bytes[at] == '\t' || bytes[at] == '\r' || bytes[at] == '\n')) {
    ++at;
  }
  if (at == bytes.size()) {
    return ImportFormat::Csv;
  }
  switch (bytes[at]) {
  case '{':
    return ImportFormat::Fhir;
  case '<':
    return ImportFormat::AppleHealth;
  default:
    return ImportFormat::Csv;
  }
}

ImportFormat DetectImportFormat(const QString &path) {
  QFile file;
  if (OpenForReading(path, file)) {
    return ImportFormat::Csv;
  }
  const QByteArray start = file.read(4096);
  return DetectImportFormat(QByteArrayView(start));
}

} // namespace tl
