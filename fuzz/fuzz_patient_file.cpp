// Any bytes as the patient file: loading never crashes, hangs or grows
// without bound, and what was loaded saves and reads back to the same profiles.
#include "logbook/patient_file.h"
#include "measurements/measurement_file.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));
  const std::vector<tl::Patient> patients = tl::ParsePatientFile(bytes);
  if (patients.size() > size / 2 + 1) {
    std::abort();
  }
  const QByteArray saved = tl::SerializePatientFile(patients);
  if (tl::ParsePatientFile(saved) != patients) {
    std::abort();
  }
  return 0;
}
