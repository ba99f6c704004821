#include "app/feature_calls.h"

#include "logbook/patient_file.h"
#include "series_window/series_window.h"
#include "ui/main_window_api.h"

namespace tl {

void OpenSeriesWindow(MainWindowApi &main) {
  Logbook &book = main.logbook();
  // The age and the doctor come from the patient's profile, when there is one.
  ReportIdentity who{book.patient(), {}, {}};
  for (const Patient &patient : LoadPatientFile(book.paths().patientFile).patients) {
    if (patient[Patient::Name] == book.patient()) {
      who.age = patient[Patient::Age];
      who.doctor = patient[Patient::Doctor];
      break;
    }
  }
  SeriesWindow window(book.lists(), who, book.paths().printFolder, main.window());
  window.exec();
}

} // namespace tl
