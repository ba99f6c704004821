#pragma once

#include "common/control_ids.h"
#include "common/day_period.h"
#include "measurements/reading_context.h"

#include <QDate>
#include <QString>

class QWidget;

namespace tl {

class Logbook;
class MainWindowApi;
struct AddOutcome;

// The commands of the input panel, the list menu and the averages page.
// Each reads and writes the main window's controls by number.

// Saves the logbook right after a change (every change is saved as soon as
// it is made), with the merge rules: what came from outside is shown, and
// the status bar says which lists could not be saved until a save succeeds.
// Returns the outcome; `outsideShown` false leaves the outside changes
// untold (the caller tells them).
struct SaveOutcome;
SaveOutcome SaveChange(MainWindowApi &main, bool outsideShown = true);
// The status-bar text for what `saved` could not write ("Non enregistré :
// Soir"), or "" when all was.
QString UnsavedNote(MainWindowApi &main, const SaveOutcome &saved);
// Files a typed reading as AddReading does, asking first, "Non" by default
// and in this order, about values outside the plausible ranges and about a
// second copy of a reading of its list. Shared by "Ajouter" and the guided
// series; `parent` owns the questions.
AddOutcome AddReadingAsking(Logbook &book, QDate date, int minutes, const QString &systolic,
                            const QString &diastolic, const QString &pulse, QWidget *parent);
// "Ajouter", Enter in a value field or the note: the reading with the note
// and flags of the input panel.
void AddReadingCommand(MainWindowApi &main);
// Gives the reading just filed at the end of the list of `period` the flags
// and note of `context`, beside those an identical reading already has (a
// new note replaces the old one). Nothing happens for an empty context.
void FileWithLastReading(MainWindowApi &main, DayPeriod period, const ReadingContext &context);
// The date and time fields back to the clock's now.
void ResetInputDateTime(MainWindowApi &main);
void ClearInputCommand(MainWindowApi &main);    // "Effacer"
void DeleteMarkedReadings(MainWindowApi &main); // list menu 35
void ShowReadingDetails(MainWindowApi &main);   // list menu 36
// List menu 37 to 41: `cell` 0 to 4 of the selected rows of the current list.
void ModifyReadingCell(MainWindowApi &main, int cell);
// List menu 155, "Remarque...": the note and flags of each selected row of
// the current list, one form per row.
void EditReadingContexts(MainWindowApi &main);
// Average boxes, graph period back to Matin, Matin graphs redrawn.
void RefreshAveragesAndGraphs(MainWindowApi &main);
void RefreshAverages(MainWindowApi &main); // "Actualiser": the boxes only
// The three graphs of one period in the current curve style.
void DrawPeriodGraphs(MainWindowApi &main, DayPeriod period);
// Selector 44 (graph period) or 45 (curve style) changed.
void GraphPeriodChosen(MainWindowApi &main, int index);
void CurveStyleChosen(MainWindowApi &main, int index);

} // namespace tl
