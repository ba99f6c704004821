// Any bytes as a FHIR file to import: reading never crashes or hangs, reads
// the same twice, and the readings it accepts, exported as FHIR and read
// again, come back the same.
#include "exchange/csv_import.h"
#include "exchange/fhir_export.h"
#include "exchange/fhir_import.h"
#include "measurements/measurement_file.h"
#include "measurements/period_list_model.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace {

struct Read {
  QString error, summary;
  std::array<std::vector<tl::Reading>, 4> accepted;
};

Read ReadAll(QByteArrayView bytes) {
  tl::PeriodLists lists;
  tl::CsvImport import(lists, tl::ColumnMapping{});
  Read read;
  read.error = tl::ReadFhir(bytes, import).error.why();
  read.summary = import.summary();
  for (tl::DayPeriod p : tl::kAllPeriods) {
    read.accepted[size_t(tl::PeriodIndex(p))] = import.takeAccepted(p);
  }
  return read;
}

QByteArray Files(const std::array<std::vector<tl::Reading>, 4> &accepted) {
  QByteArray out;
  for (const auto &readings : accepted) {
    out += tl::SerializeMeasurementFile(readings);
  }
  return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));
  Read first = ReadAll(bytes);
  const Read second = ReadAll(bytes);
  if (first.error != second.error || first.summary != second.summary ||
      Files(first.accepted) != Files(second.accepted)) {
    std::abort();
  }
  // The export writes the readings by date and time; sorted alike (stably,
  // within each list), they must read back as they are.
  tl::PeriodLists lists;
  for (tl::DayPeriod p : tl::kAllPeriods) {
    auto &readings = first.accepted[size_t(tl::PeriodIndex(p))];
    std::stable_sort(readings.begin(), readings.end(),
                     [](const tl::Reading &a, const tl::Reading &b) {
                       return std::pair(a.date()->toJulianDay(), *a.minutes()) <
                              std::pair(b.date()->toJulianDay(), *b.minutes());
                     });
    for (const tl::Reading &r : readings) {
      lists.list(p).append(tl::Reading(r));
    }
  }
  const tl::FhirExport out =
      tl::ExportFhir(lists, QStringLiteral("Anne"), std::nullopt, std::nullopt);
  const Read back = ReadAll(out.json);
  if (!back.error.isEmpty() || Files(back.accepted) != Files(first.accepted)) {
    std::abort();
  }
  return 0;
}
