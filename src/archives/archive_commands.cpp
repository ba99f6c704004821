#include "archives/archive_commands.h"

#include "archives/archive_manager_window.h"
#include "archives/archiving.h"
#include "archives/reports.h"
#include "measurements/measurement_file.h"
#include "measurements/period_list_model.h"
#include "ui/main_window_api.h"

#include <QDir>
#include <QFileInfo>

namespace tl {

namespace {

// The archive and print folders are made at start-up; the data destruction
// window may have removed them since. Making them again here keeps
// "Archiver" and "Imprimer" working until the next start.
void RecreateFolder(const QString &folder) {
  if (!folder.isEmpty() && !QFileInfo(folder).isDir()) {
    QDir().mkdir(folder);
  }
}

} // namespace

QString ArchiveShownLists(MainWindowApi &main, const StoragePaths &paths, const QString &patient) {
  PeriodLists &lists = main.lists();
  QList<DayPeriod> unsaved;
  SaveAllPeriodLists(lists, paths, &unsaved);
  // A list that could not be saved is not archived: its file (if any) does
  // not hold what the list shows, and emptying the list would lose readings.
  std::array<bool, 4> refused{};
  for (DayPeriod period : unsaved) {
    refused[size_t(PeriodIndex(period))] = true;
  }
  RecreateFolder(paths.archiveFolder);
  const ArchiveRun run =
      ArchiveMeasurementFiles(paths.dataFolder, paths.archiveFolder, patient, refused);

  bool archivedAny = false;
  for (DayPeriod period : kAllPeriods) {
    if (run.outcome(period) == ArchiveOutcome::Archived) {
      lists.list(period).clear();
      archivedAny = true;
    }
  }
  if (archivedAny) {
    main.updateStatusCounts();
    main.refreshAveragesAndGraphs();
  }
  return run.report;
}

void PrintShownLists(MainWindowApi &main, const StoragePaths &paths, const QString &patient) {
  RecreateFolder(paths.printFolder);
  PrintPeriodLists(main.lists(), paths.printFolder, patient);
}

void RunArchiveManager(QWidget *parent, const StoragePaths &paths) {
  ArchiveManagerWindow window(paths.archiveFolder, paths.printFolder, parent);
  window.exec();
}

} // namespace tl
