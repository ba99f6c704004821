// Archiving, printing and the archive manager, for the current patient.
#include "app/feature_calls.h"

#include "archives/archive_commands.h"
#include "common/paths.h"
#include "ui/main_window_api.h"

namespace tl {

QString ArchiveCurrentLists(MainWindowApi &main) { return ArchiveShownLists(main); }

void PrintCurrentLists(MainWindowApi &main) { PrintShownLists(main); }

void OpenArchiveManager(MainWindowApi &main) { RunArchiveManager(main.window(), Paths()); }

} // namespace tl
