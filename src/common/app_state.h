#pragma once

#include "common/day_period.h"

#include <QString>

namespace tl {

// Program-wide state owned by the shell; each field is written only by the
// parts of the program named beside it.
struct AppState {
  QString currentPatient;      // preferences at start-up, patient manager
  bool darkAppearance = false; // preferences at start-up
  bool pinned = false;         // preferences, pin command
  int curveStyle = 0;          // preferences (GraphCourbe), graph style selector; 0: none chosen
  DayPeriod graphPeriod = DayPeriod::Matin;
  int informationText = 0; // 0 to 5, rotated by timer 0
  // Why the data folder cannot be written (« support en lecture seule »), or
  // empty: when set, the window shows the readings and refuses every change.
  QString readOnlyReason;
};

AppState &State();

// The sentence that refuses a change while the data folder is read-only
// (State().readOnlyReason set).
QString ReadOnlyRefusalText();

} // namespace tl
