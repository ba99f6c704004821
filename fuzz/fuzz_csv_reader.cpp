// Any bytes as a CSV file to import: reading never crashes, hangs or holds
// more than its bound per record, gives the same records whatever the chunk
// size, and the import rules take every record without failing.
#include "exchange/csv_import.h"
#include "exchange/csv_reader.h"
#include "measurements/period_list_model.h"

#include <cstdint>
#include <cstdlib>
#include <optional>

namespace {

QStringList ReadAll(QByteArrayView bytes, char separator, qsizetype chunk) {
  tl::CsvReader reader(separator);
  QStringList records;
  const auto record = [&](const QStringList &fields, qint64) {
    qsizetype size = 0;
    for (const QString &f : fields) {
      size += f.size() + 1;
    }
    if (size > tl::CsvReader::kMaxRecordBytes + 1) {
      std::abort(); // a record past the bound
    }
    records << fields.join(QChar(0x1f));
    return true;
  };
  for (qsizetype at = 0; at < bytes.size(); at += chunk) {
    reader.feed(bytes.sliced(at, qMin(chunk, bytes.size() - at)), record);
  }
  reader.finish(record);
  return records;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));
  const char separator = tl::DetectCsvSeparator(bytes.first(qMin<qsizetype>(bytes.size(), 4096)));
  const QStringList whole = ReadAll(bytes, separator, qMax<qsizetype>(bytes.size(), 1));
  if (ReadAll(bytes, separator, 7) != whole) {
    std::abort();
  }
  tl::PeriodLists lists;
  std::optional<tl::CsvImport> import;
  qint64 line = 1;
  for (const QString &r : whole) {
    const QStringList fields = r.split(QChar(0x1f));
    if (!import) {
      import.emplace(lists, tl::GuessMapping(fields));
    }
    import->add(fields, line++);
  }
  return 0;
}
