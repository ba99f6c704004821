#pragma once

// The series under way on the main window: its line and buttons, starting
// and stopping it, the guided session, the reminders through the tray, the
// window kept in the tray while the series runs, and the start at log-in.

#include "app/guided_dialog.h"
#include "platform/tray.h"
#include "series/series_run.h"

#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>

namespace tl {

class MainWindow;

class SeriesCompanion : public QObject {
  Q_OBJECT
public:
  // How often the reminders are looked for.
  static constexpr int kReminderCheckMs = 20 * 1000;

  explicit SeriesCompanion(MainWindow &main);
  ~SeriesCompanion() override;
  // The main window's companion (made by ConnectCommands), or nullptr.
  static SeriesCompanion *of(MainWindow &main);

  // The tray used; a QtTray is made on first need unless one was given.
  void setTray(std::unique_ptr<Tray> tray);
  Tray &tray();

  // The current patient's series, as kept in the preferences.
  const std::optional<SeriesRun> &run() const { return run_; }
  bool running() const { return run_ && run_->state == RunState::Running; }
  SeriesProgress progress() const;
  // What the main window's line shows.
  QStringList lines() const;

  // The line drawn again from the readings; a series with nothing left to
  // measure becomes finished.
  void refresh();
  // One beat of the reminder timer: a reminder whose time came since the
  // last beat is shown in the tray.
  void checkReminders();
  QTimer &reminderTimer() { return timer_; }

  // "Démarrer une nouvelle série..." asks the protocol, the start day and
  // the usual times (askRun), then starts it.
  void startSeriesCommand(std::optional<SeriesRun> proposal = std::nullopt);
  // Keeps `run` for the patient, offers the start at log-in (or says once
  // that there is no tray).
  void startSeries(const SeriesRun &run);
  // "Arrêter la série", once confirmed.
  void stopSeriesCommand();
  // "Garder Tensiolog près de l'horloge pendant une série": the answer to
  // the question asked at the first close during a series, changed.
  void keepInTrayCommand();
  // "Mesurer maintenant": the guided session.
  void measureNow();
  // "Relevé": the series window on the series; its "Suivre cette série"
  // starts a series of the protocol and first day it shows.
  void openForm();

  // The window's close button while a series runs: true when the program
  // stays in the tray (asked once, the answer kept in the preferences).
  bool closeToTray();
  // The program started at log-in: its window stays hidden, its icon in the
  // tray, when a series runs and there is a tray.
  bool startHidden();

  // Files a reading of the guided session at the present time, its note and
  // flags with it, and saves at once.
  bool fileReading(const GuidedReading &reading, QString *line, QWidget *parent);

  // The start form; tests replace it.
  std::function<std::optional<SeriesRun>(const SeriesRun &proposal)> askRun;
  // Runs the guided session's dialog (exec by default); tests replace it.
  std::function<void(GuidedDialog &)> runDialog;
  // The dialog while it is open.
  GuidedDialog *dialog() const { return dialog_; }

private:
  void load();
  void keep();
  // The menu's tick from the kept answer ("1": kept near the clock).
  void showKeepInTray(const QString &answer);
  void end(RunState state);
  void updateTray();
  bool trayAvailable();
  void showWindow();
  void queueRefresh();

  MainWindow &main_;
  QString patient_;
  bool loaded_ = false;
  std::optional<SeriesRun> run_;
  SessionWindows windows_;
  std::unique_ptr<Tray> tray_;
  QTimer timer_;
  QDateTime lastCheck_;
  bool noTrayTold_ = false;
  bool trayHintShown_ = false;
  bool refreshQueued_ = false;
  QPointer<GuidedDialog> dialog_;
};

} // namespace tl
