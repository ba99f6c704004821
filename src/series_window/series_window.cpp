#include "series_window/series_window.h"

#include "common/app_state.h"
#include "common/control_ids.h"
#include "common/error_text.h"
#include "common/identity.h"
#include "common/paths.h"
#include "common/preferences_file.h"
#include "measurements/classification.h"
#include "measurements/period_list_model.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/system_theme.h"
#include "reports/doctor_report.h"
#include "reports/report_files.h"
#include "reports/series_form.h"
#include "theme/colour_rules.h"
#include "theme/control_colour.h"
#include "theme/dark_scheme.h"
#include "ui/assets/assets.h"
#include "ui/controls.h"
#include "ui/documents.h"
#include "ui/drawing.h"
#include "ui/fit_text.h"
#include "ui/read_only.h"

#include <QComboBox>
#include <QDateEdit>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimeEdit>
#include <QVBoxLayout>

namespace tl {

namespace {

constexpr int kWidth = 820;
constexpr int kHeight = 660;
constexpr int kBarHeight = 50;

const QString kDateMask = QStringLiteral("dd/MM/yyyy");
const QString kErrorTitle = QStringLiteral("Erreur!");
const QString kNothingToShow =
    QStringLiteral("Aucune mesure du matin ou du soir : rien à présenter.");
const QString kNoReadingInRange = QStringLiteral("Aucune mesure lisible : rien à présenter.");

QLabel *MakeLabel(const QString &text, ControlId id, QWidget *parent) {
  auto *label = new QLabel(text, parent);
  label->setTextFormat(Qt::PlainText);
  SetControlNumber(label, id);
  return label;
}

// A centred message in the shared font, sized for its text even while its
// page has not been laid out yet.
QLabel *MakeMessage(const QString &text, ControlId id, QWidget *parent) {
  QLabel *label = MakeLabel(text, id, parent);
  label->setFont(SharedFont(0));
  label->setAlignment(Qt::AlignCenter);
  label->setMinimumSize(label->sizeHint());
  label->resize(label->sizeHint());
  return label;
}

QDateEdit *MakeDatePicker(ControlId id, QLabel *label, QWidget *parent) {
  auto *picker = new QDateEdit(parent);
  picker->setDisplayFormat(kDateMask);
  picker->setCalendarPopup(true);
  picker->setMinimumWidth(120);
  picker->setAccessibleName(label->text().chopped(2));
  label->setBuddy(picker);
  SetControlNumber(picker, id);
  return picker;
}

QTableWidget *MakeTable(ControlId id, const QString &name, QWidget *parent) {
  auto *table = new QTableWidget(parent);
  table->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table->setSelectionMode(QAbstractItemView::NoSelection);
  table->setTabKeyNavigation(false);
  table->verticalHeader()->hide();
  table->setWordWrap(false);
  table->setAccessibleName(name);
  SetControlNumber(table, id);
  return table;
}

QTableWidgetItem *Cell(const QString &text, Qt::Alignment align = Qt::AlignCenter) {
  auto *item = new QTableWidgetItem(text);
  item->setTextAlignment(align);
  return item;
}

// The patient's settings kept in the preferences file; without them, the
// protocol chosen before settings were kept per patient, or the defaults.
SeriesSettings KeptSettings(const QString &patient) {
  const Preferences prefs = ReadPreferences(PreferencesReader::fromFile(Paths().preferencesFile));
  return PatientSeriesSettings(PatientEntryOf(prefs.seriesPatients, patient), prefs.seriesProtocol);
}

// Keeps the patient's settings in the preferences file, every other key as
// it is there.
void KeepSettings(const QString &patient, const SeriesSettings &settings) {
  UpdatePreferencesFile([&](Preferences &prefs) {
    prefs.seriesPatients =
        WithPatientEntry(prefs.seriesPatients, patient, SeriesSettingsText(settings));
  });
}

// The ends the evening selector offers: the usual 23:59, then every quarter
// of an hour of the next day until the latest end.
std::vector<int> EveningEnds() {
  std::vector<int> ends = {SessionWindows().eveningEnd};
  for (int end = 24 * 60 + 15; end < kLatestEveningEnd; end += 15) {
    ends.push_back(end);
  }
  ends.push_back(kLatestEveningEnd);
  return ends;
}

QString EveningEndText(int end) {
  return end >= 24 * 60 ? TimeText(end - 24 * 60) + QStringLiteral(" le lendemain") : TimeText(end);
}

// A selector sized for its longest text even before its page is first laid out.
void FitSelector(QComboBox *selector) {
  selector->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  selector->setMinimumWidth(selector->sizeHint().width());
  selector->resize(selector->minimumSize());
}

QString MomentMeans(const QString &name, const SeriesSums &sums) {
  if (sums.count == 0) {
    return name + QStringLiteral(" : aucune mesure retenue");
  }
  return QStringLiteral("%1 : %2 / %3 mmHg, pouls %4 (%5 mesures)")
      .arg(name, FrenchTenths(MeanTenths(sums.systolic, sums.count)),
           FrenchTenths(MeanTenths(sums.diastolic, sums.count)),
           FrenchTenths(MeanTenths(sums.pulse, sums.count)))
      .arg(sums.count);
}

} // namespace

SeriesWindow::SeriesWindow(const PeriodLists &lists, ReportIdentity who, QString printFolder,
                           QWidget *parent, const ReadingContexts *contexts)
    : QDialog(parent), lists_(lists), contexts_(contexts), who_(std::move(who)),
      printFolder_(std::move(printFolder)) {
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint);
  setWindowTitle(QStringLiteral("Relevé d'automesure"));
  setFixedSize(kWidth, kHeight);

  AddBanner(this, ControlId::SeriesBanner, kWidth, QColor(99, 184, 255), QColor(0, 0, 128),
            ImageIcon(6), TitleLine(),
            who_.name.isEmpty() ? QStringLiteral("Relevé d'automesure")
                                : QStringLiteral("Relevé d'automesure de ") + who_.name);

  tabs_ = new QTabWidget(this);
  tabs_->setGeometry(6, kBannerHeight + 6, kWidth - 12, kHeight - kBannerHeight - kBarHeight - 10);
  tabs_->addTab(buildSeriesPage(), QStringLiteral("Relevé d'automesure"));
  tabs_->addTab(buildReportPage(), QStringLiteral("Rapport pour le médecin"));
  tabs_->setAccessibleName(QStringLiteral("Relevé d'automesure et rapport pour le médecin"));
  SetControlNumber(tabs_, ControlId::SeriesTabs);

  auto *bar = new QFrame(this);
  bar->setGeometry(0, kHeight - kBarHeight, kWidth, kBarHeight);
  bar->setFrameStyle(QFrame::StyledPanel | QFrame::Raised);
  SetControlNumber(bar, ControlId::SeriesButtonBar);
  const DrawnButtonEntry buttons[] = {
      {&pdf_, ControlId::SeriesButtonPdf, 10, 170, 258, QStringLiteral("Enregistrer le PDF"),
       QStringLiteral("Enregistrer la page affichée en PDF dans le dossier d'impression, "
                      "l'ouvrir et dire où il est.")},
      {&print_, ControlId::SeriesButtonPrint, 190, 130, 225, QStringLiteral("Imprimer..."),
       QStringLiteral("Choisir une imprimante et imprimer la page affichée.")},
      {&preview_, ControlId::SeriesButtonPreview, 330, 130, 70, QStringLiteral("Aperçu..."),
       QStringLiteral("Voir les pages avant de les imprimer.")},
      {&close_, ControlId::SeriesButtonClose, kWidth - 120, 110, 109, QStringLiteral("Fermer"),
       QStringLiteral("Fermer la fenêtre.")},
  };
  AddDrawnButtons(bar, 10, 30, buttons);
  for (const DrawnButtonEntry &entry : buttons) {
    (*entry.button)->setBorder(QColor(120, 138, 160));
  }
  connect(pdf_, &DrawnButton::clicked, this, [this] { savePdf(); });
  connect(print_, &DrawnButton::clicked, this, &SeriesWindow::print);
  connect(preview_, &DrawnButton::clicked, this, &SeriesWindow::preview);
  connect(close_, &DrawnButton::clicked, this, &QDialog::accept);
  connect(tabs_, &QTabWidget::currentChanged, this, &SeriesWindow::updateButtons);

  // The patient's settings, the latest series and the last 30 days by
  // default.
  showSettings(KeptSettings(who_.name));
  const SeriesSettings shown = settings();
  defaultStart_ = DefaultSeriesStart(ListsOf(lists_), shown.protocol, shown.windows);
  if (defaultStart_) {
    hasSeriesReadings_ = true;
    const QSignalBlocker block(start_);
    start_->setDate(*defaultStart_);
  }
  if (const auto range = DefaultReportRange(lists_)) {
    hasReportReadings_ = true;
    const QSignalBlocker blockFrom(from_);
    const QSignalBlocker blockTo(to_);
    from_->setDate(range->first);
    to_->setDate(range->second);
  }
  recomputeSeries();
  recomputeReport();

  setTabOrder(protocol_, start_);
  setTabOrder(start_, morningStart_);
  setTabOrder(morningStart_, eveningEnd_);
  setTabOrder(eveningEnd_, grid_);
  setTabOrder(grid_, excluded_);
  setTabOrder(excluded_, pdf_);
  setTabOrder(pdf_, print_);
  setTabOrder(print_, preview_);
  setTabOrder(preview_, close_);
  protocol_->setFocus();
  if (State().darkAppearance) {
    applyDarkScheme();
  }
}

SeriesWindow::~SeriesWindow() = default;

void SeriesWindow::showEvent(QShowEvent *event) {
  QDialog::showEvent(event);
  // The page not shown is laid out too, so that its controls have their
  // sizes (for screen readers and pictures) before it is first opened.
  for (int i = 0; i < tabs_->count(); ++i) {
    QWidget *page = tabs_->widget(i);
    page->setGeometry(tabs_->currentWidget()->geometry());
    for (QWidget *widget : QList<QWidget *>{page} + page->findChildren<QWidget *>()) {
      if (widget->layout()) { // parents first
        widget->layout()->invalidate();
        widget->layout()->activate();
      }
    }
  }
  fitGridColumns();
}

QWidget *SeriesWindow::buildSeriesPage() {
  auto *page = new QWidget;
  auto *layout = new QVBoxLayout(page);
  // Tight rows: a series of seven days fits without scrolling.
  layout->setContentsMargins(9, 6, 9, 6);
  layout->setSpacing(4);
  auto *choices = new QHBoxLayout;
  QLabel *protocolLabel =
      MakeLabel(QStringLiteral("Protocole : "), ControlId::SeriesProtocolLabel, page);
  protocol_ = new QComboBox(page);
  for (Protocol p : kProtocols) {
    protocol_->addItem(ProtocolOf(p).text, ProtocolOf(p).key);
  }
  protocol_->setAccessibleName(QStringLiteral("Protocole"));
  FitSelector(protocol_);
  protocolLabel->setBuddy(protocol_);
  SetControlNumber(protocol_, ControlId::SeriesProtocol);
  QLabel *startLabel =
      MakeLabel(QStringLiteral("Premier jour : "), ControlId::SeriesStartLabel, page);
  start_ = MakeDatePicker(ControlId::SeriesStart, startLabel, page);
  choices->addWidget(protocolLabel);
  choices->addWidget(protocol_);
  choices->addSpacing(20);
  choices->addWidget(startLabel);
  choices->addWidget(start_);
  choices->addStretch();
  layout->addLayout(choices);

  // The sessions may start earlier in the morning and end later at night.
  auto *windows = new QHBoxLayout;
  QLabel *morningLabel =
      MakeLabel(QStringLiteral("Matin à partir de : "), ControlId::SeriesMorningStartLabel, page);
  morningStart_ = new QTimeEdit(page);
  morningStart_->setDisplayFormat(QStringLiteral("HH:mm"));
  const SessionWindows usual;
  morningStart_->setTimeRange(QTime(kEarliestMorningStart / 60, kEarliestMorningStart % 60),
                              QTime(usual.morningStart / 60, usual.morningStart % 60));
  morningStart_->setAccessibleName(morningLabel->text().chopped(3));
  morningStart_->setToolTip(QStringLiteral("L'heure dès laquelle une mesure compte pour le matin, "
                                           "de 04:00 à 06:01."));
  morningLabel->setBuddy(morningStart_);
  SetControlNumber(morningStart_, ControlId::SeriesMorningStart);
  QLabel *eveningLabel =
      MakeLabel(QStringLiteral("Soir jusqu'à : "), ControlId::SeriesEveningEndLabel, page);
  eveningEnd_ = new QComboBox(page);
  for (int end : EveningEnds()) {
    eveningEnd_->addItem(EveningEndText(end), end);
  }
  eveningEnd_->setAccessibleName(eveningLabel->text().chopped(3));
  eveningEnd_->setToolTip(
      QStringLiteral("L'heure jusqu'à laquelle une mesure compte pour le soir ; "
                     "après minuit, pour le soir de la veille."));
  FitSelector(eveningEnd_);
  eveningLabel->setBuddy(eveningEnd_);
  SetControlNumber(eveningEnd_, ControlId::SeriesEveningEnd);
  windowsText_ = MakeLabel(QString(), ControlId::SeriesWindows, page);
  windowsText_->setWordWrap(true);
  windows->addWidget(morningLabel);
  windows->addWidget(morningStart_);
  windows->addSpacing(20);
  windows->addWidget(eveningLabel);
  windows->addWidget(eveningEnd_);
  windows->addSpacing(20);
  windows->addWidget(windowsText_, 1);
  layout->addLayout(windows);

  empty_ = MakeMessage(kNothingToShow, ControlId::SeriesEmpty, page);
  layout->addWidget(empty_, 1);

  seriesContent_ = new QWidget(page);
  auto *content = new QVBoxLayout(seriesContent_);
  content->setContentsMargins(0, 0, 0, 0);
  content->setSpacing(3);
  grid_ = MakeTable(ControlId::SeriesGrid, QStringLiteral("Mesures du relevé"), seriesContent_);
  content->addWidget(grid_, 1);
  means_ = MakeLabel(QString(), ControlId::SeriesMeans, seriesContent_);
  means_->setWordWrap(true);
  content->addWidget(means_);
  verdict_ = MakeLabel(QString(), ControlId::SeriesVerdict, seriesContent_);
  verdict_->setWordWrap(true);
  content->addWidget(verdict_);
  QLabel *excludedLabel = MakeLabel(QStringLiteral("Mesures non retenues :"),
                                    ControlId::SeriesExcludedLabel, seriesContent_);
  content->addWidget(excludedLabel);
  excluded_ = new QPlainTextEdit(seriesContent_);
  excluded_->setReadOnly(true);
  excluded_->setFixedHeight(70);
  excluded_->setTabChangesFocus(true);
  excluded_->setAccessibleName(QStringLiteral("Mesures non retenues"));
  SetControlNumber(excluded_, ControlId::SeriesExcluded);
  content->addWidget(excluded_);
  layout->addWidget(seriesContent_, 1);

  connect(protocol_, &QComboBox::currentIndexChanged, this, [this] { settingsChanged(true); });
  connect(morningStart_, &QTimeEdit::timeChanged, this, [this] { settingsChanged(false); });
  connect(eveningEnd_, &QComboBox::currentIndexChanged, this, [this] { settingsChanged(false); });
  connect(start_, &QDateEdit::dateChanged, this, &SeriesWindow::recomputeSeries);
  return page;
}

SeriesSettings SeriesWindow::settings() const {
  SeriesSettings shown;
  shown.protocol = kProtocols[std::max(0, protocol_->currentIndex())];
  shown.windows.morningStart = morningStart_->time().msecsSinceStartOfDay() / 60000;
  shown.windows.eveningEnd = eveningEnd_->currentData().toInt();
  return shown;
}

void SeriesWindow::showSettings(const SeriesSettings &settings) {
  const QSignalBlocker blockProtocol(protocol_);
  const QSignalBlocker blockMorning(morningStart_);
  const QSignalBlocker blockEvening(eveningEnd_);
  const SessionWindows windows = ClampedWindows(settings.windows);
  protocol_->setCurrentIndex(ProtocolIndex(settings.protocol));
  morningStart_->setTime(QTime(windows.morningStart / 60, windows.morningStart % 60));
  // An end written by hand between the choices is offered too.
  int index = eveningEnd_->findData(windows.eveningEnd);
  if (index < 0) {
    index = 0;
    while (index < eveningEnd_->count() &&
           eveningEnd_->itemData(index).toInt() < windows.eveningEnd) {
      ++index;
    }
    eveningEnd_->insertItem(index, EveningEndText(windows.eveningEnd), windows.eveningEnd);
  }
  eveningEnd_->setCurrentIndex(index);
}

void SeriesWindow::settingsChanged(bool protocolChanged) {
  const SeriesSettings chosen = settings();
  KeepSettings(who_.name, chosen);
  // Another protocol: the series ends again on the last day measured. Other
  // windows move a series shown by default, not one the person chose.
  const bool byDefault = !defaultStart_ || start_->date() == *defaultStart_;
  defaultStart_ = DefaultSeriesStart(ListsOf(lists_), chosen.protocol, chosen.windows);
  hasSeriesReadings_ = defaultStart_.has_value();
  if (defaultStart_ && (protocolChanged || byDefault)) {
    const QSignalBlocker block(start_);
    start_->setDate(*defaultStart_);
  }
  recomputeSeries();
}

QWidget *SeriesWindow::buildReportPage() {
  auto *page = new QWidget;
  auto *layout = new QVBoxLayout(page);
  auto *choices = new QHBoxLayout;
  QLabel *fromLabel = MakeLabel(QStringLiteral("Du : "), ControlId::ReportFromLabel, page);
  from_ = MakeDatePicker(ControlId::ReportFrom, fromLabel, page);
  QLabel *toLabel = MakeLabel(QStringLiteral("Au : "), ControlId::ReportToLabel, page);
  to_ = MakeDatePicker(ControlId::ReportTo, toLabel, page);
  choices->addWidget(fromLabel);
  choices->addWidget(from_);
  choices->addSpacing(20);
  choices->addWidget(toLabel);
  choices->addWidget(to_);
  choices->addStretch();
  layout->addLayout(choices);

  reportEmpty_ = MakeMessage(kNoReadingInRange, ControlId::ReportEmpty, page);
  layout->addWidget(reportEmpty_, 1);

  reportContent_ = new QWidget(page);
  auto *content = new QVBoxLayout(reportContent_);
  content->setContentsMargins(0, 0, 0, 0);
  statistics_ = MakeTable(ControlId::ReportStatistics, QStringLiteral("Statistiques descriptives"),
                          reportContent_);
  const QStringList headers = StatisticsHeaders();
  statistics_->setColumnCount(int(headers.size()));
  statistics_->setHorizontalHeaderLabels(headers);
  statistics_->setRowCount(5);
  statistics_->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
  statistics_->horizontalHeader()->setMinimumHeight(40);
  statistics_->setFixedHeight(40 + 5 * 30 + 4);
  content->addWidget(statistics_);
  auto *note = new QLabel(
      QStringLiteral("(*) Mesures d'au moins 135 mmHg de systolique ou 85 mmHg de diastolique, "
                     "comptées une à une : un chiffre descriptif, le seuil s'applique à la "
                     "moyenne d'une série."),
      reportContent_);
  note->setWordWrap(true);
  content->addWidget(note);
  reportNotes_ = new QLabel(reportContent_);
  reportNotes_->setTextFormat(Qt::PlainText);
  reportNotes_->setWordWrap(true);
  content->addWidget(reportNotes_);
  classes_ =
      MakeTable(ControlId::ReportClasses, QStringLiteral("Classement des mesures"), reportContent_);
  classes_->setColumnCount(3);
  classes_->setHorizontalHeaderLabels(
      {QStringLiteral("Classe de consultation du carnet, mesure par mesure (pas le verdict de la "
                      "série)"),
       QStringLiteral("Mesures"), QStringLiteral("Part")});
  classes_->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
  classes_->setColumnWidth(1, 110);
  classes_->setColumnWidth(2, 110);
  content->addWidget(classes_, 1);
  layout->addWidget(reportContent_, 1);

  connect(from_, &QDateEdit::dateChanged, this, &SeriesWindow::recomputeReport);
  connect(to_, &QDateEdit::dateChanged, this, &SeriesWindow::recomputeReport);
  return page;
}

void SeriesWindow::recomputeSeries() {
  empty_->setVisible(!hasSeriesReadings_);
  seriesContent_->setVisible(hasSeriesReadings_);
  start_->setEnabled(hasSeriesReadings_);
  protocol_->setEnabled(hasSeriesReadings_);
  const SeriesSettings chosen = settings();
  const ProtocolInfo &info = ProtocolOf(chosen.protocol);
  series_ =
      ComputeSeries(ListsOf(lists_), chosen.protocol, start_->date(), chosen.windows, contexts_);
  windowsText_->setText(WindowsSentence(series_.windows));

  // One row per day and session; each kept reading as its time, "S/D" and pulse.
  grid_->clear();
  grid_->setColumnCount(2 + info.perSession);
  QStringList headers = {QStringLiteral("Jour"), QStringLiteral("Moment")};
  for (int m = 1; m <= info.perSession; ++m) {
    headers << QStringLiteral("Mesure %1").arg(m);
  }
  grid_->setHorizontalHeaderLabels(headers);
  const int days = int(series_.days.size());
  grid_->setRowCount(2 * days);
  const QBrush apart(QColor(214, 214, 214));
  for (int d = 0; d < days; ++d) {
    const SeriesDay &day = series_.days[size_t(d)];
    for (int session = 0; session < 2; ++session) {
      const int row = 2 * d + session;
      QString dayText = QStringLiteral("Jour %1  %2").arg(d + 1).arg(day.date.toString(kDateMask));
      if (!day.counts) {
        dayText += QStringLiteral(" (non compté)");
      }
      grid_->setItem(row, 0,
                     Cell(session == 0 ? dayText : QString(), Qt::AlignLeft | Qt::AlignVCenter));
      grid_->setItem(row, 1, Cell(session == 0 ? QStringLiteral("Matin") : QStringLiteral("Soir")));
      const std::vector<SeriesReading> &kept = session == 0 ? day.morning : day.evening;
      for (int m = 0; m < info.perSession; ++m) {
        const SeriesReading *r = m < int(kept.size()) ? &kept[size_t(m)] : nullptr;
        grid_->setItem(row, 2 + m,
                       Cell(r ? QStringLiteral("%1   %2/%3   %4")
                                    .arg(TimeText(r->minutes))
                                    .arg(r->systolic)
                                    .arg(r->diastolic)
                                    .arg(r->pulse)
                              : QString()));
      }
      if (!day.counts) {
        for (int c = 0; c < grid_->columnCount(); ++c) {
          grid_->item(row, c)->setBackground(apart);
          grid_->item(row, c)->setForeground(QColor(80, 80, 80));
        }
      }
    }
  }
  fitGridColumns();
  grid_->resizeRowsToContents();

  const auto mean = [&](qint64 SeriesSums::*value) {
    const QString shown = FrenchTenths(MeanTenths(series_.all.*value, series_.all.count));
    return shown.isEmpty() ? QStringLiteral("-") : shown;
  };
  QString daysNote;
  const int firstCounted = series_.firstCountedDay();
  if (firstCounted > 0 && firstCounted < days) {
    daysNote = firstCounted + 1 == days
                   ? QStringLiteral(" (jour %1)").arg(days)
                   : QStringLiteral(" (jours %1 à %2)").arg(firstCounted + 1).arg(days);
  }
  // What is missing, unless the verdict says it already.
  const QString missing = MissingText(series_);
  const QString missingLine = missing.isEmpty() || series_.verdict == Verdict::Incomplete
                                  ? QString()
                                  : QStringLiteral("\nManquent : ") + missing + u'.';
  means_->setText(QStringLiteral("Moyenne%1 : %2 / %3 mmHg, pouls %4 ; %5 mesures retenues sur "
                                 "%6 attendues.\n%7 ; %8%9")
                      .arg(daysNote, mean(&SeriesSums::systolic), mean(&SeriesSums::diastolic),
                           mean(&SeriesSums::pulse))
                      .arg(series_.all.count)
                      .arg(series_.expected())
                      .arg(MomentMeans(QStringLiteral("Matin"), series_.morning),
                           MomentMeans(QStringLiteral("soir"), series_.evening), missingLine));
  verdict_->setText(VerdictLines(series_).join(u'\n'));
  QFont bold = verdict_->font();
  bold.setBold(true);
  verdict_->setFont(bold);
  const QColor plain = State().darkAppearance ? kDarkText : QColor();
  // The warning red, deepened or lightened to be read on the page (in the
  // dark scheme the tab's pane is drawn lighter than the window).
  const QColor page =
      State().darkAppearance ? QColor(72, 72, 72) : palette().color(QPalette::Window);
  SetControlColour(verdict_, kTextColour,
                   series_.verdict == Verdict::Above ? ReadableOn(QColor(196, 30, 50), page)
                                                     : plain);

  QStringList excluded;
  for (const ExcludedReading &e : series_.excluded) {
    const QString values = e.valuesText();
    excluded << (values.isEmpty()
                     ? QStringLiteral("%1 %2, %3 : %4")
                           .arg(e.date, e.time, PeriodInfo(e.period).name, e.reason)
                     : QStringLiteral("%1 %2, %3, %4 : %5")
                           .arg(e.date, e.time, PeriodInfo(e.period).name, values, e.reason));
  }
  excluded_->setPlainText(excluded.isEmpty() ? QStringLiteral("Aucune.") : excluded.join(u'\n'));
  updateButtons();
}

void SeriesWindow::fitGridColumns() {
  // Each column as wide as its contents; what is left of the width is
  // shared by the reading columns.
  grid_->horizontalHeader()->setStretchLastSection(false);
  grid_->resizeColumnsToContents();
  grid_->doItemsLayout(); // the scroll bar as the rows now need it
  const int readings = grid_->columnCount() - 2;
  if (readings <= 0) {
    return;
  }
  int used = 0;
  for (int c = 0; c < grid_->columnCount(); ++c) {
    used += grid_->columnWidth(c);
  }
  const int room = grid_->isVisible() ? grid_->viewport()->width() : 0;
  const int extra = std::max(0, room - used) / readings;
  for (int m = 0; m < readings; ++m) {
    grid_->setColumnWidth(2 + m, grid_->columnWidth(2 + m) + extra);
  }
}

void SeriesWindow::recomputeReport() {
  report_ = MakeDoctorReport(lists_, from_->date(), to_->date(), contexts_);
  const bool any = hasReportReadings_ && report_.overall.count > 0;
  reportEmpty_->setVisible(!any);
  reportContent_->setVisible(any);
  const auto fill = [&](int row, const QStringList &cells) {
    for (int c = 0; c < cells.size(); ++c) {
      statistics_->setItem(
          row, c, Cell(cells[c], c == 0 ? Qt::AlignLeft | Qt::AlignVCenter : Qt::AlignCenter));
    }
  };
  for (DayPeriod period : kAllPeriods) {
    fill(PeriodIndex(period),
         StatisticsCells(PeriodRowName(period), report_.periods[size_t(PeriodIndex(period))]));
  }
  fill(4, StatisticsCells(AllPeriodsRowName(), report_.overall));
  // What the statistics leave out or move (the PDF lists the rows).
  QStringList notes = {report_.unusable.empty()
                           ? QStringLiteral("Lignes non utilisées : aucune.")
                           : QStringLiteral("Lignes non utilisées : %1 (listées dans le PDF avec "
                                            "leur raison).")
                                 .arg(report_.unusable.size())};
  if (report_.moved > 0) {
    notes << MovedNote(report_.moved);
  }
  if (const QString irregular = IrregularSummary(report_.irregular, report_.overall.count);
      !irregular.isEmpty()) {
    notes << irregular;
  }
  reportNotes_->setText(notes.join(u'\n'));
  const QList<BpClass> classes = ReportedClasses(report_.overall);
  classes_->setRowCount(int(classes.size()));
  for (int row = 0; row < classes.size(); ++row) {
    const qint64 count = report_.overall.classCount(classes[row]);
    classes_->setItem(row, 0, Cell(ClassLabel(classes[row]), Qt::AlignLeft | Qt::AlignVCenter));
    classes_->setItem(row, 1, Cell(QString::number(count)));
    classes_->setItem(row, 2, Cell(SharePercent(count, report_.overall.count)));
  }
  classes_->resizeRowsToContents();
  updateButtons();
}

void SeriesWindow::updateButtons() {
  const bool any = tabs_ && tabs_->currentIndex() == 1
                       ? hasReportReadings_ && report_.overall.count > 0
                       : hasSeriesReadings_;
  if (pdf_) {
    pdf_->setEnabled(any);
    print_->setEnabled(any);
    preview_->setEnabled(any);
  }
}

std::unique_ptr<PagedDocument> SeriesWindow::currentDocument() const {
  if (tabs_->currentIndex() == 1) {
    // The series shown, when complete, is the report's last home series.
    std::optional<SeriesResult> complete;
    if (hasSeriesReadings_ && series_.verdict != Verdict::Incomplete) {
      complete = series_;
    }
    return std::make_unique<DoctorReportDocument>(who_, report_, clock().now().date(),
                                                  std::move(complete));
  }
  return std::make_unique<SeriesFormDocument>(who_, series_);
}

QString SeriesWindow::savePdf() {
  if (RefusedWhileReadOnly(this)) { // the print folder is in the data folder
    return QString();
  }
  const QDateTime now = clock().now();
  const QString path = tabs_->currentIndex() == 1
                           ? DoctorReportPdfPath(printFolder_, who_.name, now)
                           : SeriesPdfPath(printFolder_, who_.name, now);
  if (const FileError error = SaveDocumentPdf(*currentDocument(), path)) {
    dialogs().error(this, kErrorTitle,
                    ErrorBoxText(QStringLiteral("Le fichier n'a pas pu être enregistré."), error));
    return QString();
  }
  ShowWrittenFiles(this, QStringLiteral("Enregistrer le PDF"), {path});
  return path;
}

void SeriesWindow::print() {
  QPrinter printer(QPrinter::HighResolution);
  printer.setFullPage(true);
  printer.setDocName(currentDocument()->title());
  if (!dialogs().choosePrinter(this, &printer)) {
    return;
  }
  if (!DrawDocument(*currentDocument(), printer)) {
    dialogs().error(this, kErrorTitle, QStringLiteral("L'impression n'a pas pu se faire."));
  }
}

void SeriesWindow::preview() {
  QPrinter printer(QPrinter::HighResolution);
  printer.setFullPage(true);
  const std::unique_ptr<PagedDocument> document = currentDocument();
  printer.setDocName(document->title());
  bool drawn = true;
  dialogs().previewPrint(this, QStringLiteral("Aperçu avant impression"), &printer,
                         [&](QPrinter *on) { drawn = DrawDocument(*document, *on) && drawn; });
  if (!drawn) {
    dialogs().error(this, kErrorTitle, QStringLiteral("L'impression n'a pas pu se faire."));
  }
}

void SeriesWindow::applyDarkScheme() {
  // The pages, the tab bar and the headers take the scheme from the window's
  // palette; the controls get their colours from the colouring routine.
  QPalette palette = this->palette();
  for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
    palette.setColor(group, QPalette::Window, kDarkBase);
    palette.setColor(group, QPalette::WindowText, kDarkText);
    palette.setColor(group, QPalette::Base, DarkPanel());
    palette.setColor(group, QPalette::AlternateBase, kDarkBase);
    palette.setColor(group, QPalette::Text, kDarkText);
    palette.setColor(group, QPalette::Button, DarkPanel());
    palette.setColor(group, QPalette::ButtonText, kDarkText);
  }
  palette.setColor(QPalette::Disabled, QPalette::WindowText, QColor(130, 130, 130));
  palette.setColor(QPalette::Disabled, QPalette::Text, QColor(130, 130, 130));
  setPalette(palette);
  for (QWidget *widget : findChildren<QWidget *>()) {
    if (qobject_cast<DrawnButton *>(widget) || qobject_cast<Banner *>(widget)) {
      continue;
    }
    if (qobject_cast<QLabel *>(widget)) {
      if (widget != verdict_ || series_.verdict != Verdict::Above) {
        SetControlColour(widget, kTextColour, kDarkText);
      }
    } else if (qobject_cast<QTableWidget *>(widget) || qobject_cast<QPlainTextEdit *>(widget) ||
               qobject_cast<QDateTimeEdit *>(widget) || qobject_cast<QComboBox *>(widget)) {
      SetControlColour(widget, kBackgroundColour, DarkPanel());
      SetControlColour(widget, kTextColour, kDarkText);
    }
  }
  DarkenTitleBar(this);
}

} // namespace tl
