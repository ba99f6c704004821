// Any bytes as an Apple Health export to import: a zip (from "PK") read
// through its central directory, or export.xml itself. Reading never
// crashes, hangs or holds more than its bounds, and gives the same
// readings, refusals or reason whatever the size of the pieces fed.
#include "exchange/apple_health_reader.h"
#include "exchange/csv_import.h"
#include "exchange/zip_entry_reader.h"
#include "measurements/measurement_file.h"
#include "measurements/period_list_model.h"

#include <QBuffer>
#include <cstdint>
#include <cstdlib>

namespace {

// What an import of `xml` fed in pieces of `chunk` bytes reports.
QByteArray ReadXml(QByteArrayView xml, qsizetype chunk) {
  tl::AppleHealthReader reader;
  bool ok = true;
  for (qsizetype at = 0; ok && at < xml.size(); at += chunk) {
    ok = reader.feed(xml.sliced(at, qMin(chunk, xml.size() - at)));
  }
  if (!ok || !reader.finish()) {
    return reader.error().why().toUtf8();
  }
  tl::PeriodLists lists;
  tl::CsvImport import(lists, tl::ColumnMapping{});
  reader.deliver(import);
  QByteArray outcome = import.summary().toUtf8();
  for (tl::DayPeriod p : tl::kAllPeriods) {
    outcome += tl::SerializeMeasurementFile(import.accepted(p));
  }
  return outcome;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));
  QByteArray xml;
  if (bytes.startsWith("PK")) {
    QByteArray archive = bytes.toByteArray();
    QBuffer device(&archive);
    device.open(QIODevice::ReadOnly);
    tl::ZipEntryReader zip;
    if (!zip.open(device, archive.size(), [](QByteArrayView) { return true; })) {
      return 0;
    }
    // A few bytes of archive inflate to at most about a thousand times as
    // many: the entry is read whole, within that bound.
    for (QByteArrayView piece = zip.read(); !piece.isEmpty(); piece = zip.read()) {
      xml += piece;
      if (xml.size() > qsizetype(size) * 1100 + 4096) {
        std::abort();
      }
    }
  } else {
    xml = bytes.toByteArray();
  }
  const QByteArray whole = ReadXml(xml, qMax<qsizetype>(xml.size(), 1)), pieces = ReadXml(xml, 7);
  // Qt's line and reason for malformed XML depend on the pieces (a DOCTYPE
  // is placed where its reading stopped, invalid UTF-8 split across pieces
  // is seen at the end): both must refuse, for any reason then.
  const QByteArray unreadable = "XML illisible";
  if (whole.startsWith(unreadable) != pieces.startsWith(unreadable) ||
      (!whole.startsWith(unreadable) && whole != pieces)) {
    std::abort();
  }
  return 0;
}
