#pragma once

#include "measurements/period_list_model.h"
#include "ui/main_window_api.h"

#include <QHash>
#include <QStringList>
#include <QWidget>
#include <array>

class QTabWidget;
class QTableView;

namespace tl::test {

// The controls of the main window that the reading commands use, built with
// real widgets at the main window's positions: the input panel (14 to 23),
// the four period lists in tabs 0 to 3 and the averages page (42 to 71) in
// tab 4. Status fields 1 to 4 are kept as texts.
class FakeMainWindow : public QWidget, public MainWindowApi {
public:
  FakeMainWindow();

  QWidget *window() override { return this; }
  QWidget *control(ControlId id) override { return controls_.value(ToInt(id)); }
  PeriodLists &lists() override { return lists_; }
  void updateStatusCounts() override;
  void setPatientLine(const QString &) override {}
  void refreshAveragesAndGraphs() override;
  void setPinned(bool) override {}
  int currentTab() const override;
  void setCurrentTab(int tab) override;
  QList<int> selectedRows(DayPeriod period) const override;
  QList<int> markedRows(DayPeriod period) const override;

  template <typename W> W *get(ControlId id) { return qobject_cast<W *>(control(id)); }
  QTableView *view(DayPeriod p) const { return views_[size_t(PeriodIndex(p))]; }
  QWidget *averagesPage() const { return averagesPage_; }

  // Selects exactly these rows of a period list (and no others).
  void selectRows(DayPeriod period, const QList<int> &rows);
  // Types the three values and sets the time of the input panel.
  void typeReading(const QString &time, const QString &s, const QString &d, const QString &p);

  QStringList statusFields{QStringLiteral("Matin : 0"), QStringLiteral("Jour : 0"),
                           QStringLiteral("Soir : 0"), QStringLiteral("Nuit : 0")};
  int statusUpdates = 0;

private:
  template <typename W> W *add(ControlId id, W *widget) {
    controls_.insert(ToInt(id), widget);
    return widget;
  }

  PeriodLists lists_;
  QHash<int, QWidget *> controls_;
  QTabWidget *tabs_ = nullptr;
  QWidget *averagesPage_ = nullptr;
  std::array<QTableView *, 4> views_{};
};

} // namespace tl::test
