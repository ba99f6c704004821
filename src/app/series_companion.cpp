#include "app/series_companion.h"

#include "app/commands.h"
#include "app/feature_calls.h"
#include "app/main_window.h"
#include "app/meter_window.h"
#include "common/paths.h"
#include "common/preferences_file.h"
#include "logbook/workflows.h"
#include "measurements/context_texts.h"
#include "measurements/period_list_model.h"
#include "platform/autostart.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/qt_tray.h"
#include "readings/reading_commands.h"
#include "reports/report_files.h"
#include "series/report_data.h"
#include "series_window/series_window.h"
#include "ui/assets/assets.h"
#include "ui/controls.h"
#include "ui/drawing.h"
#include "ui/fit_text.h"
#include "ui/read_only.h"

#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateEdit>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTimeEdit>

namespace tl {

namespace {

const QString kSeriesTitle = QStringLiteral("Série d'automesure");

int Minutes(const QTime &time) { return time.hour() * 60 + time.minute(); }

// The start form: the protocol, the first day, the usual times.
std::optional<SeriesRun> AskRun(QWidget *parent, const SeriesRun &proposal) {
  QDialog form(parent);
  form.setWindowTitle(QStringLiteral("Démarrer une série d'automesure"));
  auto *layout = new QFormLayout(&form);
  auto *protocol = new QComboBox(&form);
  for (Protocol p : kProtocols) {
    protocol->addItem(ProtocolOf(p).text);
  }
  protocol->setCurrentIndex(ProtocolIndex(proposal.protocol));
  layout->addRow(QStringLiteral("Protocole :"), protocol);
  auto *start = new QDateEdit(proposal.start, &form);
  start->setDisplayFormat(QStringLiteral("dd/MM/yyyy"));
  start->setCalendarPopup(true);
  layout->addRow(QStringLiteral("Premier jour :"), start);
  auto *morning = new QTimeEdit(QTime(0, 0).addSecs(proposal.morningTime * 60), &form);
  morning->setDisplayFormat(QStringLiteral("HH:mm"));
  layout->addRow(QStringLiteral("Heure habituelle du matin :"), morning);
  auto *evening = new QTimeEdit(QTime(0, 0).addSecs(proposal.eveningTime * 60), &form);
  evening->setDisplayFormat(QStringLiteral("HH:mm"));
  layout->addRow(QStringLiteral("Heure habituelle du soir :"), evening);
  auto *hint = new QLabel(QStringLiteral("Les rappels viennent à ces heures, tant que la série "
                                         "dure."),
                          &form);
  hint->setTextFormat(Qt::PlainText);
  hint->setWordWrap(true);
  layout->addRow(hint);
  auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &form);
  buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("Démarrer"));
  buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Annuler"));
  QObject::connect(buttons, &QDialogButtonBox::accepted, &form, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &form, &QDialog::reject);
  layout->addRow(buttons);
  if (form.exec() != QDialog::Accepted) {
    return std::nullopt;
  }
  SeriesRun run;
  run.protocol = kProtocols[protocol->currentIndex()];
  run.start = start->date();
  run.morningTime = Minutes(morning->time());
  run.eveningTime = Minutes(evening->time());
  return run;
}

Preferences ReadPrefs() {
  return ReadPreferences(PreferencesReader::fromFile(Paths().preferencesFile));
}

} // namespace

SeriesCompanion::SeriesCompanion(MainWindow &main) : QObject(&main), main_(main) {
  setObjectName(QStringLiteral("seriesCompanion"));
  askRun = [this](const SeriesRun &proposal) { return AskRun(&main_, proposal); };
  runDialog = [](GuidedDialog &dialog) { dialog.exec(); };

  for (DayPeriod period : kAllPeriods) {
    PeriodListModel *list = &main.logbook().list(period);
    connect(list, &QAbstractItemModel::rowsInserted, this, &SeriesCompanion::queueRefresh);
    connect(list, &QAbstractItemModel::rowsRemoved, this, &SeriesCompanion::queueRefresh);
    connect(list, &QAbstractItemModel::modelReset, this, &SeriesCompanion::queueRefresh);
    connect(list, &QAbstractItemModel::dataChanged, this, &SeriesCompanion::queueRefresh);
  }
  const auto button = [&main](ControlId id) {
    return qobject_cast<QPushButton *>(main.control(id));
  };
  if (QPushButton *b = button(ControlId::ButtonMeasureNow)) {
    connect(b, &QPushButton::clicked, this, &SeriesCompanion::measureNow);
  }
  if (QPushButton *b = button(ControlId::ButtonSeriesForm)) {
    connect(b, &QPushButton::clicked, this, &SeriesCompanion::openForm);
  }
  if (QPushButton *b = button(ControlId::ButtonSeriesMenu)) {
    b->setMenu(main.menu(ControlId::SeriesMenu));
  }
  timer_.setInterval(kReminderCheckMs);
  connect(&timer_, &QTimer::timeout, this, &SeriesCompanion::checkReminders);
  timer_.start();
  main.setCloseToTray([this] { return closeToTray(); });
}

SeriesCompanion::~SeriesCompanion() = default;

SeriesCompanion *SeriesCompanion::of(MainWindow &main) {
  return main.findChild<SeriesCompanion *>(QStringLiteral("seriesCompanion"),
                                           Qt::FindDirectChildrenOnly);
}

void SeriesCompanion::setTray(std::unique_ptr<Tray> tray) {
  tray_ = std::move(tray);
  tray_->openRequested = [this] { showWindow(); };
  tray_->measureRequested = [this] {
    showWindow();
    measureNow();
  };
  tray_->quitRequested = [this] { main_.quit(); };
  updateTray();
}

Tray &SeriesCompanion::tray() {
  if (!tray_) {
    setTray(std::make_unique<QtTray>(ImageIcon(0), QStringLiteral("Tensiolog")));
  }
  return *tray_;
}

bool SeriesCompanion::trayAvailable() { return tray().available(); }

void SeriesCompanion::showWindow() {
  main_.showNormal();
  main_.raise();
  main_.activateWindow();
}

void SeriesCompanion::load() {
  patient_ = main_.logbook().patient();
  loaded_ = true;
  const Preferences prefs = ReadPrefs();
  showKeepInTray(prefs.keepInTray);
  run_ = SeriesRunFromText(PatientEntryOf(prefs.seriesRuns, patient_));
  windows_ =
      PatientSeriesSettings(PatientEntryOf(prefs.seriesPatients, patient_), prefs.seriesProtocol)
          .windows;
  lastCheck_ = QDateTime();
}

void SeriesCompanion::keep() {
  const QString value = run_ ? SeriesRunText(*run_) : QString();
  const QString patient = patient_;
  UpdatePreferencesFile(
      [&](Preferences &p) { p.seriesRuns = WithPatientEntry(p.seriesRuns, patient, value); });
}

SeriesProgress SeriesCompanion::progress() const {
  if (!run_) {
    return {};
  }
  Logbook &book = main_.logbook();
  return ProgressOf(*run_, ListsOf(book.lists()), windows_, clock().now(), &book.contexts());
}

QStringList SeriesCompanion::lines() const {
  if (!run_) {
    return {QStringLiteral("Aucune série d'automesure en cours : « Série » en démarre une ; "
                           "« Mesurer maintenant » guide une séance de mesures.")};
  }
  return ProgressLines(*run_, progress(), clock().now());
}

void SeriesCompanion::queueRefresh() {
  if (refreshQueued_) {
    return;
  }
  refreshQueued_ = true;
  QTimer::singleShot(0, this, [this] {
    refreshQueued_ = false;
    refresh();
  });
}

void SeriesCompanion::refresh() {
  if (!loaded_ || patient_ != main_.logbook().patient()) {
    load();
  }
  if (running() && progress().complete) {
    end(RunState::Finished);
  }
  const QString text = lines().join(u'\n');
  if (auto *line = qobject_cast<QLabel *>(main_.control(ControlId::SeriesLine))) {
    line->setText(text);
    line->setToolTip(text);
    line->setAccessibleDescription(text);
  }
  if (QAction *stop = main_.menuAction(ToInt(ControlId::MenuSeriesStop))) {
    stop->setEnabled(running());
  }
  updateTray();
}

void SeriesCompanion::updateTray() {
  if (!tray_ && !running()) {
    return; // no tray made while nothing needs one
  }
  if (tray().available()) {
    tray().setVisible(running() || !main_.isVisible());
  }
}

void SeriesCompanion::checkReminders() {
  if (!loaded_ || patient_ != main_.logbook().patient()) {
    refresh();
  }
  const QDateTime now = clock().now();
  const QDateTime from = lastCheck_;
  lastCheck_ = now;
  if (!running()) {
    return;
  }
  // The day may have turned: the line follows.
  refresh();
  if (!from.isValid() || !running() || !trayAvailable()) {
    return;
  }
  if (const std::optional<Reminder> due = ReminderBetween(*run_, progress(), from, now)) {
    tray().notify(QStringLiteral("Tensiolog — série d'automesure"), due->text());
  }
}

void SeriesCompanion::startSeriesCommand(std::optional<SeriesRun> proposal) {
  if (RefusedWhileReadOnly(&main_)) {
    return;
  }
  refresh();
  if (running() &&
      !dialogs().askYesNo(&main_, Dialogs::Icon::Question, kSeriesTitle,
                          QStringLiteral("Une série est en cours depuis le %1. La remplacer par "
                                         "une nouvelle série ? Les mesures déjà faites restent "
                                         "dans les listes.")
                              .arg(run_->start.toString(QStringLiteral("dd/MM/yyyy"))),
                          Dialogs::Default::No)) {
    return;
  }
  if (!proposal) {
    const Preferences prefs = ReadPrefs();
    proposal = SeriesRun();
    proposal->protocol =
        PatientSeriesSettings(PatientEntryOf(prefs.seriesPatients, patient_), prefs.seriesProtocol)
            .protocol;
    proposal->start = clock().now().date();
  }
  if (run_) {
    proposal->morningTime = run_->morningTime;
    proposal->eveningTime = run_->eveningTime;
  }
  if (const std::optional<SeriesRun> chosen = askRun(*proposal)) {
    startSeries(*chosen);
  }
}

void SeriesCompanion::startSeries(const SeriesRun &chosen) {
  if (!loaded_ || patient_ != main_.logbook().patient()) {
    load();
  }
  run_ = chosen;
  run_->state = RunState::Running;
  keep();
  lastCheck_ = clock().now();
  refresh();
  if (!running()) {
    return; // nothing left to measure in it
  }
  if (!trayAvailable()) {
    if (!noTrayTold_) {
      noTrayTold_ = true;
      dialogs().information(&main_, kSeriesTitle,
                            QStringLiteral("Ce bureau n'a pas de zone de notification : la série "
                                           "est suivie dans la fenêtre, mais sans rappels. "
                                           "Ouvrez Tensiolog au moment de vos mesures."));
    }
    return;
  }
  const bool atLogin = dialogs().askYesNo(
      &main_, Dialogs::Icon::Question, kSeriesTitle,
      QStringLiteral("Ouvrir Tensiolog dans la zone de notification à chaque ouverture de votre "
                     "session, le temps de la série, pour recevoir les rappels des mesures ?\n\n"
                     "Ce démarrage automatique est retiré à la fin de la série."));
  QString error;
  if (!atLogin) {
    DisableAutostart();
  } else if (!EnableAutostart(QCoreApplication::applicationFilePath(), &error)) {
    dialogs().warning(&main_, kSeriesTitle,
                      QStringLiteral("Le démarrage automatique n'a pas pu être enregistré (%1) ; "
                                     "la série continue, avec ses rappels tant que Tensiolog "
                                     "est ouvert.")
                          .arg(error));
  }
}

void SeriesCompanion::stopSeriesCommand() {
  if (RefusedWhileReadOnly(&main_)) {
    return;
  }
  refresh();
  if (!running()) {
    return;
  }
  if (dialogs().askYesNo(&main_, Dialogs::Icon::Question, kSeriesTitle,
                         QStringLiteral("Arrêter la série commencée le %1 ? Ses mesures restent "
                                        "dans les listes et son relevé reste lisible.")
                             .arg(run_->start.toString(QStringLiteral("dd/MM/yyyy"))),
                         Dialogs::Default::No)) {
    end(RunState::Stopped);
    refresh();
  }
}

void SeriesCompanion::end(RunState state) {
  run_->state = state;
  keep();
  DisableAutostart();
  updateTray();
}

bool SeriesCompanion::fileReading(const GuidedReading &typed, QString *line, QWidget *parent) {
  Logbook &book = main_.logbook();
  const QDateTime now = clock().now();
  const AddOutcome added = AddReadingAsking(book, now.date(), Minutes(now.time()), typed.systolic,
                                            typed.diastolic, typed.pulse, parent);
  if (!added.period) {
    return false;
  }
  PeriodListModel &list = book.list(*added.period);
  const Reading reading = list.reading(list.size() - 1);
  if (!typed.context.isEmpty()) {
    book.contexts().set(*added.period, reading, typed.context);
    list.contextsChanged();
  }
  const SaveOutcome saved = SaveLogbook(book);
  if (!SaveSucceeded(saved)) {
    WarnSaveFailed(parent, saved);
  }
  main_.updateStatusCounts();
  main_.refreshContextMarks();
  main_.refreshAveragesAndGraphs();
  refresh();
  if (line) {
    *line =
        QStringLiteral("%1 : %2/%3, pouls %4 (%5)")
            .arg(reading[Reading::Time], reading[Reading::Systolic], reading[Reading::Diastolic],
                 reading[Reading::Pulse], PeriodInfo(*added.period).name);
    if (!typed.context.isEmpty()) {
      *line += QStringLiteral(" — ") + ContextSummary(typed.context);
    }
  }
  return true;
}

void SeriesCompanion::measureNow() {
  if (dialog_) {
    dialog_->raise();
    dialog_->activateWindow();
    return;
  }
  if (RefusedWhileReadOnly(&main_)) {
    return;
  }
  refresh();
  int readings = ProtocolOf(run_ ? run_->protocol : kDefaultProtocol).perSession;
  QString notice;
  if (running()) {
    const SeriesProgress p = progress();
    if (p.dueNow) {
      readings = p.dueNow->left();
    } else {
      notice = QStringLiteral("Il est %1 : cette heure n'est dans aucune séance de la série à "
                              "compléter (%2). Les mesures seront enregistrées, mais la série "
                              "ne les comptera pas.")
                   .arg(clock().now().toString(QStringLiteral("HH:mm")),
                        WindowsSentence(windows_).chopped(1));
    }
  }
  GuidedDialog dialog(
      readings, notice,
      [this](const GuidedReading &reading, QString *line) {
        return fileReading(reading, line, dialog_);
      },
      [this] { return lines().join(u'\n'); }, &main_);
  // Where a meter link is built, the remembered meter gives the readings.
  if (CanMakeMeterLink()) {
    const Preferences prefs = ReadPreferences(PreferencesReader::fromFile(Paths().preferencesFile));
    dialog.offerMeter(&MakeMeterLink, prefs.meterAddress,
                      MeterUserOf(prefs.meterUsers, main_.logbook().patient()));
  }
  dialog_ = &dialog;
  runDialog(dialog);
  dialog_ = nullptr;
}

void SeriesCompanion::openForm() {
  Logbook &book = main_.logbook();
  SeriesWindow window(book.lists(), LogbookIdentity(book), book.paths().printFolder, &main_,
                      &book.contexts());
  if (run_) {
    window.protocolSelector()->setCurrentIndex(ProtocolIndex(run_->protocol));
    window.startPicker()->setDate(run_->start);
  }
  // Beside its document buttons: follow the series it shows, from its first day.
  auto *follow = new DrawnButton(QStringLiteral("Suivre cette série"), SystemIcon(269),
                                 window.closeButton()->parentWidget());
  follow->setGeometry(330, 10, 180, 30);
  follow->setBorder(QColor(120, 138, 160));
  AttachBalloonTip(follow, follow->label(),
                   QStringLiteral("Démarrer le suivi de cette série : la ligne de la fenêtre "
                                  "principale, les rappels et les séances guidées."),
                   SystemIcon(269));
  FitLabelToButton(follow);
  SetControlNumber(follow, ControlId::SeriesButtonFollow);
  std::optional<SeriesRun> proposal;
  connect(follow, &DrawnButton::clicked, &window, [&] {
    proposal = SeriesRun();
    proposal->protocol = window.settings().protocol;
    proposal->start = window.startPicker()->date();
    window.accept();
  });
  window.exec();
  if (proposal) {
    startSeriesCommand(proposal);
  }
}

void SeriesCompanion::showKeepInTray(const QString &answer) {
  if (QAction *keep = main_.menuAction(ToInt(ControlId::MenuSeriesKeepInTray))) {
    keep->setChecked(answer == u"1");
  }
}

void SeriesCompanion::keepInTrayCommand() {
  QAction *keep = main_.menuAction(ToInt(ControlId::MenuSeriesKeepInTray));
  if (RefusedWhileReadOnly(&main_)) {
    if (keep) {
      keep->setChecked(!keep->isChecked()); // the answer kept stays shown
    }
    return;
  }
  const QString answer = keep && keep->isChecked() ? QStringLiteral("1") : QStringLiteral("0");
  UpdatePreferencesFile([&](Preferences &p) { p.keepInTray = answer; });
}

bool SeriesCompanion::closeToTray() {
  refresh();
  if (!running() || !trayAvailable()) {
    return false;
  }
  QString answer = ReadPrefs().keepInTray;
  if (answer.isEmpty()) {
    const bool keepIn = dialogs().askYesNo(
        &main_, Dialogs::Icon::Question, kSeriesTitle,
        QStringLiteral("Une série d'automesure est en cours. Quand vous fermez la fenêtre, "
                       "garder Tensiolog dans la zone de notification (près de l'horloge) pour "
                       "recevoir les rappels des mesures ?\n\n"
                       "Votre réponse est gardée. Pour quitter Tensiolog : le bouton « Quitter » "
                       "ou Ctrl+Q, ou un clic droit sur son icône près de l'horloge, puis "
                       "« Quitter »."));
    answer = keepIn ? QStringLiteral("1") : QStringLiteral("0");
    UpdatePreferencesFile([&](Preferences &p) { p.keepInTray = answer; });
    showKeepInTray(answer);
  }
  if (answer != u"1") {
    return false;
  }
  // Everything is saved before the window goes; a failure is left to the
  // quit steps, which say so.
  const SaveOutcome saved = SaveLogbook(main_.logbook());
  if (!SaveSucceeded(saved) &&
      (!FailuresHoldingReadings(main_.logbook(), saved.failed).isEmpty() || saved.contextError)) {
    return false;
  }
  SaveClosingPreferences(main_);
  tray().setVisible(true);
  if (!trayHintShown_) {
    trayHintShown_ = true;
    tray().notify(QStringLiteral("Tensiolog reste ouvert"),
                  QStringLiteral("Les rappels de la série viendront ici. Pour quitter : clic "
                                 "droit sur l'icône, puis « Quitter »."));
  }
  return true;
}

bool SeriesCompanion::startHidden() {
  refresh();
  if (!running() || !trayAvailable()) {
    return false;
  }
  tray().setVisible(true);
  return true;
}

} // namespace tl
