#include "patients/patient_switch.h"

#include "common/app_state.h"
#include "common/paths.h"
#include "measurements/measurement_file.h"
#include "measurements/period_list_model.h"
#include "platform/dialogs.h"
#include "ui/main_window_api.h"

#include <QStringList>

namespace tl {

void ReloadAfterPatientChange(MainWindowApi &main) {
  for (DayPeriod period : kAllPeriods) {
    LoadPeriodList(main.lists().list(period), Paths().measurementFile(period));
  }
  main.updateStatusCounts();
  main.refreshAveragesAndGraphs();
}

bool SwitchToPatient(MainWindowApi &main, const QString &name, QWidget *parent) {
  QList<DayPeriod> failed;
  SaveAllPeriodLists(main.lists(), Paths(), &failed);
  if (!failed.isEmpty()) {
    // Only lists holding readings are written, so every failure here means
    // readings that exist nowhere but on screen.
    QStringList periods;
    for (DayPeriod period : kAllPeriods) {
      if (failed.contains(period)) {
        periods.append(PeriodInfo(period).name);
      }
    }
    const QString text =
        QStringLiteral("Les mesures de « ") + State().currentPatient +
        QStringLiteral(" » n'ont pas pu être enregistrées (") + periods.join(QStringLiteral(", ")) +
        QStringLiteral(").\n\nSi vous changez de patient maintenant, ces mesures seront perdues.\n"
                       "Voulez-vous tout de même changer de patient ?");
    if (!dialogs().askYesNo(parent, Dialogs::Icon::Warning, QStringLiteral("Sauvegarde"), text)) {
      return false;
    }
  }
  State().currentPatient = name;
  RebuildMeasurementPaths(Paths(), name);
  main.setPatientLine(name);
  ReloadAfterPatientChange(main);
  return true;
}

} // namespace tl
