#pragma once

#include "common/paths.h"

#include <QString>

class QWidget;

namespace tl {

class MainWindowApi;

// "Archiver", once the user confirmed: saves the four lists (so that what is
// archived is what they show), moves the patient's measurement files into
// the archive folder, then empties the lists whose file was archived and
// refreshes the counts, averages and graphs. A period whose list could not
// be saved, or whose file could not be moved, keeps its list and its file.
// Returns the report text, empty when there was nothing to archive.
QString ArchiveShownLists(MainWindowApi &main);

// "Imprimer": one report per non-empty list, each opened once written.
void PrintShownLists(MainWindowApi &main);

// The archive manager window, modal over `parent` until it is closed.
void RunArchiveManager(QWidget *parent, const StoragePaths &paths);

} // namespace tl
