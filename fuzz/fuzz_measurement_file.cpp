// Any bytes as a measurement file: loading never crashes, hangs or grows
// without bound, and what was loaded saves and reads back to the same rows.
// Cells held as numbers give the numbers their texts give.
#include "measurements/measurement_file.h"
#include "measurements/parse.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));
  const std::vector<tl::Reading> rows = tl::ParseMeasurementFile(bytes);
  // Rows come from the records the file holds: every one but a cut last one
  // takes at least one line break.
  if (rows.size() > size / 2 + 1) {
    std::abort();
  }
  // Numbers held for canonical cells read as their texts do.
  for (const tl::Reading &r : rows) {
    for (int c = 0; c < tl::Reading::kCellCount; ++c) {
      if (r.value(c) != tl::ParseLeadingInteger(r[c])) {
        std::abort();
      }
    }
  }
  const QByteArray saved = tl::SerializeMeasurementFile(rows);
  if (tl::ParseMeasurementFile(saved) != rows) {
    std::abort();
  }
  // A second save of what was read back is byte-identical.
  if (tl::SerializeMeasurementFile(tl::ParseMeasurementFile(saved)) != saved) {
    std::abort();
  }
  return 0;
}
