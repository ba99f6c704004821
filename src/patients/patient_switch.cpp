#include "patients/patient_switch.h"

#include "logbook/logbook.h"
#include "logbook/workflows.h"
#include "platform/dialogs.h"
#include "ui/main_window_api.h"

#include <QDir>
#include <QFileInfo>

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

// The "Sauvegarde" question when something of `book`'s patient could not be
// saved: what, why, and where the rescue copy will be written.
QString UnsavedQuestion(const Logbook &book, const SwitchOutcome &outcome) {
  const QString what = outcome.unsaved.isEmpty()
                           ? QStringLiteral("Les remarques des relevés de « ") + book.patient() +
                                 QStringLiteral(" » n'ont pas pu être enregistrées.")
                           : QStringLiteral("Les mesures de « ") + book.patient() +
                                 QStringLiteral(" » n'ont pas pu être enregistrées (") +
                                 FailedPeriodNames(outcome.unsaved) + QStringLiteral(").");
  QStringList copies;
  for (const QString &name : RescuedFileNames(book, outcome.saved)) {
    copies << name + QStringLiteral(".secours-…");
  }
  return what + QStringLiteral("\n\n") + FailureLines(outcome.unsaved, outcome.saved.contextError) +
         QStringLiteral("\n\nSi vous changez de patient maintenant, une copie de secours en sera "
                        "écrite dans le dossier de données :\n") +
         QDir::toNativeSeparators(book.paths().dataFolder) + u'\n' + copies.join(u'\n') +
         QStringLiteral("\nLe prochain démarrage de Tensiolog rappellera où elle se trouve.\n"
                        "Voulez-vous tout de même changer de patient ?");
}

// The status bar line naming the rescue copies written.
QString RescueNote(const QStringList &copies) {
  QStringList names;
  for (const QString &path : copies) {
    names << QFileInfo(path).fileName();
  }
  return QStringLiteral("Copie de secours écrite : ") + names.join(QStringLiteral(", "));
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
                            UnsavedQuestion(book, outcome), Dialogs::Default::No)) {
      return false;
    }
    outcome = SwitchPatient(book, name, true);
    TellOutsideChanges(parent, outcome.saved);
    if (!outcome.switched) {
      // Without its rescue copy, nothing is left behind: the patient stays.
      QStringList lines;
      for (const FileError &error : outcome.rescueFailed) {
        lines << error.text();
      }
      dialogs().warning(parent, QStringLiteral("Sauvegarde"),
                        QStringLiteral("La copie de secours n'a pas pu être écrite :\n\n") +
                            lines.join(u'\n') +
                            QStringLiteral("\n\nVous restez sur le patient « %1 », dont les "
                                           "mesures sont toujours affichées.")
                                .arg(book.patient()));
      return false;
    }
  }
  WarnUnreadable(parent, outcome.unreadable, outcome.notices, outcome.unreadableContext);
  main.setPatientLine(name);
  main.setUnsavedNote(QString()); // the lists now stand on the new patient's files
  if (!outcome.rescueCopies.isEmpty()) {
    main.setStatusNote(RescueNote(outcome.rescueCopies));
  }
  main.updateStatusCounts();
  main.refreshAveragesAndGraphs();
  return true;
}

} // namespace tl
