#include "app/feature_calls.h"

#include "preferences/preferences_apply.h"
#include "preferences/preferences_window.h"

namespace tl {

void ApplyStartupPreferences(MainWindowApi &main) { ApplyPreferences(main); }

void SaveClosingPreferences(MainWindowApi &main) { WriteClosingPreferences(main); }

void OpenPreferencesWindow(MainWindowApi &main) { OpenPreferences(main); }

} // namespace tl
