// Any bytes as a CSV file to import: reading never crashes, hangs or holds
// more than its bound per record, gives the same records whatever the chunk
// size, and the import rules (roles from the header words, dates in either
// order and their other forms, time zones) take every record without
// failing, with the same outcome whether records come as texts or, when
// plain, as bytes. The whole-file date order is decided too.
#include "exchange/csv_import.h"
#include "exchange/csv_reader.h"
#include "exchange/logbook_exchange.h"
#include "measurements/measurement_file.h"
#include "measurements/period_list_model.h"

#include <cstdint>
#include <cstdlib>
#include <optional>

namespace {

// The records read in chunks of `chunk` bytes, their fields joined by U+001F,
// and what an import of them reports. With `plain`, the records on one line
// without quotes come as bytes and are imported from them.
struct Read {
  QStringList records;
  QString summary;
  QByteArray accepted; // the readings, as measurement files
  bool operator==(const Read &) const = default;
};

Read ReadAll(QByteArrayView bytes, char separator, qsizetype chunk, bool plain,
             tl::DateOrder order) {
  tl::CsvReader reader(separator);
  tl::PeriodLists lists;
  std::optional<tl::CsvImport> import;
  Read read;
  // Every record checked and kept; the first one gives the import's mapping.
  const auto keep = [&](const QStringList &fields) {
    qsizetype size = 0;
    for (const QString &f : fields) {
      size += f.size() + 1;
    }
    if (size > tl::CsvReader::kMaxRecordBytes + 1) {
      std::abort(); // a record past the bound
    }
    read.records << fields.join(QChar(0x1f));
    if (!import) {
      tl::ColumnMapping mapping = tl::GuessMapping(fields);
      mapping.dateOrder = order;
      mapping.dateOrderGiven = true;
      import.emplace(lists, mapping);
    }
  };
  const tl::CsvReader::RecordFn record = [&](const QStringList &fields, qint64 line) {
    keep(fields);
    import->add(fields, line);
    return true;
  };
  const tl::CsvReader::PlainRecordFn bytesRecord = [&](std::span<const QByteArrayView> fields,
                                                       qint64 line) {
    QStringList texts;
    for (QByteArrayView f : fields) {
      texts << tl::DecodeCsvField(f);
    }
    keep(texts);
    import->addPlain(fields, line);
    return true;
  };
  for (qsizetype at = 0; at < bytes.size(); at += chunk) {
    const QByteArrayView part = bytes.sliced(at, qMin(chunk, bytes.size() - at));
    plain ? reader.feed(part, record, bytesRecord) : reader.feed(part, record);
  }
  reader.finish(record);
  if (import) {
    read.summary = import->summary();
    for (tl::DayPeriod p : tl::kAllPeriods) {
      read.accepted += tl::SerializeMeasurementFile(import->accepted(p));
    }
  }
  return read;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));
  const char separator = tl::DetectCsvSeparator(bytes.first(qMin<qsizetype>(bytes.size(), 4096)));
  const qsizetype whole = qMax<qsizetype>(bytes.size(), 1);
  for (const tl::DateOrder order : {tl::DateOrder::DayMonth, tl::DateOrder::MonthDay}) {
    const Read texts = ReadAll(bytes, separator, whole, false, order);
    if (ReadAll(bytes, separator, 7, false, order) != texts ||
        ReadAll(bytes, separator, whole, true, order) != texts ||
        ReadAll(bytes, separator, 7, true, order) != texts) {
      std::abort();
    }
  }
  // The order of the first column's dates, as the first pass decides it.
  const tl::DateOrderDecision decision = tl::DecideDateOrder(bytes, separator, 0, 0);
  if (decision.decided() != (decision.line > 0)) {
    std::abort();
  }
  return 0;
}
