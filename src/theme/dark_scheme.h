#pragma once

// The dark colour scheme of the main window and of the windows it opens.

#include "common/control_ids.h"

#include <QColor>
#include <QList>
#include <QPalette>
#include <functional>

class QWidget;

namespace tl {

inline const QColor kDarkBase{32, 32, 32};
inline const QColor kDarkText{224, 224, 224};
QColor DarkPanel(); // the base brightened by 20: RGB(52, 52, 52)

// One line of the scheme: the control, its background, and its text colour
// (invalid: the automatic one for fully painted controls, the control's own
// accent colour for labels).
struct DarkSchemeEntry {
  ControlId control;
  QColor background;
  QColor text;
};
QList<DarkSchemeEntry> MainWindowDarkScheme();

// Colours the main window's controls from the table (each control found by
// `control`, which may answer nullptr), the status bar included, and, when
// the system uses dark applications, darkens the title bar and gives the
// window the base colour. The controls are registered under their numbers.
void ApplyMainWindowDarkScheme(QWidget *mainWindow,
                               const std::function<QWidget *(ControlId)> &control);

// The dark scheme of any other window: the window's palette takes the base,
// panel and text colours, its fields, lists, buttons, drop-down lists and
// frames are coloured by the colouring routine (which draws their borders),
// and labels keep their accent colours, lightened where they would not be
// read on the base. Drawn banners and buttons keep their own colours.
void ApplyWindowDarkScheme(QWidget *window);
// The same, when the dark flag is on; nothing otherwise. Either way the
// application's palette follows the flag (see ApplyApplicationScheme).
void FollowDarkAppearance(QWidget *window);

// The palette every window, dialog, menu and message box starts from: the
// dark one, or the style's light one. Nothing happens when it is already
// in force.
void ApplyApplicationScheme(bool dark);
// The palette of a window in the dark scheme, from `light`.
QPalette DarkWindowPalette(QPalette light);

// The main window's controls of the table back to their light look.
void RestoreMainWindowLightScheme(const std::function<QWidget *(ControlId)> &control);

} // namespace tl
