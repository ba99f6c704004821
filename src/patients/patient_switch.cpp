#include "patients/patient_switch.h"

#include "logbook/workflows.h"
#include "platform/dialogs.h"
#include "ui/main_window_api.h"

namespace tl {

void ReloadAfterPatientChange(MainWindowApi &main) {
  QStringList notices;
  const QList<PeriodFileError> unreadable = LoadLogbook(main.logbook(), &notices);
  main.updateStatusCounts();
  main.refreshAveragesAndGraphs();
  if (const QString text =
          UnreadableFilesText(unreadable, notices, UnreadableContextFile(main.logbook()));
      !text.isEmpty()) {
    dialogs().warning(main.window(), QStringLiteral("Chargement"), text);
  }
}

bool SwitchToPatient(MainWindowApi &main, const QString &name, QWidget *parent) {
  if (!SwitchPatient(main.logbook(), name, dialogs(), parent)) {
    return false;
  }
  main.setPatientLine(name);
  main.setUnsavedNote(QString()); // the lists now stand on the new patient's files
  main.updateStatusCounts();
  main.refreshAveragesAndGraphs();
  return true;
}

} // namespace tl
