#pragma once

#include "app/main_window.h"
#include "measurements/period_list_model.h"

#include <QStringList>

class QTableView;

namespace tl::test {

// The real main window with its real command wiring, plus what the reading
// tests need to drive it: typed values, selected rows, the status counts
// and how often they were rewritten.
class DrivenMainWindow : public MainWindow {
public:
  DrivenMainWindow();

  void updateStatusCounts() override;

  template <typename W> W *get(ControlId id) { return qobject_cast<W *>(control(id)); }
  QTableView *view(DayPeriod p) const { return listView(p); }
  QWidget *averagesPage() const;

  // Selects exactly these rows of a period list (and no others).
  void selectRows(DayPeriod period, const QList<int> &rows);
  // Types the three values and sets the time of the input panel.
  void typeReading(const QString &time, const QString &s, const QString &d, const QString &p);
  // Status fields 1 to 4: the period counts.
  QStringList statusFields() const;

  int statusUpdates = 0;
};

} // namespace tl::test
