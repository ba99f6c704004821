#include "app/startup.h"

#include "app/commands.h"
#include "app/feature_calls.h"
#include "app/main_window.h"
#include "app/series_companion.h"
#include "app/splash_window.h"
#include "common/app_state.h"
#include "common/error_text.h"
#include "common/file_io.h"
#include "common/identity.h"
#include "common/paths.h"
#include "common/preferences_file.h"
#include "logbook/patient_store.h"
#include "logbook/workflows.h"
#include "platform/autostart.h"
#include "platform/desktop_shell.h"
#include "platform/profile.h"
#include "platform/qt_dialogs.h"
#include "platform/session_end.h"
#include "platform/single_instance.h"
#include "ui/assets/assets.h"

#include <QApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace tl {

void InstallFrenchLanguage(QApplication &app) {
  QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
  auto *translator = new QTranslator(&app);
  if (translator->load(QLocale(QLocale::French, QLocale::France), QStringLiteral("qtbase"),
                       QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    app.installTranslator(translator);
  } else {
    delete translator;
  }
}

Application::Application(QObject *parent) : QObject(parent), runPatientManager(&RunPatientManager) {
  // The program's own message boxes and shell (a test may have put fakes
  // in front of them).
  static QtDialogs qtDialogs;
  static DesktopShell desktopShell;
  setDefaultDialogs(&qtDialogs);
  setDefaultShell(&desktopShell);
}

Application::~Application() = default;

bool Application::start() {
  // Shared images and fonts; identity texts are fixed functions.
  LoadSharedAssets();

  // Storage folders and paths, still without a patient.
  Paths() = SetupStorage(ProfileFolder());
  if (Paths().dataFolder.isEmpty()) {
    // Never the working folder in its place: the readings would be written
    // where nobody looks for them.
    dialogs().error(nullptr, ProgramTitle(),
                    QStringLiteral("Le dossier de données « %1 » n'est pas utilisable : un fichier "
                                   "porte son nom, ou il n'a pas pu être créé. Tensiolog ne peut "
                                   "pas enregistrer vos relevés.")
                        .arg(ShownPath(ProfileFolder() + QStringLiteral("Kestrune Arteline"))));
    return false;
  }

  // One window per data folder: a second one brings the first to the front
  // and ends; a command writing there keeps the window from opening.
  instance_ = std::make_unique<SingleInstance>(Paths().dataFolder);
  switch (instance_->acquire()) {
  case SingleInstance::Outcome::Primary:
    break;
  case SingleInstance::Outcome::HandedOver:
    return false;
  case SingleInstance::Outcome::HeldByCommand:
    dialogs().warning(nullptr, ProgramTitle(), instance_->reason());
    return false;
  case SingleInstance::Outcome::HeldElsewhere:
    // Another computer sharing the folder holds it: opened only if the
    // person says so, after being told who and since when.
    if (!dialogs().askYesNo(nullptr, Dialogs::Icon::Warning, ProgramTitle(), instance_->reason(),
                            Dialogs::Default::No)) {
      return false;
    }
    if (instance_->openAnyway() != SingleInstance::Outcome::Primary) {
      dialogs().error(nullptr, ProgramTitle(), instance_->reason());
      return false;
    }
    break;
  case SingleInstance::Outcome::ReadOnly:
    dialogs().warning(nullptr, ProgramTitle(), instance_->reason());
    State().readOnlyReason = QStringLiteral("support en lecture seule");
    break;
  case SingleInstance::Outcome::Failed:
    dialogs().error(nullptr, ProgramTitle(), instance_->reason());
    return false;
  }
  // Only now that no other copy can be saving, and before anything is read:
  // a save cut short by a crash or a power cut is finished (or undone), and
  // the temporaries it left go. A read-only medium is left as it is.
  QString storeText;
  if (State().readOnlyReason.isEmpty()) {
    storeText = StoreStartupText(OpenStore(Paths()));
  }

  // The main window, built hidden with its menus and shortcuts.
  main_ = std::make_unique<MainWindow>();
  MainWindow &main = *main_;
  ConnectCommands(main);
  connect(instance_.get(), &SingleInstance::showRequested, &main, [this, &main] {
    if (main.isShutDown()) {
      return;
    }
    // While start-up still runs (patient choice, loading) the main window
    // stays hidden: it is shown only once complete.
    if (main.isVisible()) {
      main.showNormal();
      main.raise();
      main.activateWindow();
    } else if (splash_) {
      splash_->raise();
    } else if (startedUp_) {
      // Kept in the tray (or started there at log-in): the window comes back.
      main.showNormal();
      main.raise();
      main.activateWindow();
    }
    // A window that holds the program (patient manager, preferences...)
    // must not end up behind the main window.
    if (QWidget *modal = QApplication::activeModalWidget()) {
      modal->showNormal();
      modal->raise();
      modal->activateWindow();
    }
  });
  connect(&main, &MainWindow::quitAccepted, this, &Application::finished);

  // Timer 0; the resize rule is the window's own resize handler.
  main.startInformationTimer();

  // A preferences file that cannot be read gives the defaults; it is kept
  // aside, not written over, when the program closes.
  QString loadWarning = storeText;
  if (IsUnreadablePreferencesFile(Paths().preferencesFile)) {
    loadWarning += (loadWarning.isEmpty() ? QString() : QStringLiteral("\n\n")) +
                   QStringLiteral("Le fichier des préférences %1 n'a pas pu être lu : les réglages "
                                  "par défaut s'appliquent, et il sera conservé sous un autre nom "
                                  "à la fermeture.")
                       .arg(ShownPath(Paths().preferencesFile));
  }
  ApplyStartupPreferences(main);
  if (State().darkAppearance) {
    ApplyDarkScheme(main);
  }

  if (State().currentPatient.isEmpty()) {
    // The patient manager loads the chosen patient's lists itself.
    if (!runPatientManager(main, true)) {
      main.closeWithoutSaving();
      return false;
    }
  } else {
    splash_ = std::make_unique<SplashWindow>();
    splash_->show();
    QCoreApplication::processEvents();
    RebuildMeasurementPaths(Paths(), State().currentPatient);
    main.setPatientLine(State().currentPatient);
    QStringList notices;
    const QList<PeriodFileError> unreadable = LoadLogbook(main.logbook(), &notices);
    const QString files =
        UnreadableFilesText(unreadable, notices, UnreadableContextFile(main.logbook()));
    loadWarning +=
        (loadWarning.isEmpty() || files.isEmpty() ? QString() : QStringLiteral("\n\n")) + files;
    main.updateStatusCounts();
  }

  // Averages of every period, graph period Matin and its graphs.
  State().graphPeriod = DayPeriod::Matin;
  main.refreshAveragesAndGraphs();

  // Started at log-in for a series: the window stays hidden, the tray icon
  // brings it back.
  SeriesCompanion *series = SeriesCompanion::of(main);
  const bool hidden = QCoreApplication::arguments().contains(QLatin1String(kTrayArgument)) &&
                      series && series->startHidden();
  if (!hidden) {
    main.show();
  }
  if (splash_) {
    splash_->close();
    splash_.reset();
  }
  if (!loadWarning.isEmpty()) {
    dialogs().warning(&main, QStringLiteral("Chargement"), loadWarning);
  }

  startedUp_ = true;
  sessionEnd_ = std::make_unique<SessionEnd>();
  connect(sessionEnd_.get(), &SessionEnd::saveRequested, this, &Application::terminate);
  connect(sessionEnd_.get(), &SessionEnd::terminateRequested, this, &Application::terminate);
  return true;
}

void Application::terminate() {
  if (main_ && !main_->isShutDown()) {
    SaveForQuit(*main_, false);
    main_->closeWithoutSaving();
  }
}

} // namespace tl
