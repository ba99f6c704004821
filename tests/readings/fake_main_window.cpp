#include "fake_main_window.h"

#include "graphs/graph_canvas.h"
#include "readings/reading_commands.h"
#include "ui/assets/assets.h"

#include <QComboBox>
#include <QDateEdit>
#include <QFrame>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QTimeEdit>

namespace tl::test {

namespace {

QLabel *MakeLabel(QWidget *parent, const QString &text, QRect geometry, QColor colour = {}) {
  auto *label = new QLabel(text, parent);
  label->setGeometry(geometry);
  if (colour.isValid()) {
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, colour);
    label->setPalette(pal);
  }
  return label;
}

} // namespace

FakeMainWindow::FakeMainWindow() {
  setFixedSize(1024, 768);

  // Input panel.
  auto *left = add(ControlId::LeftPanel, new QFrame(this));
  left->setGeometry(0, 75, 250, 668);
  auto *date = add(ControlId::DateField, new QDateEdit(QDate(2026, 3, 14), left));
  date->setDisplayFormat(QStringLiteral("dd/MM/yyyy"));
  date->setGeometry(20, 55, 100, 20);
  auto *time = add(ControlId::TimeField, new QTimeEdit(QTime(5, 40), left));
  time->setDisplayFormat(QStringLiteral("HH:mm"));
  time->setGeometry(180, 55, 60, 20);
  const std::array<ControlId, 3> fields = {ControlId::SystolicField, ControlId::DiastolicField,
                                           ControlId::PulseField};
  for (size_t i = 0; i < fields.size(); ++i) {
    add(fields[i], new QLineEdit(left))->setGeometry(180, 80 + 25 * int(i), 60, 20);
  }

  // Tabs: the four lists, then the averages page.
  auto *right = add(ControlId::RightPanel, new QFrame(this));
  right->setGeometry(252, 75, 772, 668);
  tabs_ = add(ControlId::TabPanel, new QTabWidget(right));
  tabs_->setGeometry(0, 0, 772, 666);
  for (DayPeriod p : kAllPeriods) {
    auto *view = new QTableView;
    view->setModel(&lists_.list(p));
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    views_[size_t(PeriodIndex(p))] = view;
    add(static_cast<ControlId>(PeriodInfo(p).listControl), view);
    tabs_->addTab(view, PeriodInfo(p).tabText);
  }
  averagesPage_ = new QWidget;
  averagesPage_->setAutoFillBackground(true);
  tabs_->addTab(averagesPage_, QStringLiteral(" Les moyennes   "));
  QWidget *page = averagesPage_;

  QLabel *heading = add(ControlId::AveragesHeading,
                        MakeLabel(page,
                                  QStringLiteral("Moyennes générales basées sur les données "
                                                 "présentes dans chaque liste."),
                                  QRect(10, 5, 370, 20), QColor(73, 90, 139)));
  heading->setFont(SharedFont(0));
  add(ControlId::ButtonRefresh, new QPushButton(QStringLiteral("Actualiser"), page))
      ->setGeometry(380, 3, 70, 20);
  auto *periods = add(ControlId::GraphPeriodSelector, new QComboBox(page));
  periods->addItems({QStringLiteral("Matin"), QStringLiteral("Après-midi"), QStringLiteral("Soir"),
                     QStringLiteral("Nuit")});
  periods->setGeometry(470, 3, 100, 20);
  auto *styles = add(ControlId::CurveStyleSelector, new QComboBox(page));
  styles->addItems({QStringLiteral("Lignes uniquement"), QStringLiteral("Lignes + valeurs"),
                    QStringLiteral("Lignes + valeurs encerclées")});
  styles->setCurrentIndex(2);
  styles->setGeometry(575, 3, 170, 20);
  // The selectors run their commands as the main window's dispatch does.
  connect(periods, &QComboBox::currentIndexChanged, this,
          [this](int i) { GraphPeriodChosen(*this, i); });
  connect(styles, &QComboBox::currentIndexChanged, this,
          [this](int i) { CurveStyleChosen(*this, i); });

  const QStringList titles = {
      QStringLiteral("Moyenne le matin"), QStringLiteral("Moyenne l'après-midi"),
      QStringLiteral("Moyenne en soirée"), QStringLiteral("Moyenne la nuit"),
      QStringLiteral("Moyenne générale")};
  for (int i = 0; i < 5; ++i) {
    auto *box = add(static_cast<ControlId>(46 + 2 * i), new QFrame(page));
    box->setFrameStyle(QFrame::Box | QFrame::Plain);
    box->setGeometry(10 + 150 * i, 30, 140, 100);
    QLabel *title = MakeLabel(box, titles[i], QRect(0, 0, 140, 30));
    title->setAlignment(Qt::AlignCenter);
    add(static_cast<ControlId>(47 + 2 * i), title);
    QLabel *value = add(static_cast<ControlId>(56 + i), MakeLabel(box, {}, QRect(10, 35, 120, 40)));
    value->setAlignment(Qt::AlignCenter);
    value->setFont(SharedFont(3));
    QLabel *count = add(static_cast<ControlId>(61 + i),
                        MakeLabel(box, QStringLiteral("Base de 0 mesures"), QRect(5, 80, 130, 17)));
    count->setAlignment(Qt::AlignCenter);
  }

  struct GraphSlot {
    ControlId title, canvas;
    const char *text;
    QColor colour;
    int y;
  };
  const GraphSlot graphs[] = {
      {ControlId::SystolicGraphTitle, ControlId::SystolicGraph,
       "Relevés systoliques :", QColor(92, 113, 226), 135},
      {ControlId::DiastolicGraphTitle, ControlId::DiastolicGraph,
       "Relevés diastoliques :", QColor(204, 0, 0), 303},
      {ControlId::PulseGraphTitle, ControlId::PulseGraph, "Relevés du pouls :", QColor(61, 162, 25),
       471},
  };
  for (const GraphSlot &g : graphs) {
    QLabel *title =
        add(g.title, MakeLabel(page, QString::fromUtf8(g.text), QRect(10, g.y, 300, 17), g.colour));
    title->setFont(SharedFont(1));
    add(g.canvas, new GraphCanvas(page))->setGeometry(10, g.y + 17, 752, 150);
  }
}

void FakeMainWindow::updateStatusCounts() {
  ++statusUpdates;
  for (DayPeriod p : kAllPeriods) {
    statusFields[PeriodIndex(p)] = PeriodStatusText(p, lists_.list(p).size());
  }
}

void FakeMainWindow::refreshAveragesAndGraphs() {
  RefreshAveragesAndGraphs(*this);
}

int FakeMainWindow::currentTab() const {
  return tabs_->currentIndex();
}

void FakeMainWindow::setCurrentTab(int tab) {
  tabs_->setCurrentIndex(tab);
}

QList<int> FakeMainWindow::selectedRows(DayPeriod period) const {
  QList<int> rows;
  for (const QModelIndex &i : view(period)->selectionModel()->selectedRows()) {
    rows.append(i.row());
  }
  std::sort(rows.begin(), rows.end());
  return rows;
}

QList<int> FakeMainWindow::markedRows(DayPeriod period) const {
  QList<int> rows = selectedRows(period);
  const PeriodListModel &list = lists_.list(period);
  for (int r = 0; r < list.size(); ++r) {
    if (list.isChecked(r) && !rows.contains(r)) {
      rows.append(r);
    }
  }
  std::sort(rows.begin(), rows.end());
  return rows;
}

void FakeMainWindow::selectRows(DayPeriod period, const QList<int> &rows) {
  QItemSelectionModel *sel = view(period)->selectionModel();
  sel->clearSelection();
  for (int r : rows) {
    sel->select(lists_.list(period).index(r, 0),
                QItemSelectionModel::Select | QItemSelectionModel::Rows);
  }
}

void FakeMainWindow::typeReading(const QString &time, const QString &s, const QString &d,
                                 const QString &p) {
  get<QTimeEdit>(ControlId::TimeField)->setTime(QTime::fromString(time, QStringLiteral("HH:mm")));
  get<QLineEdit>(ControlId::SystolicField)->setText(s);
  get<QLineEdit>(ControlId::DiastolicField)->setText(d);
  get<QLineEdit>(ControlId::PulseField)->setText(p);
}

} // namespace tl::test
