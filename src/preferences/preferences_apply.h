#pragma once

#include "common/file_io.h"

namespace tl {

class MainWindowApi;

// Reads the preferences file and applies it to the freshly built main window:
// geometry, maximised state, pin, tab, curve style (state and selector 45),
// dark flag and the current patient name with its measurement paths. A
// missing file changes nothing.
void ApplyPreferences(MainWindowApi &main);

// Rewrites the preferences file at shut-down with the main window's geometry
// (where asked for) and the patient in use (where asked for). Returns why
// the file could not be written; nothing is reported.
FileError WriteClosingPreferences(MainWindowApi &main);

} // namespace tl
