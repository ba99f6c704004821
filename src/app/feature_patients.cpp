#include "app/feature_calls.h"

#include "patients/patient_manager.h"

namespace tl {

bool RunPatientManager(MainWindowApi &main, bool atStartup) {
  // The window behaves the same at start-up; on false the caller ends the
  // program without saving.
  Q_UNUSED(atStartup);
  return OpenPatientManager(main);
}

} // namespace tl
