#pragma once

#include "common/control_ids.h"
#include "common/day_period.h"
#include "logbook/logbook.h"

#include <QList>
#include <QString>

class QWidget;

namespace tl {

// What the feature windows and commands need of the main window, so that
// they can be built and tested without the application layer.
class MainWindowApi {
public:
  virtual ~MainWindowApi() = default;

  // The main window itself (parent of every box and window it opens).
  virtual QWidget *window() = 0;
  // Any control registered under its number, or nullptr.
  virtual QWidget *control(ControlId id) = 0;
  // The current patient's logbook, and its four period lists.
  virtual Logbook &logbook() = 0;
  PeriodLists &lists() { return logbook().lists(); }

  // Rewrites status fields 1 to 4 from the row counts of the lists.
  virtual void updateStatusCounts() = 0;
  // Redraws the banner: line 2 names `patient`, or has no patient line when empty.
  virtual void setPatientLine(const QString &patient) = 0;
  // The five average boxes, the graph period back to Matin, the Matin graphs.
  virtual void refreshAveragesAndGraphs() = 0;
  // Keeps the window above all others (or not) and redraws "Epingler".
  virtual void setPinned(bool pinned) = 0;
  // The tab shown (0 to 4).
  virtual int currentTab() const = 0;
  virtual void setCurrentTab(int tab) = 0;
  // Rows of a period list that are selected, or selected or checked, in list order.
  virtual QList<int> selectedRows(DayPeriod period) const = 0;
  virtual QList<int> markedRows(DayPeriod period) const = 0;
  // A note in the status bar's last field in place of the rights notice,
  // which comes back with an empty note.
  virtual void setStatusNote(const QString &note) { Q_UNUSED(note); }
  // What could not be saved, shown in that field before any other note
  // until a save succeeds (an empty text then).
  virtual void setUnsavedNote(const QString &note) { Q_UNUSED(note); }
};

} // namespace tl
