#pragma once

class QWidget;

namespace tl {

// The one guard of every command that would write into the data folder
// (lists, notes, print folder, archives, preferences): while the folder is
// opened read-only (State().readOnlyReason set), the command is refused with
// the same "Lecture seule" box, before any dialog or work. Returns true
// when refused.
bool RefusedWhileReadOnly(QWidget *parent);

} // namespace tl
