#include "app/feature_calls.h"

#include "ui/main_window_api.h"

namespace tl {

void ExportReadingsCommand(MainWindowApi &, ExportFormat) {}

void ImportReadingsCommand(MainWindowApi &) {}

} // namespace tl
