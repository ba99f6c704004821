// Not built yet: these calls do nothing until the archives feature lands.
#include "app/feature_calls.h"

namespace tl {

QString ArchiveCurrentLists(MainWindowApi &) { return QString(); }

void PrintCurrentLists(MainWindowApi &) {}

void OpenArchiveManager(MainWindowApi &) {}

} // namespace tl
