#include "app/feature_calls.h"

#include "reports/report_files.h"
#include "series_window/series_window.h"
#include "ui/main_window_api.h"

namespace tl {

void OpenSeriesWindow(MainWindowApi &main) {
  Logbook &book = main.logbook();
  SeriesWindow window(book.lists(), LogbookIdentity(book), book.paths().printFolder, main.window(),
                      &book.contexts());
  window.exec();
}

} // namespace tl
