// The colour scheme of the main window and of every window, dialog, menu and
// box: dark at start-up when the dark flag is on, and switched at once when
// the preferences change it.
#include "app/feature_calls.h"

#include "common/app_state.h"
#include "readings/reading_commands.h"
#include "theme/dark_scheme.h"
#include "ui/main_window_api.h"

#include <QWidget>

namespace tl {

void ApplyDarkScheme(MainWindowApi &main) {
  ApplyApplicationScheme(true);
  ApplyMainWindowDarkScheme(main.window(), [&main](ControlId id) { return main.control(id); });
}

void ApplyChosenScheme(MainWindowApi &main) {
  if (State().darkAppearance) {
    ApplyDarkScheme(main);
  } else {
    ApplyApplicationScheme(false);
    RestoreMainWindowLightScheme([&main](ControlId id) { return main.control(id); });
  }
  // The graphs draw their backgrounds in the scheme's colours.
  DrawPeriodGraphs(main, State().graphPeriod);
  main.window()->update();
}

} // namespace tl
