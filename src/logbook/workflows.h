#pragma once

// What the window and the command line do with a logbook, without widgets:
// each workflow acts on the lists and the files and reports its outcome; the
// callers show it. Questions go through the Dialogs interface given.

#include "common/day_period.h"
#include "logbook/archiving.h"
#include "logbook/patient_store.h"
#include "measurements/measurement_file.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>
#include <array>
#include <optional>

class QWidget;

namespace tl {

class Dialogs;
class Logbook;
class PeriodListModel;
class Reading;

// --- Adding a reading ("Ajouter") ----------------------------------------

struct AddOutcome {
  std::optional<DayPeriod> period; // where the reading went; empty when refused
  int firstEmptyField = -1;        // when refused: 0 systolic, 1 diastolic, 2 pulse
  int notANumberField = -1;        // when refused: the first value that is no number
  bool declined = false;           // the user answered "Non" to a question
};

// The plausible ranges of the three values (mmHg, beats per minute).
inline constexpr qint64 kSystolicRange[2] = {60, 260};
inline constexpr qint64 kDiastolicRange[2] = {30, 160};
inline constexpr qint64 kPulseRange[2] = {30, 220};

// Whether the three values are within their ranges, the diastolic below the systolic.
bool IsPlausibleReading(qint64 systolic, qint64 diastolic, qint64 pulse);
// "Valeurs inhabituelles : S/D. Enregistrer quand même ?"
QString UnusualValuesQuestion(qint64 systolic, qint64 diastolic);
// The value of a typed text that is a whole decimal number (blanks around
// it allowed), or nothing ("14O", "", "1,5").
std::optional<qint64> TypedNumber(const QString &text);
// The row of `list` holding the same date, time and three values, or -1.
qsizetype FindSameReading(const PeriodListModel &list, const Reading &reading);

// Files the reading typed as three value texts on `date` at `minutes` past
// midnight at the end of the list of its period, the diagnosis sentence by
// the classification. Refused, with nothing changed, when a value text is
// empty or no whole number. With `questions`, values outside the plausible
// ranges and a reading already in the list are filed only once confirmed
// ("Non" by default).
AddOutcome AddReading(Logbook &book, QDate date, int minutes, const QString &systolic,
                      const QString &diastolic, const QString &pulse, Dialogs *questions = nullptr,
                      QWidget *parent = nullptr);

// --- Deleting, changing and showing readings ------------------------------

// Deletes the rows `marked` of a period list, asking once per row
// ("Suppression"); the rows are those marked when the command starts, in
// list order. A list emptied this way loses its file at the next save, in
// the same batch as its notes, so that neither comes back at the next
// start without the other. Returns how many rows went.
int DeleteReadings(Logbook &book, DayPeriod period, QList<int> marked, Dialogs &dialogs,
                   QWidget *parent);

// What changing cells of readings did.
struct ModifyOutcome {
  int changed = 0;          // cells changed
  QList<DayPeriod> movedTo; // one entry per reading moved to another list
};

// Asks a new text for `cell` (date to pulse; never the diagnosis) of each
// row in `selected`; an empty answer leaves the cell. A date must be a day
// written dd/MM/yyyy, a time hh:mm, a value a whole number in its plausible
// range: otherwise a message says why and the cell keeps its text. A new
// systolic or diastolic rewrites the diagnosis sentence; a new time of
// another period moves the reading to the end of that period's list, and a
// message says so.
ModifyOutcome ModifyReadings(Logbook &book, DayPeriod period, QList<int> selected, int cell,
                             Dialogs &dialogs, QWidget *parent);

// The text of the "Détails tension" box of one reading.
QString ReadingDetailsText(const Reading &reading);

// --- Files -----------------------------------------------------------------

// Fills the four lists from the patient's measurement files and remembers
// the version of each file read. A missing file gives an empty list and is
// no failure; one that cannot be read, or whose content is no measurement
// file, is listed: its list stays empty and the file is never written over
// while it stays so. Every whole record a file holds is read, whatever its
// count line says; a file whose count line disagrees with it, or whose last
// record is cut short (left out), gives a line in `notices` and is kept aside
// whole before the next save writes over it.
// The context file is read too: one that cannot be read leaves no context
// and is never written over while it stays so.
QList<PeriodFileError> LoadLogbook(Logbook &book, QStringList *notices = nullptr);
// The context file's error when it could not be read at load, or none.
FileError UnreadableContextFile(const Logbook &book);

// Writes the lists that changed since their file was read or written, and
// the context file, all of them or none, in one batch of the patient store
// (a full disk, a kill or a power cut leaves every file as it was, or every
// file written). A file changed
// meanwhile by another program is merged first: the readings added there
// join the list, while those deleted here stay deleted. A list nobody
// changed takes up what another program wrote in its file.
SaveOutcome SaveLogbook(Logbook &book);

// The box telling what came from outside and what was kept aside in a save,
// or "" when nothing did.
QString OutsideChangesText(const SaveOutcome &saved);
// The box telling which files could not be read at load, or "".
QString UnreadableFilesText(const QList<PeriodFileError> &unreadable, const QStringList &notices,
                            const FileError &contextFile = {});

// The names of the periods that failed, in the order Matin, Jour, Soir,
// Nuit, joined by ", ".
QString FailedPeriodNames(const QList<PeriodFileError> &failed);
// One line per failure, "path : reason", for a message of its own; the
// context file's last when it failed.
QString FailureLines(const QList<PeriodFileError> &failed, const FileError &contextFile = {});
// The failures of lists that hold readings: those readings exist nowhere
// but in memory.
QList<PeriodFileError> FailuresHoldingReadings(const Logbook &book,
                                               const QList<PeriodFileError> &failed);

// --- Changing patient, archiving, printing ---------------------------------

// Makes `name` the logbook's patient: saves the outgoing lists under the
// outgoing names, then sets the name and paths and reloads the lists. When a
// list holding readings could not be saved, a "Sauvegarde" question naming
// each failure lets the user stay: false then, and nothing changed.
bool SwitchPatient(Logbook &book, const QString &name, Dialogs &dialogs, QWidget *parent);

// "Archiver", once confirmed: saves the lists (what is archived is what they
// show), moves the patient's files into the archive folder, and empties the
// lists whose file went. A list that could not be saved keeps its list and
// its file. The archive folder is made again if it was erased.
ArchiveRun ArchiveLogbook(Logbook &book);

// "Imprimer": one report per list holding readings; the print folder is
// made again if it was erased. Returns the paths written.
QStringList PrintLogbook(const Logbook &book);

} // namespace tl
