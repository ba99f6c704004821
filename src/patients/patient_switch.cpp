#include "patients/patient_switch.h"

#include "logbook/workflows.h"
#include "platform/dialogs.h"
#include "ui/main_window_api.h"

namespace tl {

void ReloadAfterPatientChange(MainWindowApi &main) {
  LoadLogbook(main.logbook());
  main.updateStatusCounts();
  main.refreshAveragesAndGraphs();
}

bool SwitchToPatient(MainWindowApi &main, const QString &name, QWidget *parent) {
  if (!SwitchPatient(main.logbook(), name, dialogs(), parent)) {
    return false;
  }
  main.setPatientLine(name);
  main.updateStatusCounts();
  main.refreshAveragesAndGraphs();
  return true;
}

} // namespace tl
