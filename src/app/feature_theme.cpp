// The dark scheme of the main window, applied at start-up when the dark flag is on.
#include "app/feature_calls.h"

#include "theme/dark_scheme.h"
#include "ui/main_window_api.h"

namespace tl {

void ApplyDarkScheme(MainWindowApi &main) {
  ApplyMainWindowDarkScheme(main.window(), [&main](ControlId id) { return main.control(id); });
}

} // namespace tl
