// Not built yet: these calls do nothing until the maintenance feature lands.
#include "app/feature_calls.h"

namespace tl {

void OpenDataDestruction(MainWindowApi &) {}

void OpenAboutWindow(MainWindowApi &) {}

} // namespace tl
