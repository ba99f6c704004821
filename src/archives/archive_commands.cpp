#include "archives/archive_commands.h"

#include "archives/archive_manager_window.h"
#include "logbook/workflows.h"
#include "ui/documents.h"
#include "ui/main_window_api.h"

namespace tl {

QString ArchiveShownLists(MainWindowApi &main) {
  const ArchiveRun run = ArchiveLogbook(main.logbook());
  for (DayPeriod period : kAllPeriods) {
    if (run.outcome(period) == ArchiveOutcome::Archived) {
      main.updateStatusCounts();
      main.refreshAveragesAndGraphs();
      break;
    }
  }
  return run.report;
}

void PrintShownLists(MainWindowApi &main) {
  ShowWrittenFiles(main.window(), QStringLiteral("Imprimer"), PrintLogbook(main.logbook()));
}

void RunArchiveManager(QWidget *parent, const StoragePaths &paths) {
  ArchiveManagerWindow window(paths.archiveFolder, paths.printFolder, parent);
  window.exec();
}

} // namespace tl
