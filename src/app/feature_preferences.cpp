// Not built yet: these calls do nothing until the preferences feature lands.
#include "app/feature_calls.h"

namespace tl {

void ApplyStartupPreferences(MainWindowApi &) {}

void SaveClosingPreferences(MainWindowApi &) {}

void OpenPreferencesWindow(MainWindowApi &) {}

} // namespace tl
