#include "app/feature_calls.h"

#include "common/app_state.h"
#include "preferences/preferences_apply.h"
#include "preferences/preferences_window.h"
#include "readings/reading_commands.h"
#include "ui/main_window_api.h"

#include <QComboBox>
#include <QSignalBlocker>

namespace tl {

void ApplyStartupPreferences(MainWindowApi &main) { ApplyPreferences(main); }

void SaveClosingPreferences(MainWindowApi &main) { WriteClosingPreferences(main); }

void OpenPreferencesWindow(MainWindowApi &main) {
  const bool darkBefore = State().darkAppearance;
  OpenPreferences(main);
  // The scheme chosen there applies at once, to every window.
  if (State().darkAppearance != darkBefore) {
    ApplyChosenScheme(main);
  }
  // The curve style chosen there applies at once: the selector shows it and
  // the graphs on show are drawn in it.
  const int style = State().curveStyle;
  if (auto *selector = qobject_cast<QComboBox *>(main.control(ControlId::CurveStyleSelector));
      selector && style >= 1 && style <= selector->count() &&
      selector->currentIndex() != style - 1) {
    const QSignalBlocker quiet(selector);
    selector->setCurrentIndex(style - 1);
  }
  DrawPeriodGraphs(main, State().graphPeriod);
}

} // namespace tl
