#include "theme/dark_scheme.h"

#include "platform/system_theme.h"
#include "theme/colour_rules.h"
#include "theme/control_colour.h"

#include "common/app_state.h"
#include "ui/drawing.h"

#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QTextEdit>
#include <QWidget>

namespace tl {

namespace {

// The text colour a label was given of its own (an accent), or none.
QColor OwnTextColour(const QWidget *widget) {
  if (!qobject_cast<const QLabel *>(widget)) {
    return QColor();
  }
  if (const ColourRecord *r = ColourRecordOf(widget); r && r->textGiven) {
    return r->text;
  }
  const QPalette &p = widget->palette();
  if (p.isBrushSet(QPalette::Active, QPalette::WindowText) &&
      p.color(QPalette::WindowText) != QGuiApplication::palette().color(QPalette::WindowText)) {
    return p.color(QPalette::WindowText);
  }
  return QColor();
}

} // namespace

// The palette of a window in the dark scheme.
QPalette DarkWindowPalette(QPalette p) {
  const QColor base = kDarkBase, panel = DarkPanel(), text = kDarkText;
  for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
    p.setColor(group, QPalette::Window, base);
    p.setColor(group, QPalette::WindowText, text);
    p.setColor(group, QPalette::Base, panel);
    p.setColor(group, QPalette::AlternateBase, Blend(text, panel, 0.06));
    p.setColor(group, QPalette::Text, text);
    p.setColor(group, QPalette::Button, panel);
    p.setColor(group, QPalette::ButtonText, text);
    p.setColor(group, QPalette::ToolTipBase, panel);
    p.setColor(group, QPalette::ToolTipText, text);
    p.setColor(group, QPalette::PlaceholderText, ReadableOn(Blend(text, panel, 0.5), panel));
    p.setColor(group, QPalette::Highlight, QColor(38, 79, 120));
    p.setColor(group, QPalette::HighlightedText, QColor(255, 255, 255));
    p.setColor(group, QPalette::Link, ReadableOn(p.color(group, QPalette::Link), base));
    p.setColor(group, QPalette::LinkVisited,
               ReadableOn(p.color(group, QPalette::LinkVisited), base));
    p.setColor(group, QPalette::Light, Blend(text, base, 0.35));
    p.setColor(group, QPalette::Midlight, Blend(text, base, 0.2));
    p.setColor(group, QPalette::Mid, SoftBorderColour(text, base));
    p.setColor(group, QPalette::Dark, SoftBorderColour(text, base));
    p.setColor(group, QPalette::Shadow, QColor(0, 0, 0));
  }
  const QColor disabled(150, 150, 150);
  for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
    p.setColor(QPalette::Disabled, role, disabled);
  }
  for (QPalette::ColorRole role : {QPalette::Window, QPalette::Base, QPalette::Button}) {
    p.setColor(QPalette::Disabled, role, p.color(QPalette::Active, role));
  }
  return p;
}

namespace {

bool DrawsItsOwnColours(const QWidget *widget) {
  return qobject_cast<const DrawnButton *>(widget) || qobject_cast<const Banner *>(widget) ||
         qobject_cast<const InformationPanel *>(widget) || qobject_cast<const PictureBox *>(widget);
}

} // namespace

QColor DarkPanel() { return PanelColour(kDarkBase); }

void ApplyWindowDarkScheme(QWidget *window) {
  if (!window) {
    return;
  }
  window->setPalette(DarkWindowPalette(window->palette()));
  window->setAutoFillBackground(true);
  const QColor base = kDarkBase, panel = DarkPanel(), text = kDarkText;
  for (QWidget *widget : window->findChildren<QWidget *>()) {
    // A drawn panel (the About window's body) takes the scheme's colours,
    // its red title lightened to be read on them.
    if (auto info = qobject_cast<InformationPanel *>(widget); info && widget->window() == window) {
      info->setColours(panel, base);
      info->setTextColours(ReadableOn(QColor(255, 0, 0), panel), text);
      continue;
    }
    // Parts of a control (list headers, drop-down pop-ups) follow the control.
    if (widget->window() != window || qobject_cast<QHeaderView *>(widget) ||
        DrawsItsOwnColours(widget) || DrawsItsOwnColours(widget->parentWidget())) {
      continue;
    }
    if (qobject_cast<QLabel *>(widget)) {
      if (const QColor accent = OwnTextColour(widget); accent.isValid()) {
        SetControlColour(widget, kTextColour, ReadableOn(accent, base));
      } else if (widget->palette().isBrushSet(QPalette::Active, QPalette::WindowText)) {
        SetControlColour(widget, kTextColour, text);
      }
      continue;
    }
    const ColourRecord *own = ColourRecordOf(widget);
    if (own && own->backgroundGiven) {
      continue; // a control with colours of its own keeps them
    }
    const bool field = qobject_cast<QLineEdit *>(widget) ||
                       qobject_cast<QAbstractSpinBox *>(widget) ||
                       qobject_cast<QAbstractItemView *>(widget) ||
                       qobject_cast<QPlainTextEdit *>(widget) || qobject_cast<QTextEdit *>(widget);
    const bool button = qobject_cast<QPushButton *>(widget) || qobject_cast<QComboBox *>(widget);
    if ((field && widget->parentWidget() && !qobject_cast<QComboBox *>(widget->parentWidget()) &&
         !qobject_cast<QAbstractSpinBox *>(widget->parentWidget())) ||
        button) {
      SetControlColour(widget, kBackgroundColour, panel);
      SetControlColour(widget, kTextColour, text);
    } else if (qobject_cast<QCheckBox *>(widget) || qobject_cast<QRadioButton *>(widget)) {
      // Fusion outlines the tick box and the round mark in a shade darker
      // than the window colour, which the box does not fill: a light one
      // gives an outline that stands out 3:1 on the base.
      QPalette p = widget->palette();
      p.setColor(QPalette::Active, QPalette::Window, QColor(180, 180, 180));
      p.setColor(QPalette::Inactive, QPalette::Window, QColor(180, 180, 180));
      widget->setPalette(p);
    } else if (qobject_cast<QGroupBox *>(widget)) {
      SetControlColour(widget, kBackgroundColour, base);
      SetControlColour(widget, kTextColour, text);
    }
  }
  DarkenTitleBar(window);
}

void ApplyApplicationScheme(bool dark) {
  // The light palette and style are those the program started with. A
  // native style may draw some controls in the system's own colours
  // whatever the palette: the dark scheme draws with Qt's Fusion style,
  // which takes every colour from the palette.
  static const QPalette light = QApplication::palette();
  static const QString lightStyle = QApplication::style()->name();
  static bool darkInForce = false;
  if (dark == darkInForce) {
    return;
  }
  darkInForce = dark;
  const QString style = dark ? QStringLiteral("fusion") : lightStyle;
  if (QApplication::style()->name().compare(style, Qt::CaseInsensitive) != 0) {
    QApplication::setStyle(style);
  }
  QApplication::setPalette(dark ? DarkWindowPalette(light) : light);
}

void RestoreMainWindowLightScheme(const std::function<QWidget *(ControlId)> &control) {
  for (const DarkSchemeEntry &entry : MainWindowDarkScheme()) {
    if (QWidget *widget = control ? control(entry.control) : nullptr) {
      SetControlColour(widget, kDefaultLook);
    }
  }
}

void FollowDarkAppearance(QWidget *window) {
  ApplyApplicationScheme(State().darkAppearance);
  if (State().darkAppearance) {
    ApplyWindowDarkScheme(window);
  }
}

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
      {C::IrregularCheck, p, t},
      {C::MedicationCheck, p, t},
      {C::MovementCheck, p, t},
      {C::CuffMisplacedCheck, p, t},
      {C::NoteLabel, p, t},
      {C::NoteField, p, t},
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
    } else if (const QColor accent = OwnTextColour(widget); accent.isValid()) {
      // The graph titles keep their hue, light enough to read on the base.
      SetControlColour(widget, kTextColour, ReadableOn(accent, entry.background));
    }
    if (qobject_cast<QCheckBox *>(widget)) {
      // Fusion outlines the tick box in a shade darker than the window
      // colour: a light one stands out on the panel, as in the other
      // windows. The default look gives the palette back.
      QPalette p = widget->palette();
      p.setColor(QPalette::Active, QPalette::Window, QColor(180, 180, 180));
      p.setColor(QPalette::Inactive, QPalette::Window, QColor(180, 180, 180));
      widget->setPalette(p);
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
