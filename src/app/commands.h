#pragma once

// The dispatch tables of the main window in one place: which button, menu
// item or keyboard shortcut runs which command, and the commands that belong
// to the shell itself (quit, save now, pin, archive, information texts).

#include "common/control_ids.h"

#include <QKeySequence>
#include <QList>

class QWidget;

namespace tl {

class MainWindow;
struct PeriodFileError;
struct SaveOutcome;

// The menu event id a command button sends (the shortcut id of the same
// command), or 0 for the buttons that open a popup menu or do nothing.
int ButtonMenuId(ControlId button);

// Connects every control, menu item, shortcut and the timer of `main` to its
// command.
void ConnectCommands(MainWindow &main);

// Runs the command of a menu event (menu item or shortcut id); unknown ids,
// 188 included, do nothing.
void RunMenuCommand(MainWindow &main, int id);
// Runs the left-click command of a drawn button (1 to 10, 22, 23).
void RunButtonCommand(MainWindow &main, ControlId button);

// "Sauvegarder": saves the four lists and the notes (every change is saved
// as it is made: this says that all is saved) or says what could not be.
void SaveNow(MainWindow &main);
// Whether a save left no list and no notes unwritten.
bool SaveSucceeded(const SaveOutcome &saved);
// The warning of a failed "Sauvegarder", for any command that saves, with
// a line per list that failed and its reason.
void WarnSaveFailed(QWidget *parent, const SaveOutcome &saved);
void TogglePin(MainWindow &main);
// Asks for confirmation, archives the current files and brings the lists in
// line with them.
void ArchiveWithConfirmation(MainWindow &main);

// The save steps of every quit: the four lists, then the closing preferences.
// When a list holding readings could not be written and `mayAsk` is set, the
// user is told which ones and may stay in the program (false is returned).
// Whatever could not be written when the program ends anyway is kept in a
// rescue copy beside the data files (WriteRescueCopies).
bool SaveForQuit(MainWindow &main, bool mayAsk);

} // namespace tl
