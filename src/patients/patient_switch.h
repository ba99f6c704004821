#pragma once

#include <QString>

class QWidget;

namespace tl {

class MainWindowApi;

// Fills the four period lists from the current patient's measurement files
// (Matin, Jour, Soir, Nuit), rewrites the status counts and refreshes the
// averages and graphs. Runs on the interface thread, so no command can touch
// the lists while they are being replaced.
void ReloadAfterPatientChange(MainWindowApi &main);

// Makes `name` the current patient: saves the outgoing patient's lists under
// the outgoing names, sets the name and the measurement paths, redraws the
// banner and reloads the lists. When a list holding readings could not be
// saved, the user is asked first and may stay on the current patient.
// Returns true when `name` is now the current patient. `parent` owns the boxes.
bool SwitchToPatient(MainWindowApi &main, const QString &name, QWidget *parent);

} // namespace tl
