#pragma once

// The one registry of controls: every window registers its widgets under
// their numbers, and the commands, refreshes, colouring and tests find them
// there, in one window or in any.

#include "common/control_ids.h"

class QWidget;

namespace tl {

// Registers `widget` under `number` (it leaves the registry when destroyed).
void SetControlNumber(QWidget *widget, int number);
inline void SetControlNumber(QWidget *widget, ControlId id) { SetControlNumber(widget, ToInt(id)); }
// The number `widget` was registered under, or -1.
int ControlNumber(const QWidget *widget);

// The control of that number in `window`: the window itself, or one of the
// widgets it owns (popup menus included). Several windows of one kind may
// be open at once; each finds its own.
QWidget *FindControl(QWidget *window, int number);
inline QWidget *FindControl(QWidget *window, ControlId id) {
  return FindControl(window, ToInt(id));
}
// The control of that number in any window: the one registered last.
QWidget *FindControl(int number);
inline QWidget *FindControl(ControlId id) { return FindControl(ToInt(id)); }

} // namespace tl
