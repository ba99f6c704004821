#pragma once

// A stand-in for the main window, for the tests of the feature windows that
// need one: the program's logbook (on the program-wide patient and paths),
// a plain window to own their boxes, controls registered by the test, and a
// record of what was asked of it. Header only: widget tests include it,
// the Qt-Core-only support library does not.

#include "common/app_state.h"
#include "common/paths.h"
#include "ui/main_window_api.h"

#include <QHash>
#include <QWidget>

namespace tl::test {

class StubMainWindow : public MainWindowApi {
public:
  QWidget *window() override { return &window_; }
  QWidget *control(ControlId id) override { return controls_.value(ToInt(id)); }
  Logbook &logbook() override { return logbook_; }
  void updateStatusCounts() override { ++statusUpdates; }
  void setPatientLine(const QString &patient) override { patientLines.append(patient); }
  void refreshAveragesAndGraphs() override { ++refreshes; }
  void setPinned(bool p) override { pinned.append(p); }
  int currentTab() const override { return tab; }
  void setCurrentTab(int t) override { tab = t; }
  QList<int> selectedRows(DayPeriod) const override { return {}; }
  QList<int> markedRows(DayPeriod) const override { return {}; }

  void addControl(ControlId id, QWidget *widget) { controls_.insert(ToInt(id), widget); }

  QStringList patientLines;
  QList<bool> pinned;
  int statusUpdates = 0;
  int refreshes = 0;
  int tab = 0;

private:
  QWidget window_;
  QHash<int, QWidget *> controls_;
  Logbook logbook_{State().currentPatient, Paths()};
};

} // namespace tl::test
