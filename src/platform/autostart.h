#pragma once

// Starting the program in the tray when the person logs in: an XDG
// autostart entry (~/.config/autostart/tensiolog.desktop) on Linux, the
// user's Run key in the registry on Windows.

#include <QString>

namespace tl {

// The argument the entry starts the program with: its window stays hidden,
// its icon in the tray.
inline constexpr char kTrayArgument[] = "--tray";

// Where the entry lives: the .desktop file's path, or the registry value's
// name on Windows.
QString AutostartLocation();
// Writes the entry starting `program` (its full path) in the tray; false
// with `error` set when it could not be written.
bool EnableAutostart(const QString &program, QString *error = nullptr);
// Removes the entry; true when there is none left.
bool DisableAutostart();
bool IsAutostartEnabled();

} // namespace tl
