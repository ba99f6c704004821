#pragma once

// The program's entry and exit: the start-up sequence, from the shared
// assets to the main window on show, and the shut-down paths.

#include <QObject>
#include <QString>
#include <functional>
#include <memory>

class QApplication;

namespace tl {

class MainWindow;
class MainWindowApi;
class SessionEnd;
class SingleInstance;
class SplashWindow;

// French everywhere: the default locale and Qt's own French texts (standard
// dialogs, context menus).
void InstallFrenchLanguage(QApplication &app);

class Application : public QObject {
  Q_OBJECT
public:
  // One window per data folder: the lock is the folder's own.
  explicit Application(QObject *parent = nullptr);
  ~Application() override;

  // The start-up sequence up to the main window on show. False when the
  // program must end at once, without saving: another copy runs on the same
  // data folder (it was brought to the front), the folder cannot be used or
  // a command of tensiolog-cli is writing there (a box said why), or no
  // patient was chosen.
  bool start();

  MainWindow *mainWindow() const { return main_.get(); }
  SingleInstance *instance() const { return instance_.get(); }
  // The splash window while the lists load (tests look at it), else nullptr.
  SplashWindow *splash() const { return splash_.get(); }

  // The patient manager opened at start-up when no patient is known;
  // replaced by tests.
  std::function<bool(MainWindowApi &, bool)> runPatientManager;

  // Session end (log-off, shut-down) and termination signals: save as
  // "Quitter" does, with no question (nobody may be there to answer), and end.
  void terminate();

signals:
  // The main window has closed after its save steps, or without them.
  void finished();

private:
  std::unique_ptr<SingleInstance> instance_;
  std::unique_ptr<MainWindow> main_;
  std::unique_ptr<SplashWindow> splash_;
  std::unique_ptr<SessionEnd> sessionEnd_;
  bool startedUp_ = false; // the main window was complete (shown, or kept in the tray)
};

} // namespace tl
