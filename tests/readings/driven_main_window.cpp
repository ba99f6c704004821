#include "driven_main_window.h"

#include "app/commands.h"

#include <QDateEdit>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QTabWidget>
#include <QTableView>
#include <QTimeEdit>

namespace tl::test {

DrivenMainWindow::DrivenMainWindow() {
  ConnectCommands(*this);
  get<QDateEdit>(ControlId::DateField)->setDate(QDate(2026, 3, 14));
}

void DrivenMainWindow::updateStatusCounts() {
  ++statusUpdates;
  MainWindow::updateStatusCounts();
}

QWidget *DrivenMainWindow::averagesPage() const {
  return qobject_cast<QTabWidget *>(
             const_cast<DrivenMainWindow *>(this)->control(ControlId::TabPanel))
      ->widget(4);
}

void DrivenMainWindow::selectRows(DayPeriod period, const QList<int> &rows) {
  QItemSelectionModel *sel = view(period)->selectionModel();
  sel->clearSelection();
  for (int r : rows) {
    sel->select(lists().list(period).index(r, 0),
                QItemSelectionModel::Select | QItemSelectionModel::Rows);
  }
}

void DrivenMainWindow::typeReading(const QString &time, const QString &s, const QString &d,
                                   const QString &p) {
  get<QTimeEdit>(ControlId::TimeField)->setTime(QTime::fromString(time, QStringLiteral("HH:mm")));
  get<QLineEdit>(ControlId::SystolicField)->setText(s);
  get<QLineEdit>(ControlId::DiastolicField)->setText(d);
  get<QLineEdit>(ControlId::PulseField)->setText(p);
}

QStringList DrivenMainWindow::statusFields() const {
  QStringList fields;
  for (DayPeriod p : kAllPeriods) {
    fields.append(statusText(PeriodInfo(p).statusField));
  }
  return fields;
}

} // namespace tl::test
