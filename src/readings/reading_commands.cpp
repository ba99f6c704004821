// Not built yet: the reading commands do nothing until they land.
#include "readings/reading_commands.h"

namespace tl {

void AddReadingCommand(MainWindowApi &) {}
void ClearInputCommand(MainWindowApi &) {}
void DeleteMarkedReadings(MainWindowApi &) {}
void ShowReadingDetails(MainWindowApi &) {}
void ModifyReadingCell(MainWindowApi &, int) {}
void RefreshAveragesAndGraphs(MainWindowApi &) {}
void RefreshAverages(MainWindowApi &) {}
void DrawPeriodGraphs(MainWindowApi &, DayPeriod) {}
void GraphPeriodChosen(MainWindowApi &, int) {}
void CurveStyleChosen(MainWindowApi &, int) {}

} // namespace tl
