// Archiving, printing and the archive manager, for the current patient.
#include "app/feature_calls.h"

#include "archives/archive_commands.h"
#include "common/app_state.h"
#include "common/paths.h"
#include "ui/main_window_api.h"

namespace tl {

QString ArchiveCurrentLists(MainWindowApi &main) {
  return ArchiveShownLists(main, Paths(), State().currentPatient);
}

void PrintCurrentLists(MainWindowApi &main) {
  PrintShownLists(main, Paths(), State().currentPatient);
}

void OpenArchiveManager(MainWindowApi &main) { RunArchiveManager(main.window(), Paths()); }

} // namespace tl
