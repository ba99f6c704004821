#include "readings/reading_commands.h"

#include "common/app_state.h"
#include "graphs/graph_canvas.h"
#include "graphs/graph_painter.h"
#include "logbook/context_edit.h"
#include "logbook/workflows.h"
#include "measurements/averages.h"
#include "measurements/context_texts.h"
#include "measurements/parse.h"
#include "measurements/period_list_model.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "ui/drawing.h"
#include "ui/main_window_api.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
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

// The flag boxes of the input panel.
constexpr std::pair<ControlId, ContextFlag> kFlagBoxes[] = {
    {ControlId::IrregularCheck, ContextFlag::Irregular},
    {ControlId::MedicationCheck, ContextFlag::Medication},
    {ControlId::MovementCheck, ContextFlag::Movement},
    {ControlId::CuffMisplacedCheck, ContextFlag::CuffMisplaced}};

// The note and flags typed and ticked in the input panel.
ReadingContext InputContext(MainWindowApi &main) {
  ReadingContext context;
  for (const auto &[id, flag] : kFlagBoxes) {
    if (const QCheckBox *box = Control<QCheckBox>(main, id)) {
      context.set(flag, box->isChecked());
    }
  }
  if (const QLineEdit *note = Control<QLineEdit>(main, ControlId::NoteField)) {
    context.note = CleanNote(note->text());
  }
  return context;
}

void ClearValueFields(MainWindowApi &main) {
  for (ControlId id : kValueFields) {
    if (QLineEdit *edit = Control<QLineEdit>(main, id)) {
      edit->clear();
    }
  }
  for (const auto &[id, flag] : kFlagBoxes) {
    if (QCheckBox *box = Control<QCheckBox>(main, id)) {
      box->setChecked(false);
    }
  }
  if (QLineEdit *note = Control<QLineEdit>(main, ControlId::NoteField)) {
    note->clear();
  }
}

// "Relevé du 14/03/2026 à 08:15 : 131/84, pouls 66 (Matin)".
QString ReadingHeading(const Reading &r, DayPeriod period) {
  return QStringLiteral("Relevé du %1 à %2 : %3/%4, pouls %5 (%6)")
      .arg(r[Reading::Date], r[Reading::Time], r[Reading::Systolic], r[Reading::Diastolic],
           r[Reading::Pulse], PeriodInfo(period).name);
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
    SetLabel(main, PeriodInfo(p).averageValue, AverageText(sums));
    SetLabel(main, PeriodInfo(p).averageCount, BaseLineText(sums.count));
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
  const QString description = GraphDescription(period, main.lists().list(period).readings());
  for (size_t i = 0; i < graphs.size(); ++i) {
    SetLabel(main, graphs[i].title, titles[i]);
    // Screen readers name each graph by its title and read its period and
    // last values as its description.
    if (QWidget *canvas = main.control(graphs[i].canvas)) {
      canvas->setAccessibleName(SpokenText(titles[i]));
      canvas->setAccessibleDescription(description);
    }
  }
}

// "Valeurs inhabituelles : S/D. Enregistrer quand même ?"
QString UnusualValuesQuestion(const Reading &r) {
  return QStringLiteral("Valeurs inhabituelles : %1/%2. Enregistrer quand même ?")
      .arg(r[Reading::Systolic], r[Reading::Diastolic]);
}

QString SecondCopyQuestion(const Reading &r, DayPeriod list) {
  return QStringLiteral("Le relevé du %1 à %2 (%3/%4, pouls %5) est déjà dans la liste %6. "
                        "L'ajouter une seconde fois ?")
      .arg(r[Reading::Date], r[Reading::Time], r[Reading::Systolic], r[Reading::Diastolic],
           r[Reading::Pulse], PeriodInfo(list).name);
}

// Why "Modifier" refused a typed cell text, for its message.
QString RefusedCellText(int cell, CellRefusal refused, const QString &text) {
  switch (refused) {
  case CellRefusal::NotADate:
    return QStringLiteral("« %1 » n'est pas une date : écrivez le jour, le mois et l'année "
                          "sous la forme jj/mm/aaaa, par exemple 08/12/2026.")
        .arg(text);
  case CellRefusal::NotATime:
    return QStringLiteral("« %1 » n'est pas une heure : écrivez les heures et les minutes "
                          "sous la forme hh:mm, par exemple 08:30.")
        .arg(text);
  case CellRefusal::NotAValue: {
    const qint64 *range = cell == Reading::Systolic    ? kSystolicRange
                          : cell == Reading::Diastolic ? kDiastolicRange
                                                       : kPulseRange;
    return QStringLiteral("« %1 » n'est pas une valeur possible : écrivez un nombre entier "
                          "de %2 à %3.")
        .arg(text)
        .arg(range[0])
        .arg(range[1]);
  }
  case CellRefusal::None:
    break;
  }
  return QString();
}

// After readings were deleted or changed in a list: saves, then refreshes
// the counts, the averages and the graphs.
void SaveAndRefresh(MainWindowApi &main) {
  SaveChange(main);
  main.updateStatusCounts();
  RefreshAveragesAndGraphs(main);
}

} // namespace

AddOutcome AddReadingAsking(Logbook &book, QDate date, int minutes, const QString &systolic,
                            const QString &diastolic, const QString &pulse, QWidget *parent) {
  const QString title = QStringLiteral("Ajouter");
  AddAnswers answers;
  AddOutcome added = AddReading(book, date, minutes, systolic, diastolic, pulse, answers);
  // Each question is asked once; a finding that appears only on the second
  // call (the list changed meanwhile) is asked about in its turn.
  while (added.awaitsAnswers(answers)) {
    if (added.unusual && !answers.unusualConfirmed) {
      if (!dialogs().askYesNo(parent, Dialogs::Icon::Warning, title,
                              UnusualValuesQuestion(added.reading), Dialogs::Default::No)) {
        return added;
      }
      answers.unusualConfirmed = true;
    }
    if (added.duplicate && !answers.duplicateConfirmed) {
      if (!dialogs().askYesNo(parent, Dialogs::Icon::Question, title,
                              SecondCopyQuestion(added.reading, added.list),
                              Dialogs::Default::No)) {
        return added;
      }
      answers.duplicateConfirmed = true;
    }
    added = AddReading(book, date, minutes, systolic, diastolic, pulse, answers);
  }
  return added;
}

void FileWithLastReading(MainWindowApi &main, DayPeriod period, const ReadingContext &context) {
  PeriodListModel &list = main.lists().list(period);
  if (context.isEmpty() || list.size() == 0) {
    return;
  }
  const Reading reading = list.reading(list.size() - 1);
  ReadingContexts &contexts = main.logbook().contexts();
  const ReadingContext *known = contexts.find(period, reading);
  ReadingContext merged = known ? *known : ReadingContext();
  merged.flags = quint8(merged.flags | context.flags);
  if (!context.note.isEmpty()) {
    merged.note = context.note;
  }
  contexts.set(period, reading, std::move(merged));
  list.contextsChanged();
}

void ResetInputDateTime(MainWindowApi &main) {
  const QDateTime now = clock().now();
  if (QDateEdit *date = Control<QDateEdit>(main, ControlId::DateField)) {
    date->setDate(now.date());
  }
  if (QTimeEdit *time = Control<QTimeEdit>(main, ControlId::TimeField)) {
    time->setTime(QTime(now.time().hour(), now.time().minute()));
  }
}

QString UnsavedNote(MainWindowApi &main, const SaveOutcome &saved) {
  const QList<PeriodFileError> lost = FailuresHoldingReadings(main.logbook(), saved.failed);
  if (lost.isEmpty() && !saved.contextError) {
    return QString();
  }
  const QString what = lost.isEmpty()
                           ? QStringLiteral("remarques")
                           : FailedPeriodNames(lost) +
                                 (saved.contextError ? QStringLiteral(", remarques") : QString());
  return QStringLiteral("Non enregistré : %1").arg(what);
}

SaveOutcome SaveChange(MainWindowApi &main, bool outsideShown) {
  quint64 before = main.logbook().contexts().revision();
  for (DayPeriod period : kAllPeriods) {
    before += main.lists().list(period).revision();
  }
  SaveOutcome saved = SaveLogbook(main.logbook());
  quint64 after = main.logbook().contexts().revision();
  for (DayPeriod period : kAllPeriods) {
    after += main.lists().list(period).revision();
  }
  if (after != before) {
    main.updateStatusCounts(); // readings came from outside
  }
  if (const QString text = OutsideChangesText(saved); outsideShown && !text.isEmpty()) {
    dialogs().information(main.window(), QStringLiteral("Sauvegarde"), text);
  }
  main.setUnsavedNote(UnsavedNote(main, saved));
  return saved;
}

void AddReadingCommand(MainWindowApi &main) {
  const QDate date = InputDate(main);
  const AddOutcome added = AddReadingAsking(
      main.logbook(), date, InputMinutes(main), FieldText(main, kValueFields[0]),
      FieldText(main, kValueFields[1]), FieldText(main, kValueFields[2]), main.window());
  int fieldToFix = -1;
  if (added.firstEmptyField >= 0) {
    dialogs().message(main.window(), Dialogs::Icon::Information, QStringLiteral("Erreur!"),
                      QStringLiteral("Vous n'avez pas rempli tous les champs de saisie pour "
                                     "ajouter les données au registre."));
    fieldToFix = added.firstEmptyField;
  } else if (added.notANumberField >= 0) {
    const QString names[] = {QStringLiteral("systolique"), QStringLiteral("diastolique"),
                             QStringLiteral("du pouls")};
    dialogs().message(
        main.window(), Dialogs::Icon::Information, QStringLiteral("Erreur!"),
        QStringLiteral("La mesure %1 « %2 » n'est pas un nombre : tapez seulement des chiffres "
                       "pour ajouter les données au registre.")
            .arg(names[added.notANumberField],
                 FieldText(main, kValueFields[size_t(added.notANumberField)])));
    fieldToFix = added.notANumberField;
  } else if (!added.period) {
    fieldToFix = 0; // a question answered "Non"
  }
  if (!added.period) {
    // What was typed stays, and the field to complete or correct takes the
    // keyboard with its text selected.
    if (QLineEdit *edit = Control<QLineEdit>(main, kValueFields[size_t(fieldToFix)])) {
      edit->setFocus(Qt::OtherFocusReason);
      edit->selectAll();
    }
  } else {
    main.updateStatusCounts();
    FileWithLastReading(main, *added.period, InputContext(main));
    ClearValueFields(main);
    // A reading filed on another day than today says so, so that a date
    // left from the day before does not go unnoticed.
    const QDate today = clock().now().date();
    main.setStatusNote(date == today ? QString()
                                     : QStringLiteral("Relevé enregistré au %1, pas aujourd'hui")
                                           .arg(date.toString(QStringLiteral("dd/MM/yyyy"))));
    ResetInputDateTime(main);
    if (QLineEdit *first = Control<QLineEdit>(main, ControlId::SystolicField)) {
      first->setFocus(Qt::OtherFocusReason);
    }
    SaveChange(main);
  }
  // The refresh runs whatever the outcome.
  RefreshAveragesAndGraphs(main);
}

void ClearInputCommand(MainWindowApi &main) { ClearValueFields(main); }

void DeleteMarkedReadings(MainWindowApi &main) {
  DayPeriod period;
  if (!CurrentListPeriod(main, &period)) {
    return;
  }
  // One question per row, in list order; the rows said yes to go together.
  QList<int> confirmed;
  for (int row : ListRows(main.lists().list(period), main.markedRows(period))) {
    if (dialogs().askYesNo(
            main.window(), Dialogs::Icon::Warning, QStringLiteral("Suppression"),
            QStringLiteral("Êtes-vous sûr(e) de vouloir supprimer définitivement ces données ?"))) {
      confirmed << row;
    }
  }
  const int removed = DeleteReadings(main.logbook(), period, confirmed);
  if (removed == 0) {
    return;
  }
  // One refresh after the questions gives the texts and graphs that one
  // refresh per deletion would end with.
  SaveAndRefresh(main);
}

void ShowReadingDetails(MainWindowApi &main) {
  DayPeriod period;
  if (!CurrentListPeriod(main, &period)) {
    return;
  }
  const PeriodListModel &list = main.lists().list(period);
  QList<int> rows = main.selectedRows(period);
  std::sort(rows.begin(), rows.end());
  rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
  for (int row : rows) {
    if (row >= 0 && row < list.size()) {
      const Reading &reading = list.reading(row);
      QString text = ReadingDetailsText(reading);
      if (const ReadingContext *context = main.logbook().contexts().find(period, reading)) {
        // The details' own line breaks (LF CR) for the lines of the context.
        text += ContextDetailsLines(*context, QStringLiteral("\n\r"));
      }
      dialogs().message(main.window(), Dialogs::Icon::Information,
                        QStringLiteral("Détails tension"), text);
    }
  }
}

void ModifyReadingCell(MainWindowApi &main, int cell) {
  DayPeriod period;
  if (!CurrentListPeriod(main, &period)) {
    return;
  }
  if (cell < Reading::Date || cell > Reading::Pulse) {
    return; // the diagnosis sentence is never edited by hand
  }
  PeriodListModel &list = main.lists().list(period);
  const QString title = QStringLiteral("Modifier ") + ReadingColumnTitles()[size_t(cell)];
  int changed = 0;
  int moved = 0; // each reading moved away shifts the rows after it up by one
  // One row at a time: each answer is told about before the next question.
  for (int selected : ListRows(list, main.selectedRows(period))) {
    const int row = selected - moved;
    if (row >= list.size()) {
      break;
    }
    const QString answer = dialogs().inputText(
        main.window(), title, QStringLiteral("Nouvelles données :"), list.reading(row)[cell]);
    const QList<CellOutcome> done =
        ModifyReadings(main.logbook(), period, cell, {CellChange{row, answer}});
    if (done.isEmpty()) {
      continue;
    }
    const CellOutcome &outcome = done[0];
    if (outcome.refused != CellRefusal::None) {
      dialogs().information(main.window(), title,
                            RefusedCellText(cell, outcome.refused, outcome.text) +
                                QStringLiteral("\n\nLe relevé n'a pas changé."));
    }
    changed += outcome.changed ? 1 : 0;
    if (outcome.movedTo) {
      ++moved;
      dialogs().information(
          main.window(), title,
          QStringLiteral("Le relevé de %1 a été déplacé dans la liste « %2 ».")
              .arg(outcome.text, PeriodInfo(*outcome.movedTo).tabText.simplified()));
    }
  }
  if (changed > 0) {
    SaveAndRefresh(main); // the same refresh as "Ajouter"
  }
}

void EditReadingContexts(MainWindowApi &main) {
  DayPeriod period;
  if (!CurrentListPeriod(main, &period)) {
    return;
  }
  PeriodListModel &list = main.lists().list(period);
  QList<int> rows = main.selectedRows(period);
  rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
  bool changed = false;
  for (int row : rows) {
    if (row < 0 || row >= list.size()) {
      continue;
    }
    const Reading reading = list.reading(row);
    const ReadingContext *known = main.logbook().contexts().find(period, reading);
    const ReadingContext before = known ? *known : ReadingContext();
    Dialogs::NoteForm form;
    form.heading = ReadingHeading(reading, period);
    form.lineLabel = QStringLiteral("Remarque :");
    form.text = before.note;
    form.maxLength = int(kMaxNoteLength);
    for (ContextFlag flag : kAllContextFlags) {
      form.labels << ContextFlagLabel(flag);
      form.checked << before.has(flag);
    }
    if (!dialogs().editNote(main.window(), QStringLiteral("Remarque"), form)) {
      continue;
    }
    // The form shows the note and every flag; flags of a later version,
    // not in the form, stay.
    ContextChange change;
    change.note = form.text;
    for (size_t i = 0; i < kAllContextFlags.size(); ++i) {
      change.set(kAllContextFlags[i], qsizetype(i) < form.checked.size() && form.checked[int(i)]);
    }
    changed = ChangeReadingContext(main.logbook(), period, reading, change) || changed;
  }
  if (changed) {
    SaveChange(main);
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
