#pragma once

// What the window and the command line do with a logbook, without widgets:
// each workflow acts on the lists and the files and reports its outcome. A
// workflow never asks: what needs the person's word comes back as a finding,
// and the caller, once it has the answer, calls again with it.

#include "common/day_period.h"
#include "logbook/archiving.h"
#include "logbook/patient_store.h"
#include "measurements/measurement_file.h"
#include "measurements/reading.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>
#include <array>
#include <optional>

namespace tl {

class Logbook;
class PeriodListModel;

// --- Adding a reading ("Ajouter") ----------------------------------------

// The person's answers to what AddReading found; "no" until asked.
struct AddAnswers {
  bool unusualConfirmed = false;   // file values outside the plausible ranges
  bool duplicateConfirmed = false; // file a second copy of a reading of the list
};

struct AddOutcome {
  std::optional<DayPeriod> period; // where the reading went; empty when not filed
  int firstEmptyField = -1;        // when refused: 0 systolic, 1 diastolic, 2 pulse
  int notANumberField = -1;        // when refused: the first value that is no number
  // Found in the typed values, whether answered or not.
  bool unusual = false;              // outside the plausible ranges
  bool duplicate = false;            // the same date, time and values are already in `list`
  Reading reading;                   // as read from the texts (and filed, when it was)
  DayPeriod list = DayPeriod::Matin; // the list of its time

  // Left unfiled only because `given` does not confirm a finding.
  bool awaitsAnswers(const AddAnswers &given) const {
    return !period && firstEmptyField < 0 && notANumberField < 0 &&
           ((unusual && !given.unusualConfirmed) || (duplicate && !given.duplicateConfirmed));
  }
};

// The plausible ranges of the three values (mmHg, beats per minute).
inline constexpr qint64 kSystolicRange[2] = {60, 260};
inline constexpr qint64 kDiastolicRange[2] = {30, 160};
inline constexpr qint64 kPulseRange[2] = {30, 220};

// Whether the three values are within their ranges, the diastolic below the systolic.
bool IsPlausibleReading(qint64 systolic, qint64 diastolic, qint64 pulse);
// The value of a typed text that is a whole decimal number (blanks around
// it allowed), or nothing ("14O", "", "1,5").
std::optional<qint64> TypedNumber(const QString &text);
// The row of `list` holding the same date, time and three values, or -1.
qsizetype FindSameReading(const PeriodListModel &list, const Reading &reading);
// The rows of `list` among `rows`, in list order, each once.
QList<int> ListRows(const PeriodListModel &list, QList<int> rows);

// Files the reading typed as three value texts on `date` at `minutes` past
// midnight at the end of the list of its period, the diagnosis sentence by
// the classification. Refused, with nothing changed, when a value text is
// empty or no whole number. Values outside the plausible ranges, and a
// reading already in its list, are reported; such a reading is filed only
// when `answers` confirm every finding, so nothing is filed before all the
// answers are known.
AddOutcome AddReading(Logbook &book, QDate date, int minutes, const QString &systolic,
                      const QString &diastolic, const QString &pulse, AddAnswers answers = {});

// --- Deleting, changing and showing readings ------------------------------

// Deletes the rows `confirmed` of a period list (numbered as before the
// call; repeated rows and rows past the end are ignored). A list emptied this
// way loses its file at the next save, in the same batch as its notes, so
// that neither comes back at the next start without the other. Returns how
// many rows went.
int DeleteReadings(Logbook &book, DayPeriod period, QList<int> confirmed);

// A new text for one cell of a row of a period list.
struct CellChange {
  int row = -1; // numbered as before the call
  QString text;
};

// Why a cell text was refused.
enum class CellRefusal {
  None,
  NotADate,  // no day written dd/MM/yyyy
  NotATime,  // no time written hh:mm
  NotAValue, // no whole number within the value's plausible range
};

// What a CellChange did.
struct CellOutcome {
  int row = -1;         // as given
  QString text;         // as applied, blanks around it removed
  bool changed = false; // false for an empty text, a refusal or no such row
  CellRefusal refused = CellRefusal::None;
  std::optional<DayPeriod> movedTo; // the list the reading went to
};

// Sets `cell` (date to pulse; never the diagnosis) of each row changed, in
// row order; an empty text leaves the cell. A date must be a day written
// dd/MM/yyyy, a time hh:mm, a value a whole number in its plausible range:
// otherwise the cell keeps its text. A new systolic or diastolic rewrites the
// diagnosis sentence; a new time of another period moves the reading to the
// end of that period's list (the rows after it move up). One outcome per
// change, in row order.
QList<CellOutcome> ModifyReadings(Logbook &book, DayPeriod period, int cell,
                                  QList<CellChange> changes);

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

// What changing patient did.
struct SwitchOutcome {
  bool switched = false;
  SaveOutcome saved; // the save of the outgoing patient's lists
  // The lists holding readings that could not be saved, Matin to Nuit, and
  // `saved.contextError` for the notes: what switching would leave behind.
  QList<PeriodFileError> unsaved;
  // Switched although something could not be saved: the rescue copies of it.
  QStringList rescueCopies;
  // The rescue copies that could not be written: the switch did not happen.
  QList<FileError> rescueFailed;
  // When switched: the files of the incoming patient that could not be read.
  QList<PeriodFileError> unreadable;
  QStringList notices;
  FileError unreadableContext;
};

// Makes `name` the logbook's patient: saves the outgoing lists under the
// outgoing names, then sets the name and paths and reloads the lists. When a
// list holding readings, or the notes, could not be saved, nothing changes
// unless `evenIfUnsaved`: the outcome names them for the person to decide.
// Switching anyway first writes what could not be saved as rescue copies,
// as at the session's end (WriteRescueCopies); when a copy cannot be
// written, the patient stays.
SwitchOutcome SwitchPatient(Logbook &book, const QString &name, bool evenIfUnsaved = false);
// Whether a switch finds something that could not be saved.
inline bool LeavesUnsaved(const SwitchOutcome &outcome) {
  return !outcome.unsaved.isEmpty() || outcome.saved.contextError;
}

// "Archiver", once confirmed: saves the lists (what is archived is what they
// show), moves the patient's files into the archive folder, and empties the
// lists whose file went. A list that could not be saved keeps its list and
// its file. The archive folder is made again if it was erased.
ArchiveRun ArchiveLogbook(Logbook &book);

// "Imprimer": one report per list holding readings; the print folder is
// made again if it was erased. Returns the paths written.
QStringList PrintLogbook(const Logbook &book);

} // namespace tl
