// Any bytes as the preferences file: reading never crashes or hangs, and the
// settings read, once written and read again, are the same settings.
#if __has_include("common/preferences_file.h")
#include "common/preferences_file.h"
#else
#include "preferences/preferences_file.h"
#endif

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));
  const tl::Preferences prefs = tl::ReadPreferences(tl::PreferencesReader(bytes));
  const QByteArray saved = tl::SerializeClosingPreferences(prefs);
  if (!(tl::ReadPreferences(tl::PreferencesReader(saved)) == prefs)) {
    std::abort();
  }
  return 0;
}
