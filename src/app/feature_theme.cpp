// Not built yet: these calls do nothing until the theme feature lands.
#include "app/feature_calls.h"

namespace tl {

void ApplyDarkScheme(MainWindowApi &) {}

} // namespace tl
