#pragma once

// The dark colour scheme of the main window and of the windows it opens.

#include "common/control_ids.h"

#include <QColor>
#include <QList>
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
// The same, when the dark flag is on; nothing otherwise.
void FollowDarkAppearance(QWidget *window);

} // namespace tl
