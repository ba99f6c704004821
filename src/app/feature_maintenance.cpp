// The data destruction and About windows, opened from the main window.
#include "app/feature_calls.h"

#include "maintenance/about_window.h"
#include "maintenance/destruction_window.h"
#include "ui/main_window_api.h"

namespace tl {

void OpenDataDestruction(MainWindowApi &main) { RunDataDestruction(main.window()); }

void OpenAboutWindow(MainWindowApi &main) { ShowAboutWindow(main.window()); }

} // namespace tl
