#include "readings/reading_commands.h"

#include "common/app_state.h"
#include "common/paths.h"
#include "graphs/graph_canvas.h"
#include "graphs/graph_painter.h"
#include "measurements/averages.h"
#include "measurements/classification.h"
#include "measurements/parse.h"
#include "measurements/period_list_model.h"
#include "platform/dialogs.h"
#include "ui/main_window_api.h"

#include <QComboBox>
#include <QDateEdit>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QTimeEdit>
#include <algorithm>
#include <array>
#include <optional>

namespace tl {

namespace {

template <typename W> W *Control(MainWindowApi &main, ControlId id) {
  return qobject_cast<W *>(main.control(id));
}

// The three value fields of the input panel, in cell order.
constexpr std::array<ControlId, 3> kValueFields = {
    ControlId::SystolicField, ControlId::DiastolicField, ControlId::PulseField};

QString FieldText(MainWindowApi &main, ControlId id) {
  QLineEdit *edit = Control<QLineEdit>(main, id);
  return edit ? edit->text() : QString();
}

void ClearValueFields(MainWindowApi &main) {
  for (ControlId id : kValueFields) {
    if (QLineEdit *edit = Control<QLineEdit>(main, id)) {
      edit->clear();
    }
  }
}

// The day and time of the input panel; no day, or -1 minutes, without it.
QDate InputDate(MainWindowApi &main) {
  QDateEdit *edit = Control<QDateEdit>(main, ControlId::DateField);
  return edit ? edit->date() : QDate();
}

int InputMinutes(MainWindowApi &main) {
  QTimeEdit *edit = Control<QTimeEdit>(main, ControlId::TimeField);
  const QTime time = edit ? edit->time() : QTime();
  return time.isValid() ? time.hour() * 60 + time.minute() : -1;
}

// The period list of the tab shown, or false on the averages tab.
bool CurrentListPeriod(MainWindowApi &main, DayPeriod *period) {
  const int tab = main.currentTab();
  for (DayPeriod p : kAllPeriods) {
    if (PeriodInfo(p).tabIndex == tab) {
      *period = p;
      return true;
    }
  }
  return false;
}

QList<int> SortedRows(QList<int> rows) {
  std::sort(rows.begin(), rows.end());
  rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
  return rows;
}

// Removes a period's measurement file, also when it is marked read-only.
void RemoveMeasurementFile(const QString &path) {
  if (path.isEmpty() || !QFile::exists(path)) {
    return;
  }
  QFile file(path);
  if (!file.remove()) {
    file.setPermissions(file.permissions() | QFileDevice::WriteOwner | QFileDevice::WriteUser);
    file.remove();
  }
}

// The curve style in force: the stored one, or with none stored the one the
// style selector shows, so that the selector never claims a style that is
// not drawn.
int EffectiveCurveStyle(MainWindowApi &main) {
  const int stored = State().curveStyle;
  if (stored >= kCurveLines && stored <= kCurveCircled) {
    return stored;
  }
  if (QComboBox *selector = Control<QComboBox>(main, ControlId::CurveStyleSelector)) {
    const int shown = selector->currentIndex() + 1;
    if (shown >= kCurveLines && shown <= kCurveCircled) {
      return shown;
    }
  }
  return kCurveCircled;
}

constexpr std::array<ControlId, 4> kAverageValues = {
    ControlId::AverageValueMatin, ControlId::AverageValueJour, ControlId::AverageValueSoir,
    ControlId::AverageValueNuit};
constexpr std::array<ControlId, 4> kAverageCounts = {
    ControlId::AverageCountMatin, ControlId::AverageCountJour, ControlId::AverageCountSoir,
    ControlId::AverageCountNuit};

void SetLabel(MainWindowApi &main, ControlId id, const QString &text) {
  if (QLabel *label = Control<QLabel>(main, id)) {
    label->setText(text);
  }
}

// The sums of a series taken from a list (as SumReadings would give).
ReadingSums SumsOf(const GraphSeries &series) {
  ReadingSums sums;
  for (size_t i = 0; i < series.systolic.size(); ++i) {
    sums.systolic = SaturatingAdd(sums.systolic, series.systolic[i]);
    sums.diastolic = SaturatingAdd(sums.diastolic, series.diastolic[i]);
    sums.pulse = SaturatingAdd(sums.pulse, series.pulse[i]);
  }
  sums.count = qint64(series.systolic.size());
  return sums;
}

// The five average boxes. Each list is summed once (or its sums are given);
// the overall average adds the four sums, which weighs each period by its
// number of readings.
void WriteAverages(MainWindowApi &main, const std::array<std::optional<ReadingSums>, 4> &known) {
  const PeriodLists &lists = main.lists();
  ReadingSums all;
  for (DayPeriod p : kAllPeriods) {
    const size_t i = size_t(PeriodIndex(p));
    const ReadingSums sums = known[i] ? *known[i] : SumReadings(lists.list(p).readings());
    all.add(sums);
    SetLabel(main, kAverageValues[i], AverageText(sums));
    SetLabel(main, kAverageCounts[i], BaseLineText(sums.count));
  }
  SetLabel(main, ControlId::AverageValueOverall, AverageText(all));
  SetLabel(main, ControlId::AverageCountOverall, BaseLineText(all.count));
}

// The three graphs of a period's series, then their titles.
void DrawGraphs(MainWindowApi &main, DayPeriod period, const GraphSeries &series) {
  const int style = EffectiveCurveStyle(main);
  const bool dark = State().darkAppearance;

  struct Graph {
    ControlId canvas;
    ControlId title;
    const std::vector<qint64> &values;
    QColor colour;
  };
  const std::array<Graph, 3> graphs = {{
      {ControlId::SystolicGraph, ControlId::SystolicGraphTitle, series.systolic,
       SystolicCurveColour()},
      {ControlId::DiastolicGraph, ControlId::DiastolicGraphTitle, series.diastolic,
       DiastolicCurveColour()},
      {ControlId::PulseGraph, ControlId::PulseGraphTitle, series.pulse, PulseCurveColour()},
  }};
  for (const Graph &g : graphs) {
    if (GraphCanvas *canvas = Control<GraphCanvas>(main, g.canvas)) {
      DrawOneGraph(*canvas, g.values, g.colour, style, dark);
    }
  }
  const std::array<QString, 3> titles = GraphTitles(period);
  for (size_t i = 0; i < graphs.size(); ++i) {
    SetLabel(main, graphs[i].title, titles[i]);
  }
}

} // namespace

void AddReadingCommand(MainWindowApi &main) {
  const QString systolic = FieldText(main, ControlId::SystolicField);
  const QString diastolic = FieldText(main, ControlId::DiastolicField);
  const QString pulse = FieldText(main, ControlId::PulseField);

  if (systolic.isEmpty() || diastolic.isEmpty() || pulse.isEmpty()) {
    dialogs().message(main.window(), Dialogs::Icon::Information, QStringLiteral("Erreur!"),
                      QStringLiteral("Vous n'avez pas rempli tous les champs de saisie pour "
                                     "ajouter les données au registre."));
    // What was typed stays, and the first empty field takes the keyboard so
    // the user can complete the reading.
    for (ControlId id : kValueFields) {
      QLineEdit *edit = Control<QLineEdit>(main, id);
      if (edit && edit->text().isEmpty()) {
        edit->setFocus(Qt::OtherFocusReason);
        break;
      }
    }
    // The refresh runs whatever the outcome, as after an added reading.
    RefreshAveragesAndGraphs(main);
    return;
  }

  Reading reading =
      MakeReadingFromValues(InputDate(main), InputMinutes(main), ParseLeadingInteger(systolic),
                            ParseLeadingInteger(diastolic), ParseLeadingInteger(pulse));
  const DayPeriod period = PeriodOfTime(reading[Reading::Time]);
  main.lists().list(period).append(std::move(reading));
  main.updateStatusCounts();

  ClearValueFields(main);
  if (QLineEdit *first = Control<QLineEdit>(main, ControlId::SystolicField)) {
    first->setFocus(Qt::OtherFocusReason);
  }
  RefreshAveragesAndGraphs(main);
}

void ClearInputCommand(MainWindowApi &main) { ClearValueFields(main); }

void DeleteMarkedReadings(MainWindowApi &main) {
  DayPeriod period;
  if (!CurrentListPeriod(main, &period)) {
    return;
  }
  PeriodListModel &list = main.lists().list(period);
  // The rows marked when the command starts; each removal shifts the rows
  // after it up by one.
  const QList<int> marked = SortedRows(main.markedRows(period));
  int removed = 0;
  for (int row : marked) {
    const bool yes = dialogs().askYesNo(
        main.window(), Dialogs::Icon::Warning, QStringLiteral("Suppression"),
        QStringLiteral("Êtes-vous sûr(e) de vouloir supprimer définitivement ces données ?"));
    if (!yes) {
      continue;
    }
    list.removeReading(row - removed);
    ++removed;
    main.updateStatusCounts();
  }
  if (removed == 0) {
    return;
  }
  // An emptied period must not come back from its file at the next start.
  if (list.size() == 0) {
    RemoveMeasurementFile(Paths().measurementFile(period));
  }
  // One refresh after the questions gives the texts and graphs that one
  // refresh per deletion would end with.
  RefreshAveragesAndGraphs(main);
}

void ShowReadingDetails(MainWindowApi &main) {
  DayPeriod period;
  if (!CurrentListPeriod(main, &period)) {
    return;
  }
  const PeriodListModel &list = main.lists().list(period);
  const QString br = QStringLiteral("\n\r");
  for (int row : SortedRows(main.selectedRows(period))) {
    if (row < 0 || row >= list.size()) {
      continue;
    }
    const Reading &r = list.reading(row);
    const QString text =
        QStringLiteral("Date : ") + r[Reading::Date] + QStringLiteral("  Heure : ") +
        r[Reading::Time] + br + QStringLiteral("Systolique : ") + r[Reading::Systolic] + br +
        QStringLiteral("Diastolique : ") + r[Reading::Diastolic] + br + QStringLiteral("Pouls : ") +
        r[Reading::Pulse] + br + QStringLiteral("Diagnostic : ") + r[Reading::Diagnosis] + br;
    dialogs().message(main.window(), Dialogs::Icon::Information, QStringLiteral("Détails tension"),
                      text);
  }
}

void ModifyReadingCell(MainWindowApi &main, int cell) {
  if (cell < Reading::Date || cell > Reading::Pulse) {
    return; // the diagnosis sentence is never edited by hand
  }
  DayPeriod period;
  if (!CurrentListPeriod(main, &period)) {
    return;
  }
  PeriodListModel &list = main.lists().list(period);
  const QString title = QStringLiteral("Modifier ") + ReadingColumnTitles()[size_t(cell)];
  for (int row : SortedRows(main.selectedRows(period))) {
    if (row < 0 || row >= list.size()) {
      continue;
    }
    const QString answer = dialogs().inputText(
        main.window(), title, QStringLiteral("Nouvelles données :"), list.reading(row)[cell]);
    if (!answer.isEmpty()) {
      list.setCell(row, cell, answer);
    }
  }
}

void RefreshAverages(MainWindowApi &main) { WriteAverages(main, {}); }

void RefreshAveragesAndGraphs(MainWindowApi &main) {
  // The Matin numbers are taken from the list once, for its average and its
  // graphs alike.
  const GraphSeries matin = SeriesOf(main.lists().list(DayPeriod::Matin).readings());
  std::array<std::optional<ReadingSums>, 4> known;
  known[size_t(PeriodIndex(DayPeriod::Matin))] = SumsOf(matin);
  WriteAverages(main, known);
  if (QComboBox *selector = Control<QComboBox>(main, ControlId::GraphPeriodSelector)) {
    // Set quietly: the graphs are drawn just below, once.
    const QSignalBlocker quiet(selector);
    selector->setCurrentIndex(PeriodIndex(DayPeriod::Matin));
  }
  State().graphPeriod = DayPeriod::Matin;
  DrawGraphs(main, DayPeriod::Matin, matin);
}

void DrawPeriodGraphs(MainWindowApi &main, DayPeriod period) {
  DrawGraphs(main, period, SeriesOf(main.lists().list(period).readings()));
}

void GraphPeriodChosen(MainWindowApi &main, int index) {
  if (index < 0 || index >= int(kAllPeriods.size())) {
    return;
  }
  const DayPeriod period = kAllPeriods[size_t(index)];
  State().graphPeriod = period;
  // An empty period leaves the graphs and titles of the previous one on show.
  if (main.lists().list(period).size() > 0) {
    DrawPeriodGraphs(main, period);
  }
}

void CurveStyleChosen(MainWindowApi &main, int index) {
  const int style = index + 1;
  if (style < kCurveLines || style > kCurveCircled) {
    return;
  }
  State().curveStyle = style;
  int periodIndex = PeriodIndex(State().graphPeriod);
  if (QComboBox *selector = Control<QComboBox>(main, ControlId::GraphPeriodSelector)) {
    periodIndex = selector->currentIndex();
  }
  GraphPeriodChosen(main, periodIndex);
}

} // namespace tl
