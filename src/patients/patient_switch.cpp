#include "patients/patient_switch.h"

#include "logbook/logbook.h"
#include "logbook/workflows.h"
#include "platform/dialogs.h"
#include "ui/main_window_api.h"

namespace tl {

namespace {

void WarnUnreadable(QWidget *parent, const QList<PeriodFileError> &unreadable,
                    const QStringList &notices, const FileError &contextFile) {
  if (const QString text = UnreadableFilesText(unreadable, notices, contextFile); !text.isEmpty()) {
    dialogs().warning(parent, QStringLiteral("Chargement"), text);
  }
}

void TellOutsideChanges(QWidget *parent, const SaveOutcome &saved) {
  if (const QString outside = OutsideChangesText(saved); !outside.isEmpty()) {
    dialogs().information(parent, QStringLiteral("Sauvegarde"), outside);
  }
}

// The "Sauvegarde" question when readings of `patient` could not be saved.
QString UnsavedQuestion(const QString &patient, const QList<PeriodFileError> &unsaved) {
  return QStringLiteral("Les mesures de « ") + patient +
         QStringLiteral(" » n'ont pas pu être enregistrées (") + FailedPeriodNames(unsaved) +
         QStringLiteral(").\n\n") + FailureLines(unsaved) +
         QStringLiteral("\n\nSi vous changez de patient maintenant, ces mesures seront perdues.\n"
                        "Voulez-vous tout de même changer de patient ?");
}

} // namespace

void ReloadAfterPatientChange(MainWindowApi &main) {
  QStringList notices;
  const QList<PeriodFileError> unreadable = LoadLogbook(main.logbook(), &notices);
  main.updateStatusCounts();
  main.refreshAveragesAndGraphs();
  WarnUnreadable(main.window(), unreadable, notices, UnreadableContextFile(main.logbook()));
}

bool SwitchToPatient(MainWindowApi &main, const QString &name, QWidget *parent) {
  Logbook &book = main.logbook();
  SwitchOutcome outcome = SwitchPatient(book, name);
  TellOutsideChanges(parent, outcome.saved);
  if (!outcome.switched) {
    if (!dialogs().askYesNo(parent, Dialogs::Icon::Warning, QStringLiteral("Sauvegarde"),
                            UnsavedQuestion(book.patient(), outcome.unsaved),
                            Dialogs::Default::No)) {
      return false;
    }
    outcome = SwitchPatient(book, name, true);
    TellOutsideChanges(parent, outcome.saved);
  }
  WarnUnreadable(parent, outcome.unreadable, outcome.notices, outcome.unreadableContext);
  main.setPatientLine(name);
  main.setUnsavedNote(QString()); // the lists now stand on the new patient's files
  main.updateStatusCounts();
  main.refreshAveragesAndGraphs();
  return true;
}

} // namespace tl
