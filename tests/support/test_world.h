#pragma once

// One test's world for the tests that run the program's windows: its own
// home folder and storage tree, scripted boxes, a recorded shell and a
// clock standing at 14 March 2026, 09:30; the program-wide state is fresh
// before and after.

#include "fakes.h"

#include "common/app_state.h"
#include "common/paths.h"

namespace tl::test {

struct TestWorld {
  TempHome home;
  FakeDialogs dialogs;
  RecordingShell shell;
  FixedClock clock{QDateTime(QDate(2026, 3, 14), QTime(9, 30))};

  TestWorld() {
    State() = AppState{};
    Paths() = SetupStorage(home.path());
  }
  ~TestWorld() { State() = AppState{}; }

  QString data() const { return home.path() + QStringLiteral("Kestrune Arteline/"); }
};

} // namespace tl::test
