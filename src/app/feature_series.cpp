#include "app/feature_calls.h"

#include "ui/main_window_api.h"

namespace tl {

void OpenSeriesWindow(MainWindowApi &) {}

} // namespace tl
