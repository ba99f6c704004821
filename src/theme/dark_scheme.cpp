#include "theme/dark_scheme.h"

#include "platform/system_theme.h"
#include "theme/colour_rules.h"
#include "theme/control_colour.h"

#include <QWidget>

namespace tl {

QColor DarkPanel() { return PanelColour(kDarkBase); }

QList<DarkSchemeEntry> MainWindowDarkScheme() {
  const QColor b = kDarkBase;
  const QColor p = DarkPanel();
  const QColor t = kDarkText;
  const QColor automatic; // or the control's own accent colour
  using C = ControlId;
  return {
      {C::LeftPanel, p, automatic},
      {C::InputPrompt, p, t},
      {C::DateField, p, t},
      {C::TimeField, p, t},
      {C::SystolicLabel, p, t},
      {C::SystolicField, p, t},
      {C::DiastolicLabel, p, t},
      {C::DiastolicField, p, t},
      {C::PulseLabel, p, t},
      {C::PulseField, p, t},
      {C::PictureCaption, p, automatic},
      {C::ListNuit, p, automatic},
      {C::ListMatin, p, automatic},
      {C::ListJour, p, automatic},
      {C::ListSoir, p, automatic},
      {C::RightPanel, b, automatic},
      {C::TabPanel, b, t},
      {C::AveragesHeading, b, t},
      {C::ButtonRefresh, b, t},
      {C::GraphPeriodSelector, b, t},
      {C::CurveStyleSelector, b, t},
      {C::AverageBoxMatin, p, automatic},
      {C::AverageBoxJour, p, automatic},
      {C::AverageBoxSoir, p, automatic},
      {C::AverageBoxNuit, p, automatic},
      {C::AverageBoxOverall, p, automatic},
      {C::AverageValueMatin, b, t},
      {C::AverageValueJour, b, t},
      {C::AverageValueSoir, b, t},
      {C::AverageValueNuit, b, t},
      {C::AverageValueOverall, b, t},
      {C::AverageCountMatin, b, t},
      {C::AverageCountJour, b, t},
      {C::AverageCountSoir, b, t},
      {C::AverageCountNuit, b, t},
      {C::AverageCountOverall, b, t},
      {C::SystolicGraphTitle, b, automatic},
      {C::DiastolicGraphTitle, b, automatic},
      {C::PulseGraphTitle, b, automatic},
      // The status bar follows the dark look of the window.
      {C::StatusBar, b, t},
  };
}

void ApplyMainWindowDarkScheme(QWidget *mainWindow,
                               const std::function<QWidget *(ControlId)> &control) {
  for (const DarkSchemeEntry &entry : MainWindowDarkScheme()) {
    QWidget *widget = control ? control(entry.control) : nullptr;
    if (!widget) {
      continue;
    }
    SetControlColour(widget, kBackgroundColour, entry.background);
    if (entry.text.isValid()) {
      SetControlColour(widget, kTextColour, entry.text);
    }
  }

  if (mainWindow && SystemAppsUseDarkTheme() && DarkenTitleBar(mainWindow)) {
    QPalette palette = mainWindow->palette();
    palette.setColor(QPalette::Window, kDarkBase);
    mainWindow->setPalette(palette);
    if (mainWindow->isVisible()) {
      // The frame is repainted only when the window is shown again.
      mainWindow->hide();
      mainWindow->show();
    }
  }
}

} // namespace tl
