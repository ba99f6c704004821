// The main window and the shell around it: start-up, shortcuts and their
// commands, pin, save, archive confirmation, information texts, documents,
// resize rule, the three ways to quit and the single-instance rule.
#include "fakes.h"
#include "open_main.h"
#include "readings.h"
#include "test_world.h"

#include "app/commands.h"
#include "app/feature_calls.h"
#include "app/main_window.h"
#include "app/splash_window.h"
#include "app/startup.h"
#include "common/app_state.h"
#include "common/identity.h"
#include "common/paths.h"
#include "graphs/graph_canvas.h"
#include "logbook/patient_store.h"
#include "logbook/workflows.h"
#include "maintenance/about_window.h"
#include "measurements/context_texts.h"
#include "measurements/measurement_file.h"
#include "measurements/period_list_model.h"
#include "platform/single_instance.h"
#include "series_window/series_window.h"
#include "ui/assets/assets.h"
#include "ui/documents.h"
#include "ui/drawing.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QCursor>
#include <QDateEdit>
#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QSysInfo>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QTimeEdit>
#include <QTimer>
#include <csignal>
#include <memory>

using namespace tl;
using namespace tl::test;

namespace {

using Env = TestWorld;

const QByteArray kNuitFile = "1\r\n14/03/2026\r\n05:40\r\n128\r\n82\r\n71\r\n"
                             "La systole de 128 mmHg et la diastole de 82 mmHg, indiquent une "
                             "Pression art\xC3\xA9rielle normale\r\n";

std::unique_ptr<MainWindow> OpenMain(const QString &patient = QStringLiteral("Alice")) {
  return OpenWiredMain(patient);
}

// A main window not wired to the commands, shown and active.
bool ShowActive(MainWindow &main) {
  main.show();
  QApplication::setActiveWindow(&main);
  return QTest::qWaitForWindowActive(&main);
}

// Values typed in the three value fields.
void TypeValues(MainWindow &main, const QString &s, const QString &d, const QString &p) {
  qobject_cast<QLineEdit *>(main.control(ControlId::SystolicField))->setText(s);
  qobject_cast<QLineEdit *>(main.control(ControlId::DiastolicField))->setText(d);
  qobject_cast<QLineEdit *>(main.control(ControlId::PulseField))->setText(p);
}

void AddSomeReadings(MainWindow &main) {
  main.lists().list(DayPeriod::Matin).append(MakeReading(QStringLiteral("08:15"), 131, 84, 66));
  main.lists().list(DayPeriod::Nuit).append(MakeReading(QStringLiteral("05:40"), 128, 82, 71));
  main.lists().list(DayPeriod::Soir).append(MakeReading(QStringLiteral("21:05"), 119, 77, 70));
  main.updateStatusCounts();
}

QByteArray FilesOf(const QString &folder) {
  QByteArray all;
  const QStringList names = QDir(folder).entryList(
      QStringList{QStringLiteral("*.txt"), QStringLiteral("*.ini")}, QDir::Files, QDir::Name);
  for (const QString &name : names) {
    all += name.toUtf8() + '\n' + ReadFile(folder + name) + '\n';
  }
  return all;
}

} // namespace

class TestApp : public QObject {
  Q_OBJECT

private slots:
  void initTestCase() { LoadSharedAssets(); }

  void startWithStoredReadings() {
    Env env;
    QVERIFY(WriteFile(env.data() + QStringLiteral("ARTL_Nuit_Alice.txt"), kNuitFile));
    State().currentPatient = QStringLiteral("Alice");

    Application app;
    app.runPatientManager = [](MainWindowApi &, bool) {
      QTest::qFail("the patient manager must not open for a known patient", __FILE__, __LINE__);
      return false;
    };
    QVERIFY(app.start());
    MainWindow &main = *app.mainWindow();
    QVERIFY(main.isVisible());
    QVERIFY(!app.splash());
    QCOMPARE(main.windowTitle(), ProgramTitle());
    QCOMPARE(main.size(), QSize(1024, 768));
    QCOMPARE(main.minimumSize(), QSize(1024, MainWindow::kSmallestHeight));
    QVERIFY(main.informationTimer().isActive());
    QCOMPARE(main.informationTimer().interval(), 10000);
    QCOMPARE(Paths().measurementFile(DayPeriod::Nuit),
             env.data() + QStringLiteral("ARTL_Nuit_Alice.txt"));
    QCOMPARE(main.lists().list(DayPeriod::Nuit).size(), 1);
    QCOMPARE(main.lists().list(DayPeriod::Nuit).reading(0)[Reading::Systolic],
             QStringLiteral("128"));
    QCOMPARE(qobject_cast<QLabel *>(main.control(ControlId::AverageCountNuit))->text(),
             QStringLiteral("Base de 1 mesures"));
    QVERIFY(!qobject_cast<QLabel *>(main.control(ControlId::AverageValueNuit))->text().isEmpty());
    QCOMPARE(main.statusText(0), QStringLiteral("  Automesures tensionnelles enregistrées :"));
    QCOMPARE(main.statusText(1), QStringLiteral("Matin : 0"));
    QCOMPARE(main.statusText(4), QStringLiteral("Nuit : 1"));
    QVERIFY(main.statusText(5).contains(QStringLiteral("2026")));
    auto *banner = qobject_cast<Banner *>(main.control(ControlId::Banner));
    QCOMPARE(banner->line1(), TitleLine());
    QCOMPARE(banner->line2(),
             QStringLiteral("Surveillez votre tension artérielle et gardez un suivi de vos relevés "
                            "d'automesures tensionnelles.       Utilisateur Connecté :  ☞  Alice"));
    QCOMPARE(banner->rightText(), QStringLiteral("Drevant Software"));
    main.closeWithoutSaving();
  }

  void startWithoutStoredReadings() {
    Env env;
    State().currentPatient = QStringLiteral("Bob");
    Application app;
    QVERIFY(app.start());
    MainWindow &main = *app.mainWindow();
    QCOMPARE(main.statusText(1), QStringLiteral("Matin : 0"));
    QCOMPARE(main.statusText(2), QStringLiteral("Jour : 0"));
    QCOMPARE(main.statusText(3), QStringLiteral("Soir : 0"));
    QCOMPARE(main.statusText(4), QStringLiteral("Nuit : 0"));
    // Every average box, the overall one included, is filled before the window shows.
    const ControlId counts[] = {ControlId::AverageCountMatin, ControlId::AverageCountJour,
                                ControlId::AverageCountSoir, ControlId::AverageCountNuit,
                                ControlId::AverageCountOverall};
    for (ControlId id : counts) {
      QCOMPARE(qobject_cast<QLabel *>(main.control(id))->text(),
               QStringLiteral("Base de 0 mesures"));
    }
    main.closeWithoutSaving();
  }

  void startWithoutPatientEndsWithoutSaving() {
    Env env;
    Application app;
    int opened = 0;
    app.runPatientManager = [&opened](MainWindowApi &main, bool atStartup) {
      ++opened;
      // The manager opens over the built main window, which is not shown yet.
      return atStartup && !main.window()->isVisible() ? false : true;
    };
    QVERIFY(!app.start());
    QCOMPARE(opened, 1);
    QVERIFY(!app.mainWindow()->isVisible());
    QVERIFY(QDir(env.data()).entryList(QDir::Files).isEmpty());
    QVERIFY(QDir(env.data() + QStringLiteral("Archives Arteline")).exists());
    QVERIFY(QDir(env.data() + QStringLiteral("Impression Arteline")).exists());
  }

  // At start-up an unreadable measurement file is named in a "Chargement"
  // box; a reading another program adds meanwhile joins the list on
  // "Sauvegarder" and quit, with a box that says so, and nothing is lost.
  void outsideChangesInTheWindow() {
    Env env;
    QVERIFY(WriteFile(env.data() + QStringLiteral("ARTL_Nuit_Alice.txt"), kNuitFile));
    QVERIFY(QDir().mkpath(env.data() + QStringLiteral("ARTL_Jour_Alice.txt")));
    State().currentPatient = QStringLiteral("Alice");
    Application app;
    app.runPatientManager = [](MainWindowApi &, bool) { return false; };
    QVERIFY(app.start());
    MainWindow &main = *app.mainWindow();
    QCOMPARE(env.dialogs.shown.size(), 1);
    QCOMPARE(env.dialogs.shown[0].title, QStringLiteral("Chargement"));
    QVERIFY(env.dialogs.shown[0].text.contains(QStringLiteral("ARTL_Jour_Alice.txt")));
    env.dialogs.clear();

    main.lists().list(DayPeriod::Nuit).append(MakeReading(QStringLiteral("04:00"), 121, 79, 60));
    const std::vector<Reading> theirs = {main.lists().list(DayPeriod::Nuit).reading(0),
                                         MakeReading(QStringLiteral("03:00"), 140, 90, 75)};
    QVERIFY(WriteFile(env.data() + QStringLiteral("ARTL_Nuit_Alice.txt"),
                      SerializeMeasurementFile(theirs)));
    RunButtonCommand(main, ControlId::ButtonSave);
    QCOMPARE(env.dialogs.shown.size(), 2);
    QCOMPARE(env.dialogs.shown[0].title, QStringLiteral("Sauvegarde"));
    QVERIFY(
        env.dialogs.shown[0].text.startsWith(QStringLiteral("1 relevé enregistré par un autre")));
    QCOMPARE(env.dialogs.shown[1].icon, Dialogs::Icon::Warning); // the Jour file is refused
    QCOMPARE(main.lists().list(DayPeriod::Nuit).size(), 3);
    QCOMPARE(main.statusText(4), QStringLiteral("Nuit : 3"));
    QCOMPARE(
        ParseMeasurementFile(ReadFile(env.data() + QStringLiteral("ARTL_Nuit_Alice.txt"))).size(),
        size_t(3));
    QVERIFY(QFileInfo(env.data() + QStringLiteral("ARTL_Jour_Alice.txt")).isDir());
    main.closeWithoutSaving();
  }

  // A file where the data folder should be: the program says so and ends,
  // rather than keeping the readings in the working folder.
  void dataFolderReplacedByAFile() {
    TempHome home;
    FakeDialogs dialogs;
    QVERIFY(WriteFile(home.path() + QStringLiteral("Kestrune Arteline"), "x"));
    Application app;
    QVERIFY(!app.start());
    QCOMPARE(dialogs.shown.size(), 1);
    QCOMPARE(dialogs.shown[0].icon, Dialogs::Icon::Error);
    QVERIFY(dialogs.shown[0].text.contains(QStringLiteral("n'est pas utilisable")));
  }

  void secondApplicationDoesNotBuildAWindow() {
    Env env;
    State().currentPatient = QStringLiteral("Alice");
    Application first;
    QVERIFY(first.start());
    first.mainWindow()->showMinimized();
    Application second;
    QVERIFY(!second.start());
    QVERIFY(!second.mainWindow());
    QTRY_VERIFY(!first.mainWindow()->isMinimized());
    first.mainWindow()->closeWithoutSaving();
  }

  // While a command of tensiolog-cli writes in the data folder, the window
  // does not open: a box says why, and nothing is written.
  void commandWritingKeepsTheWindowClosed() {
    Env env;
    QVERIFY(WriteFile(env.data() + QStringLiteral("ARTL_Nuit_Alice.txt"), kNuitFile));
    State().currentPatient = QStringLiteral("Alice");
#ifndef Q_OS_LINUX
    QSKIP("the lock's holder is told by its executable's name from /proc");
#else
    // A process whose executable is named as the command line's holds the
    // lock, written as the lock file records its holder.
    const QString command = env.home.path() + QString::fromLatin1(kCommandLineProgram);
    QVERIFY(QFile::copy(QStringLiteral("/bin/sleep"), command));
    QProcess holder;
    holder.start(command, {QStringLiteral("30")});
    QVERIFY(holder.waitForStarted());
    QVERIFY(WriteFile(DataFolderLockPath(env.data()),
                      QByteArray::number(holder.processId()) + '\n' + kCommandLineProgram + '\n' +
                          QSysInfo::machineHostName().toUtf8() + '\n'));
    const auto stop = qScopeGuard([&holder] {
      holder.kill();
      holder.waitForFinished();
    });
#endif
    Application app;
    QVERIFY(!app.start());
    QVERIFY(!app.mainWindow());
    QCOMPARE(env.dialogs.shown.size(), 1);
    QVERIFY2(env.dialogs.shown[0].icon == Dialogs::Icon::Warning,
             qPrintable(env.dialogs.shown[0].text));
    QCOMPARE(env.dialogs.shown[0].title, ProgramTitle());
    QVERIFY(env.dialogs.shown[0].text.contains(QStringLiteral("tensiolog-cli")));
    QCOMPARE(ReadFile(env.data() + QStringLiteral("ARTL_Nuit_Alice.txt")), kNuitFile);
  }

  void secondCopyDuringStartUpKeepsTheWindowHidden() {
    Env env;
    Application app;
    bool hiddenMeanwhile = false;
    app.runPatientManager = [&app, &hiddenMeanwhile](MainWindowApi &main, bool) {
      // Another copy starts while the patient is being chosen.
      emit app.instance()->showRequested();
      QCoreApplication::processEvents();
      hiddenMeanwhile = !main.window()->isVisible();
      State().currentPatient = QStringLiteral("Alice");
      return true;
    };
    QVERIFY(app.start());
    QVERIFY(hiddenMeanwhile);
    QVERIFY(app.mainWindow()->isVisible());
    app.mainWindow()->closeWithoutSaving();
  }

  void everyShortcutSendsItsId_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("id");
    QTest::newRow("Ctrl+Q") << int(Qt::Key_Q) << ToInt(ShortcutId::Quit);
    QTest::newRow("Ctrl+U") << int(Qt::Key_U) << ToInt(ShortcutId::Patient);
    QTest::newRow("Ctrl+P") << int(Qt::Key_P) << ToInt(ShortcutId::Preferences);
    QTest::newRow("Ctrl+S") << int(Qt::Key_S) << ToInt(ShortcutId::Save);
    QTest::newRow("Ctrl+I") << int(Qt::Key_I) << ToInt(ShortcutId::Print);
    QTest::newRow("Ctrl+H") << int(Qt::Key_H) << ToInt(ShortcutId::Help);
    QTest::newRow("Ctrl+F") << int(Qt::Key_F) << ToInt(ShortcutId::Form);
    QTest::newRow("Ctrl+A") << int(Qt::Key_A) << ToInt(ShortcutId::Archive);
    QTest::newRow("Ctrl+G") << int(Qt::Key_G) << ToInt(ShortcutId::ArchiveManager);
    QTest::newRow("Ctrl+Z") << int(Qt::Key_Z) << ToInt(ShortcutId::About);
    QTest::newRow("Ctrl+Y") << int(Qt::Key_Y) << ToInt(ShortcutId::Pin);
    QTest::newRow("Ctrl+D") << int(Qt::Key_D) << ToInt(ShortcutId::Destruction);
    QTest::newRow("Ctrl+C") << int(Qt::Key_C) << ToInt(ShortcutId::Copy);
    QTest::newRow("Ctrl+R") << int(Qt::Key_R) << ToInt(ShortcutId::Series);
    QTest::newRow("Ctrl+E") << int(Qt::Key_E) << ToInt(ShortcutId::ExportCsv);
    QTest::newRow("Ctrl+L") << int(Qt::Key_L) << ToInt(ShortcutId::ImportCsv);
#ifdef TENSIOLOG_HAS_METER_LINK
    QTest::newRow("Ctrl+B") << int(Qt::Key_B) << ToInt(ShortcutId::ReadMeter);
#endif
  }
  void everyShortcutSendsItsId() {
    QFETCH(int, key);
    QFETCH(int, id);
    Env env;
    // Not wired to the commands: only the event that reaches the dispatch.
    MainWindow main;
    QVERIFY(ShowActive(main));
    QSignalSpy spy(&main, &MainWindow::menuEvent);
    // From a value field, but Ctrl+A, which selects a field's text, from a button.
    auto *field = main.control(key == Qt::Key_A ? ControlId::ButtonAdd : ControlId::SystolicField);
    field->setFocus();
    QTest::keyClick(field, Qt::Key(key), Qt::ControlModifier);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toInt(), id);
  }

  // Ctrl+A selects the text of the field that has the keyboard; anywhere
  // else in the window it archives.
  void ctrlASelectsInAFieldArchivesElsewhere_data() {
    QTest::addColumn<int>("control");
    QTest::addColumn<bool>("archives");
    QTest::newRow("systolic field") << ToInt(ControlId::SystolicField) << false;
    QTest::newRow("pulse field") << ToInt(ControlId::PulseField) << false;
    QTest::newRow("note") << ToInt(ControlId::NoteField) << false;
    QTest::newRow("date") << ToInt(ControlId::DateField) << false;
    QTest::newRow("time") << ToInt(ControlId::TimeField) << false;
    QTest::newRow("Matin list") << ToInt(ControlId::ListMatin) << true;
    QTest::newRow("Ajouter") << ToInt(ControlId::ButtonAdd) << true;
    QTest::newRow("flag box") << ToInt(ControlId::MovementCheck) << true;
  }
  void ctrlASelectsInAFieldArchivesElsewhere() {
    QFETCH(int, control);
    QFETCH(bool, archives);
    Env env;
    MainWindow main;
    QVERIFY(ShowActive(main));
    main.setCurrentTab(PeriodInfo(DayPeriod::Matin).tabIndex);
    QSignalSpy spy(&main, &MainWindow::menuEvent);
    QWidget *w = main.control(ControlId(control));
    QVERIFY(w);
    auto *edit =
        qobject_cast<QLineEdit *>(w) ? qobject_cast<QLineEdit *>(w) : w->findChild<QLineEdit *>();
    if (qobject_cast<QLineEdit *>(w)) {
      edit->setText(QStringLiteral("131"));
    }
    w->setFocus();
    QTRY_VERIFY(w->hasFocus());
    QTest::keyClick(w, Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(spy.count(), archives ? 1 : 0);
    if (archives) {
      QCOMPARE(spy.at(0).at(0).toInt(), ToInt(ShortcutId::Archive));
    } else {
      QVERIFY(edit);
      QVERIFY(edit->hasSelectedText());
      QCOMPARE(edit->selectedText(), edit->text());
    }
  }

  // The About window blocks nothing: the shortcuts work while it has the
  // focus. A modal window still blocks them.
  void shortcutsWithAboutOrModalWindowOpen() {
    Env env;
    auto main = OpenMain();
    QVERIFY(QTest::qWaitForWindowActive(main.get()));
    QSignalSpy spy(main.get(), &MainWindow::menuEvent);
    AboutWindow *about = ShowAboutWindow(main.get());
    QApplication::setActiveWindow(about);
    QVERIFY(QTest::qWaitForWindowActive(about));
    QTest::keyClick(about->closeButton(), Qt::Key_H, Qt::ControlModifier);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toInt(), ToInt(ShortcutId::Help));
    about->close();

    QDialog modal(main.get());
    modal.setModal(true);
    modal.show();
    QApplication::setActiveWindow(&modal);
    QVERIFY(QTest::qWaitForWindowActive(&modal));
    QTest::keyClick(&modal, Qt::Key_H, Qt::ControlModifier);
    QCOMPARE(spy.count(), 1);
  }

  void shortcutsReachTheShellCommands() {
    Env env;
    auto main = OpenMain();
    QVERIFY(QTest::qWaitForWindowActive(main.get()));
    QTest::keyClick(main.get(), Qt::Key_H, Qt::ControlModifier);
    QTest::keyClick(main.get(), Qt::Key_F, Qt::ControlModifier);
    QCOMPARE(env.shell.documents, QStringList({HelpFilePath(), ReferenceFormPath()}));
    QTest::keyClick(main.get(), Qt::Key_Y, Qt::ControlModifier);
    QVERIFY(State().pinned);
    // Pinning re-creates the native window; it must be active again for its shortcuts.
    QApplication::setActiveWindow(main.get());
    QVERIFY(QTest::qWaitForWindowActive(main.get()));
    QTest::keyClick(main.get(), Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(env.dialogs.shown.size(), 1);
    QCOMPARE(env.dialogs.shown.last().title, QStringLiteral("Sauvegarde"));
    env.dialogs.answerNo();
    QTest::keyClick(main.get(), Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(env.dialogs.shown.at(1).title, QStringLiteral("Archivage"));
    QTest::keyClick(main.get(), Qt::Key_Q, Qt::ControlModifier);
    QVERIFY(!main->isVisible());
    QVERIFY(main->isShutDown());
  }

  // Help menu item 75 and Ctrl+R open the series window, modal, over the
  // lists in memory (here an unsaved reading) with the profile's doctor.
  void seriesWindowFromMenuAndShortcut_data() {
    QTest::addColumn<bool>("shortcut");
    QTest::newRow("menu item 75") << false;
    QTest::newRow("Ctrl+R") << true;
  }
  void seriesWindowFromMenuAndShortcut() {
    QFETCH(bool, shortcut);
    Env env;
    WriteFile(Paths().patientFile, "1\r\nAlice\r\n54\r\n\r\nDr Roux\r\n\r\n\r\n\r\n01/03/2026\r\n");
    auto main = OpenMain();
    QVERIFY(QTest::qWaitForWindowActive(main.get()));
    AddSomeReadings(*main);
    QString seen;
    QTimer::singleShot(0, [&] {
      auto *window = qobject_cast<SeriesWindow *>(QApplication::activeModalWidget());
      if (window) {
        seen = window->series().start.toString(QStringLiteral("dd/MM/yyyy")) + u' ' +
               window->identity().age + u' ' + window->identity().doctor;
        window->closeButton()->click();
      }
    });
    if (shortcut) {
      QTest::keyClick(main.get(), Qt::Key_R, Qt::ControlModifier);
    } else {
      main->menuAction(ToInt(ControlId::MenuSeries))->trigger();
    }
    QCOMPARE(seen, QStringLiteral("14/03/2026 54 Dr Roux")); // the 2-2-3 rule: the day measured
    QVERIFY(env.dialogs.shown.isEmpty());
  }

  void ctrlCCopiesNothing() {
    Env env;
    auto main = OpenMain();
    QVERIFY(QTest::qWaitForWindowActive(main.get()));
    QApplication::clipboard()->setText(QStringLiteral("avant"));
    auto *field = qobject_cast<QLineEdit *>(main->control(ControlId::SystolicField));
    field->setText(QStringLiteral("135"));
    field->setFocus();
    field->selectAll();
    QTest::keyClick(field, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("avant"));
    QCOMPARE(field->text(), QStringLiteral("135"));

    AddSomeReadings(*main);
    QTableView *list = main->listView(DayPeriod::Matin);
    list->setFocus();
    list->selectRow(0);
    QTest::keyClick(list, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("avant"));
    QVERIFY(env.dialogs.shown.isEmpty());
    main->closeWithoutSaving();
  }

  void pinTwice() {
    Env env;
    auto main = OpenMain();
    DrawnButton *pin = main->button(ControlId::ButtonPin);
    RunMenuCommand(*main, ToInt(ShortcutId::Pin));
    QVERIFY(State().pinned);
    QVERIFY(main->windowFlags() & Qt::WindowStaysOnTopHint);
    QVERIFY(main->isVisible());
    QCOMPARE(pin->currentColours(), PinnedButtonColours());
    // The orange look stays when the mouse comes and goes.
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(pin, &enter);
    QCOMPARE(pin->currentColours(), PinnedButtonColours());
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(pin, &leave);
    QCOMPARE(pin->currentColours(), PinnedButtonColours());

    RunButtonCommand(*main, ControlId::ButtonPin);
    QVERIFY(!State().pinned);
    QVERIFY(!(main->windowFlags() & Qt::WindowStaysOnTopHint));
    QVERIFY(main->isVisible());
    QCOMPARE(pin->currentColours(), NormalButtonColours());
    main->closeWithoutSaving();
  }

  void hoverLook() {
    Env env;
    auto main = OpenMain();
    DrawnButton *save = main->button(ControlId::ButtonSave);
    QCOMPARE(save->pos(), QPoint(200, 40));
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(save, &enter);
    QCOMPARE(save->currentColours(), HoverButtonColours());
    QCOMPARE(save->cursor().shape(), Qt::PointingHandCursor);
    QCOMPARE(save->pos(), QPoint(200, 41));
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(save, &leave);
    QCOMPARE(save->currentColours(), NormalButtonColours());
    QCOMPARE(save->cursor().shape(), Qt::ArrowCursor);
    QCOMPARE(save->pos(), QPoint(200, 40));

    // "Ajouter" changes its look but does not move.
    DrawnButton *add = main->button(ControlId::ButtonAdd);
    QApplication::sendEvent(add, &enter);
    QCOMPARE(add->currentColours(), HoverButtonColours());
    QCOMPARE(add->pos(), QPoint(10, 222));
    main->closeWithoutSaving();
  }

  // One reading from the keyboard to its file: typed at 05:40, added, filed
  // under Nuit with its diagnosis, counted, averaged, saved byte for byte.
  void roadOfOneReading() {
    Env env;
    auto main = OpenMain(QStringLiteral("Jean Dupont"));
    qobject_cast<QDateEdit *>(main->control(ControlId::DateField))->setDate(QDate(2026, 3, 14));
    qobject_cast<QTimeEdit *>(main->control(ControlId::TimeField))->setTime(QTime(5, 40));
    TypeValues(*main, QStringLiteral("128"), QStringLiteral("82"), QStringLiteral("71"));
    QTest::mouseClick(main->button(ControlId::ButtonAdd), Qt::LeftButton);

    const PeriodListModel &nuit = main->lists().list(DayPeriod::Nuit);
    QCOMPARE(nuit.size(), qsizetype(1));
    QCOMPARE(nuit.reading(0)[Reading::Diagnosis],
             QStringLiteral("La systole de 128 mmHg et la diastole de 82 mmHg, indiquent une "
                            "Pression artérielle normale"));
    QCOMPARE(main->statusText(4), QStringLiteral("Nuit : 1"));
    QCOMPARE(qobject_cast<QLineEdit *>(main->control(ControlId::SystolicField))->text(), QString());
    QCOMPARE(qobject_cast<QLabel *>(main->control(ControlId::AverageValueNuit))->text(),
             QStringLiteral("128 / 82\r\n71"));
    QCOMPARE(qobject_cast<QLabel *>(main->control(ControlId::AverageCountOverall))->text(),
             QStringLiteral("Base de 1 mesures"));
    QVERIFY(env.dialogs.shown.isEmpty());

    QTest::keyClick(main.get(), Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(env.dialogs.shown.size(), 1);
    QCOMPARE(env.dialogs.shown.last().text,
             QStringLiteral("La sauvegarde de vos données a été correctement effectuée."));
    QCOMPARE(ReadFile(env.data() + QStringLiteral("ARTL_Nuit_Jean Dupont.txt")), kNuitFile);
    main->closeWithoutSaving();
  }

  void saveMessages_data() {
    QTest::addColumn<bool>("withReadings");
    QTest::addColumn<bool>("blockSoir");
    QTest::addColumn<bool>("success");
    // Nothing to write (every reading deleted) is no failure.
    QTest::newRow("four empty lists") << false << false << true;
    QTest::newRow("every list written") << true << false << true;
    QTest::newRow("one list could not be written") << true << true << false;
  }
  void saveMessages() {
    QFETCH(bool, withReadings);
    QFETCH(bool, blockSoir);
    QFETCH(bool, success);
    Env env;
    auto main = OpenMain();
    if (blockSoir) {
      // A folder where the Soir file should go: it cannot be written.
      QVERIFY(QDir().mkpath(Paths().measurementFile(DayPeriod::Soir)));
    }
    if (withReadings) {
      AddSomeReadings(*main);
    }
    RunButtonCommand(*main, ControlId::ButtonSave);
    QCOMPARE(env.dialogs.shown.size(), 1);
    const ShownBox &box = env.dialogs.shown.first();
    QCOMPARE(box.title, QStringLiteral("Sauvegarde"));
    if (success) {
      QCOMPARE(box.icon, Dialogs::Icon::Information);
      QCOMPARE(box.text, QStringLiteral("La sauvegarde de vos données a été correctement "
                                        "effectuée."));
    } else {
      QCOMPARE(box.icon, Dialogs::Icon::Warning);
      // The warning names the list refused and why.
      const QString reason =
          blockSoir ? QStringLiteral("\n\n") +
                          QDir::toNativeSeparators(Paths().measurementFile(DayPeriod::Soir)) +
                          QStringLiteral(" : c'est un dossier, pas un fichier")
                    : QString();
      QCOMPARE(box.text, QStringLiteral("La sauvegarde de vos données n'a pu se faire.") + reason);
    }
    if (withReadings) {
      QVERIFY(QFileInfo::exists(Paths().measurementFile(DayPeriod::Matin)));
    }
    main->closeWithoutSaving();
  }

  // "Archiver" asks first, "Non" by default (Enter keeps the lists); the
  // second box says what was done. Readings added since the last save are
  // archived too, and the lists then match the files: nothing current left.
  void archiveAsksThenReports_data() {
    QTest::addColumn<bool>("readings");
    QTest::addColumn<bool>("yes");
    QTest::addColumn<int>("command");
    QTest::addColumn<QString>("report"); // the second box's text, or a line of it when archived
    QTest::addColumn<int>("archived");   // files in the archive folder afterwards
    QTest::newRow("Non") << true << false << ToInt(ControlId::MenuArchiveLists)
                         << "Vous avez annulé l'archivage des données." << 0;
    QTest::newRow("Oui, nothing to archive")
        << false << true << ToInt(ShortcutId::Archive) << "Il n'y a rien à archiver." << 0;
    QTest::newRow("Oui") << true << true << ToInt(ControlId::MenuArchiveLists)
                         << "ARTL_Matin_Alice.txt a été archivé." << 3;
  }
  void archiveAsksThenReports() {
    QFETCH(bool, readings);
    QFETCH(bool, yes);
    QFETCH(int, command);
    QFETCH(QString, report);
    QFETCH(int, archived);
    Env env;
    auto main = OpenMain();
    const bool kept = readings && !yes;
    if (readings) {
      AddSomeReadings(*main);
    }
    if (kept) {
      QVERIFY(WriteFile(Paths().measurementFile(DayPeriod::Nuit), kNuitFile));
    }
    yes ? env.dialogs.answerYes() : env.dialogs.answerNo();
    RunMenuCommand(*main, command);
    QCOMPARE(env.dialogs.shown.size(), 2);
    const ShownBox &question = env.dialogs.shown.at(0);
    QCOMPARE(question.kind, ShownBox::YesNo);
    QCOMPARE(question.icon, Dialogs::Icon::Question);
    QCOMPARE(question.title, QStringLiteral("Archivage"));
    QCOMPARE(question.byDefault, Dialogs::Default::No);
    QCOMPARE(question.text,
             QStringLiteral("Êtes-vous sûr(e) de vouloir archiver les fichiers de relevés de cet "
                            "utilisateur ? Si oui, vous ne pourrez consulter ces données que dans "
                            "le module d'archives."));
    const ShownBox &told = env.dialogs.shown.at(1);
    QCOMPARE(told.icon, Dialogs::Icon::Information);
    QCOMPARE(told.title, QStringLiteral("Archivage"));
    if (archived > 0) {
      QVERIFY2(told.text.contains(report), qPrintable(told.text));
    } else {
      QCOMPARE(told.text, report);
    }
    const QStringList files = QDir(Paths().archiveFolder).entryList(QDir::Files);
    QCOMPARE(files.size(), archived);
    QCOMPARE(main->lists().totalCount(), kept ? 3 : 0);
    QCOMPARE(main->statusText(4), kept ? QStringLiteral("Nuit : 1") : QStringLiteral("Nuit : 0"));
    QCOMPARE(QFileInfo::exists(Paths().measurementFile(DayPeriod::Matin)), false);
    if (kept) {
      QCOMPARE(ReadFile(Paths().measurementFile(DayPeriod::Nuit)), kNuitFile);
    } else if (archived > 0) {
      QCOMPARE(files.filter(QStringLiteral("ARTL_Nuit_Alice.txt")).size(), 1);
      QCOMPARE(main->statusText(1), QStringLiteral("Matin : 0"));
      QVERIFY(!QFileInfo::exists(Paths().measurementFile(DayPeriod::Nuit)));
    }
    main->closeWithoutSaving();
  }

  void listMenuOpensOverAMarkedRow() {
    Env env;
    auto main = OpenMain();
    AddSomeReadings(*main);
    QTableView *list = main->listView(DayPeriod::Matin);
    QMenu *menu = main->menu(ControlId::ListMenu);
    emit list->customContextMenuRequested(QPoint(5, 5));
    QVERIFY(!menu->isVisible());
    list->selectRow(0);
    emit list->customContextMenuRequested(QPoint(5, 5));
    QTRY_VERIFY(menu->isVisible());
    QCOMPARE(menu->pos(), list->viewport()->mapToGlobal(QPoint(5, 5)));
    menu->close();
    // A button pressed from the keyboard opens its menu under itself.
    main->move(0, 0);
    QCursor::setPos(790, 590);
    DrawnButton *archive = main->button(ControlId::ButtonArchive);
    QVERIFY(!archive->rect().contains(archive->mapFromGlobal(QCursor::pos())));
    archive->setFocus();
    QTest::keyClick(archive, Qt::Key_Space);
    QTRY_VERIFY(main->menu(ControlId::ArchiveMenu)->isVisible());
    QCOMPARE(main->menu(ControlId::ArchiveMenu)->pos(),
             archive->mapToGlobal(archive->rect().bottomLeft()));
    main->menu(ControlId::ArchiveMenu)->close();
    // The two buttons marked with the triangle open their menus.
    RunButtonCommand(*main, ControlId::ButtonHelp);
    QTRY_VERIFY(main->menu(ControlId::HelpMenu)->isVisible());
    main->menu(ControlId::HelpMenu)->close();
    RunButtonCommand(*main, ControlId::ButtonArchive);
    QTRY_VERIFY(main->menu(ControlId::ArchiveMenu)->isVisible());
    main->menu(ControlId::ArchiveMenu)->close();
    main->closeWithoutSaving();
  }

  void frenchStandardTexts() {
    InstallFrenchLanguage(*qApp);
    QCOMPARE(QLocale().language(), QLocale::French);
    QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Annuler"));
  }

  void informationTextCycle() {
    Env env;
    MainWindow main;
    auto *panel = qobject_cast<InformationPanel *>(main.control(ControlId::InformationPanel));
    QCOMPARE(panel->title(), QStringLiteral("Le cycle cardiaque"));
    QCOMPARE(panel->text(), InformationText(1));
    const int expected[] = {1, 2, 3, 4, 5, 1, 2};
    for (int number : expected) {
      main.advanceInformationText();
      QCOMPARE(State().informationText, number);
      QCOMPARE(panel->text(), InformationText(number));
    }
  }

  void missingDocuments_data() {
    QTest::addColumn<int>("id");
    QTest::addColumn<QStringList>("paths"); // tried in this order
    QTest::addColumn<QString>("text");
    const QString help =
        QStringLiteral("Le fichier d'aide n'a pas été trouvé dans le répertoire de l'application.");
    const QString form =
        QStringLiteral("Le fichier n'a pas été trouvé dans le répertoire de l'application.");
    const QStringList helpForms = {HelpFilePath(), HelpPagesPath()};
    QTest::newRow("help menu") << ToInt(ControlId::MenuOpenHelp) << helpForms << help;
    QTest::newRow("Ctrl+H") << ToInt(ShortcutId::Help) << helpForms << help;
    QTest::newRow("form menu") << ToInt(ControlId::MenuOpenForm) << QStringList{ReferenceFormPath()}
                               << form;
    QTest::newRow("Ctrl+F") << ToInt(ShortcutId::Form) << QStringList{ReferenceFormPath()} << form;
  }
  void missingDocuments() {
    QFETCH(int, id);
    QFETCH(QStringList, paths);
    QFETCH(QString, text);
    Env env;
    MainWindow main;
    ConnectCommands(main);
    env.shell.result = false;
    RunMenuCommand(main, id);
    QCOMPARE(env.shell.documents, paths);
    QCOMPARE(env.dialogs.shown.size(), 1);
    QCOMPARE(env.dialogs.shown.first().icon, Dialogs::Icon::Error);
    QCOMPARE(env.dialogs.shown.first().title, QStringLiteral("ERREUR"));
    QCOMPARE(env.dialogs.shown.first().text, text);

    env.dialogs.clear();
    env.shell.result = true;
    RunMenuCommand(main, id);
    QVERIFY(env.dialogs.shown.isEmpty());
    QVERIFY(paths.first().startsWith(QDir::currentPath() + u'/'));
  }

  // Where no program opens the compiled help (usual on Linux), the same
  // pages open as HTML; the compiled help is never handed to a shell that
  // would report success and show nothing.
  void helpWithoutCompiledHelpViewer_data() {
    QTest::addColumn<bool>("pagesOpen");
    QTest::newRow("pages open") << true;
    QTest::newRow("pages fail too") << false;
  }
  void helpWithoutCompiledHelpViewer() {
    QFETCH(bool, pagesOpen);
    Env env;
    MainWindow main;
    ConnectCommands(main);
    env.shell.unhandledSuffixes = {QStringLiteral("chm")};
    env.shell.result = pagesOpen;
    RunMenuCommand(main, ToInt(ControlId::MenuOpenHelp));
    QCOMPARE(env.shell.documents, QStringList{HelpPagesPath()});
    QCOMPARE(env.dialogs.shown.size(), pagesOpen ? 0 : 1);
  }

  // Help pages there but no program to show them: said so, with the file,
  // rather than a box saying the help is missing.
  void helpWithoutBrowser() {
    Env env;
    const QString old = QDir::currentPath();
    QVERIFY(QDir::setCurrent(env.home.path()));
    const auto back = qScopeGuard([&] { QDir::setCurrent(old); });
    QVERIFY(WriteFile(HelpPagesPath(), "<html></html>"));
    env.shell.unhandledSuffixes = {QStringLiteral("chm"), QStringLiteral("html")};
    OpenHelpFile(nullptr);
    QVERIFY(env.shell.documents.isEmpty());
    QCOMPARE(env.dialogs.shown.size(), 1);
    QCOMPARE(env.dialogs.shown[0].text,
             QStringLiteral("Aucun navigateur n'est installé pour ouvrir l'aide.\n\n") +
                 QDir::toNativeSeparators(HelpPagesPath()));
  }

  // The starting size and the minimum never exceed the screen's free area
  // less the frame: the full 1024 × 768 where it fits, the minimum no
  // higher than the layout needs. Free areas with a 40-pixel taskbar (27
  // at 150 %, in logical pixels).
  void windowFitsTheScreen_data() {
    QTest::addColumn<QRect>("available");
    QTest::addColumn<QSize>("start");
    QTest::addColumn<QSize>("minimum");
    const int least = MainWindow::kSmallestHeight;
    QTest::newRow("1366x768") << QRect(0, 0, 1366, 728) << QSize(1024, 689) << QSize(1024, least);
    QTest::newRow("1280x720") << QRect(0, 0, 1280, 680) << QSize(1024, 641) << QSize(1024, least);
    QTest::newRow("1920x1080") << QRect(0, 0, 1920, 1040) << QSize(1024, 768) << QSize(1024, least);
    QTest::newRow("1366x768 at 150%")
        << QRect(0, 0, 911, 485) << QSize(895, 446) << QSize(895, 446);
    QTest::newRow("1280x720 at 150%")
        << QRect(0, 0, 853, 453) << QSize(837, 414) << QSize(837, 414);
    QTest::newRow("1920x1080 at 150%")
        << QRect(0, 0, 1280, 693) << QSize(1024, 654) << QSize(1024, least);
    QTest::newRow("second screen on the left")
        << QRect(-1366, 0, 1366, 728) << QSize(1024, 689) << QSize(1024, least);
  }
  void windowFitsTheScreen() {
    QFETCH(QRect, available);
    QFETCH(QSize, start);
    QFETCH(QSize, minimum);
    const QMargins frame = DefaultFrameMargins();
    const QSize fitted = FittedWindowSize(available, frame);
    QCOMPARE(fitted, start);
    QCOMPARE(MinimumWindowSize(available, frame), minimum);
    QVERIFY(fitted.width() + frame.left() + frame.right() <= available.width());
    QVERIFY(fitted.height() + frame.top() + frame.bottom() <= available.height());
  }

  // The note and flags of a reading from the window: "Remarque..." on the
  // selected Matin reading (08:15, 131/84/66), with a context or not
  // before, answered, cancelled or emptied; "Ajouter" with "Pouls
  // irrégulier" ticked. Then the store, the list's mark, tooltip and
  // accessible name, and "Détails tension".
  void readingContextInTheWindow_data() {
    QTest::addColumn<bool>("add");        // "Ajouter" (else "Remarque...")
    QTest::addColumn<int>("before");      // flags before (the note: "autre bras" when set)
    QTest::addColumn<QString>("typed");   // the note typed; "-" cancels the form
    QTest::addColumn<int>("ticked");      // flags ticked in the form, or the box for "Ajouter"
    QTest::addColumn<QString>("pulse");   // typed for "Ajouter"
    QTest::addColumn<int>("flags");       // of the reading after
    QTest::addColumn<QString>("note");    // of the reading after
    QTest::addColumn<QString>("details"); // the lines "Détails tension" gains
    QTest::addColumn<bool>("boxTicked");  // "Pouls irrégulier" after "Ajouter"
    const int irregular = int(ContextFlag::Irregular), medication = int(ContextFlag::Medication);
    const int movement = int(ContextFlag::Movement);
    const QString br = QStringLiteral("\n\r");
    QTest::newRow("note and two flags")
        << false << 0 << QStringLiteral("  après le café\n") << (irregular | medication) << ""
        << (irregular | medication) << QStringLiteral("après le café")
        << QStringLiteral("Contexte : pouls irrégulier, traitement pris") + br +
               QStringLiteral("Remarque : après le café") + br
        << false;
    QTest::newRow("cancelled") << false << movement << QStringLiteral("-") << 0 << "" << movement
                               << QStringLiteral("autre bras")
                               << QStringLiteral("Contexte : mouvement") + br +
                                      QStringLiteral("Remarque : autre bras") + br
                               << false;
    QTest::newRow("emptied") << false << movement << QString() << 0 << "" << 0 << QString()
                             << QString() << false;
    QTest::newRow("note too long")
        << false << 0 << QString(250, u'x') << 0 << "" << 0 << QString(200, u'x')
        << QStringLiteral("Remarque : ") + QString(200, u'x') + br << false;
    QTest::newRow("Ajouter, Pouls irrégulier")
        << true << 0 << QString() << irregular << "70" << irregular << QString()
        << QStringLiteral("Contexte : pouls irrégulier") + br << false;
    QTest::newRow("Ajouter, note and every flag")
        << true << 0 << QStringLiteral(" après le café ") << 15 << "70" << 15
        << QStringLiteral("après le café")
        << QStringLiteral("Contexte : pouls irrégulier, traitement pris, mouvement, brassard mal "
                          "placé") +
               br + QStringLiteral("Remarque : après le café") + br
        << false;
    QTest::newRow("Ajouter, note alone")
        << true << 0 << QStringLiteral("bras gauche") << 0 << "70" << 0
        << QStringLiteral("bras gauche") << QStringLiteral("Remarque : bras gauche") + br << false;
    QTest::newRow("Ajouter, refused") << true << 0 << QStringLiteral("gardée") << irregular << ""
                                      << 0 << QString() << QString() << true;
    QTest::newRow("Ajouter, box not ticked")
        << true << 0 << QString() << 0 << "70" << 0 << QString() << QString() << false;
  }
  void readingContextInTheWindow() {
    QFETCH(bool, add);
    QFETCH(int, before);
    QFETCH(QString, typed);
    QFETCH(int, ticked);
    QFETCH(QString, pulse);
    QFETCH(int, flags);
    QFETCH(QString, note);
    QFETCH(QString, details);
    QFETCH(bool, boxTicked);
    Env env;
    auto main = OpenMain();
    AddSomeReadings(*main);
    QVERIFY(QTest::qWaitForWindowExposed(main.get()));
    PeriodListModel &matin = main->lists().list(DayPeriod::Matin);
    ReadingContexts &contexts = main->logbook().contexts();
    if (before) {
      contexts.set(DayPeriod::Matin, matin.reading(0),
                   {QStringLiteral("autre bras"), quint8(before)});
    }
    main->setCurrentTab(PeriodInfo(DayPeriod::Matin).tabIndex);
    QTableView *view = main->listView(DayPeriod::Matin);
    auto *box = qobject_cast<QCheckBox *>(main->control(ControlId::IrregularCheck));
    QVERIFY(box);
    QCOMPARE(box->text(), QStringLiteral("Pouls irrégulier"));
    if (add) {
      qobject_cast<QTimeEdit *>(main->control(ControlId::TimeField))->setTime(QTime(8, 40));
      TypeValues(*main, QStringLiteral("142"), QStringLiteral("91"), pulse);
      // The note and the four flags of the input panel go with the reading;
      // the panel is emptied once it is filed, kept when it is refused.
      const std::pair<ControlId, ContextFlag> boxes[] = {
          {ControlId::IrregularCheck, ContextFlag::Irregular},
          {ControlId::MedicationCheck, ContextFlag::Medication},
          {ControlId::MovementCheck, ContextFlag::Movement},
          {ControlId::CuffMisplacedCheck, ContextFlag::CuffMisplaced}};
      for (const auto &[id, flag] : boxes) {
        qobject_cast<QCheckBox *>(main->control(id))->setChecked((ticked & int(flag)) != 0);
      }
      auto *noteField = qobject_cast<QLineEdit *>(main->control(ControlId::NoteField));
      QVERIFY(noteField);
      noteField->setText(typed);
      RunButtonCommand(*main, ControlId::ButtonAdd);
      for (const auto &[id, flag] : boxes) {
        QCOMPARE(qobject_cast<QCheckBox *>(main->control(id))->isChecked(),
                 boxTicked && (ticked & int(flag)) != 0);
      }
      QCOMPARE(noteField->text(), boxTicked ? typed : QString());
    } else {
      view->selectRow(0);
      if (typed == u"-") {
        env.dialogs.answerNo();
      } else {
        QList<bool> checked;
        for (ContextFlag f : kAllContextFlags) {
          checked << ((ticked & int(f)) != 0);
        }
        env.dialogs.answerNote(typed, checked);
      }
      RunMenuCommand(*main, ToInt(ControlId::MenuNote));
      QCOMPARE(env.dialogs.shown.size(), 1);
      const ShownBox &form = env.dialogs.shown[0];
      QCOMPARE(form.kind, ShownBox::Note);
      QCOMPARE(form.title, QStringLiteral("Remarque"));
      QCOMPARE(form.form.heading,
               QStringLiteral("Relevé du 14/03/2026 à 08:15 : 131/84, pouls 66 (Matin)"));
      QCOMPARE(form.form.lineLabel, QStringLiteral("Remarque :"));
      QCOMPARE(form.form.maxLength, 200);
      QCOMPARE(form.form.text, before ? QStringLiteral("autre bras") : QString());
      QCOMPARE(form.form.labels,
               QStringList({QStringLiteral("Pouls irrégulier"), QStringLiteral("Traitement pris"),
                            QStringLiteral("Mouvement"), QStringLiteral("Brassard mal placé")}));
      QCOMPARE(form.form.checked[2], before != 0);
    }
    QVERIFY(env.dialogs.allAnswersUsed());

    // The reading the command was about: the one selected, or the one added last.
    const int row = add ? int(matin.size()) - 1 : 0;
    const ReadingContext *context = contexts.find(DayPeriod::Matin, matin.reading(row));
    QCOMPARE(context ? int(context->flags) : 0, flags);
    QCOMPARE(context ? context->note : QString(), note);
    QCOMPARE(contexts.isEmpty(), flags == 0 && note.isEmpty());
    const QModelIndex date = matin.index(row, 0);
    const bool marked = flags != 0 || !note.isEmpty();
    QCOMPARE(date.data(PeriodListModel::ContextRole).toInt() != 0, marked);
    const QString summary = marked ? ContextSummary(*context) : QString();
    QCOMPARE(matin.index(row, 4).data(Qt::ToolTipRole).toString(),
             marked ? ContextToolTip(*context) : QString());
    QAccessibleInterface *list = QAccessible::queryAccessibleInterface(view);
    QVERIFY(list && list->tableInterface());
    QCOMPARE(list->tableInterface()->cellAt(row, 0)->text(QAccessible::Name),
             marked ? matin.reading(row)[0] + QStringLiteral(", ") + summary
                    : matin.reading(row)[0]);
    QCOMPARE(list->tableInterface()->cellAt(row, 3)->text(QAccessible::Description), summary);
    if (marked) {
      QVERIFY(summary.contains(note.isEmpty() ? ContextFlagText(ContextFlag(flags & -flags))
                                              : QStringLiteral("remarque : ") + note));
    }

    env.dialogs.clear();
    view->clearSelection();
    view->selectRow(row);
    RunMenuCommand(*main, ToInt(ControlId::MenuShow));
    QCOMPARE(env.dialogs.shown.size(), 1);
    QCOMPARE(env.dialogs.shown[0].text, ReadingDetailsText(matin.reading(row)) + details);
    if (QByteArray(QTest::currentDataTag()) == "note and two flags") {
      QVERIFY(main->grab().save(SnapshotFolder() + QStringLiteral("main-context-mark.png")));
    }
    main->closeWithoutSaving();
  }

  // At 1366 × 768 with its taskbar, at the minimum and maximised, every
  // control shows whole inside the window, the status bar included, and
  // the picture never covers the information panel. At 150 % (a logical
  // screen of 910 × 512), every control the user acts with shows whole: the
  // command buttons side by side with their labels in them, every tab.
  void everyControlShowsOn1366x768_data() {
    QTest::addColumn<QRect>("available");
    QTest::addColumn<QSize>("size");
    const QRect full(0, 0, 1366, 728), scaled(0, 0, 910, 485);
    QTest::newRow("starting size") << full << FittedWindowSize(full, DefaultFrameMargins());
    QTest::newRow("minimum") << full << MinimumWindowSize(full, DefaultFrameMargins());
    QTest::newRow("maximised") << full << QSize(1366, 728 - 23);
    QTest::newRow("150 %, minimum") << scaled << MinimumWindowSize(scaled, DefaultFrameMargins());
    QTest::newRow("150 %, maximised") << scaled << QSize(910, 485 - 23);
  }
  void everyControlShowsOn1366x768() {
    QFETCH(QRect, available);
    QFETCH(QSize, size);
    Env env;
    auto main = OpenMain();
    QVERIFY(QTest::qWaitForWindowExposed(main.get()));
    AddSomeReadings(*main);
    main->refreshAveragesAndGraphs();
    main->setMinimumSize(MinimumWindowSize(available, DefaultFrameMargins()));
    main->resize(size);
    QTRY_COMPARE(main->size(), size);
    const QRect inside = main->rect();
    const bool scaled = available.width() < 1024;
    QList<ControlId> ids = {
        ControlId::Banner,          ControlId::ButtonQuit,    ControlId::ButtonPatient,
        ControlId::ButtonSave,      ControlId::ButtonArchive, ControlId::ButtonPrint,
        ControlId::ButtonAbout,     ControlId::ButtonHelp,    ControlId::ButtonSettings,
        ControlId::ButtonPin,       ControlId::ButtonDelete,  ControlId::LeftPanel,
        ControlId::DateField,       ControlId::TimeField,     ControlId::SystolicField,
        ControlId::DiastolicField,  ControlId::PulseField,    ControlId::IrregularCheck,
        ControlId::MedicationCheck, ControlId::MovementCheck, ControlId::CuffMisplacedCheck,
        ControlId::NoteField,       ControlId::ButtonAdd,     ControlId::ButtonClear,
        ControlId::RightPanel,      ControlId::TabPanel,      ControlId::StatusBar};
    if (!scaled) {
      ids << ControlId::InformationPanel << ControlId::Picture << ControlId::PictureCaption;
    }
    // The command buttons in a row, none over the next, each label in its button.
    const ControlId row[] = {ControlId::ButtonQuit,  ControlId::ButtonPatient,
                             ControlId::ButtonSave,  ControlId::ButtonArchive,
                             ControlId::ButtonPrint, ControlId::ButtonAbout,
                             ControlId::ButtonHelp,  ControlId::ButtonSettings,
                             ControlId::ButtonPin,   ControlId::ButtonDelete};
    for (size_t i = 1; i < std::size(row); ++i) {
      QVERIFY2(main->button(row[i - 1])->geometry().right() <
                   main->button(row[i])->geometry().left(),
               qPrintable(main->button(row[i])->label()));
    }
    for (ControlId id : ids) {
      if (auto *b = qobject_cast<DrawnButton *>(main->control(id))) {
        QVERIFY2(QFontMetrics(b->font()).horizontalAdvance(b->label()) <= b->labelRoom(),
                 qPrintable(b->label()));
      }
    }
    auto *tabs = qobject_cast<QTabWidget *>(main->control(ControlId::TabPanel));
    for (int tab = 0; tab < tabs->count(); ++tab) {
      QVERIFY2(tabs->tabBar()->rect().contains(tabs->tabBar()->tabRect(tab)),
               qPrintable(tabs->tabText(tab)));
    }
    for (ControlId id : ids) {
      QWidget *w = main->control(id);
      QVERIFY(w);
      const QRect at(w->mapTo(main.get(), QPoint(0, 0)), w->size());
      QVERIFY2(w->isVisible() && inside.contains(at), qPrintable(QStringLiteral("%1 at %2,%3 %4x%5")
                                                                     .arg(ToInt(id))
                                                                     .arg(at.x())
                                                                     .arg(at.y())
                                                                     .arg(at.width())
                                                                     .arg(at.height())));
    }
    QCOMPARE(main->control(ControlId::StatusBar)->geometry().bottom(), size.height() - 1);
    QVERIFY(main->control(ControlId::PictureCaption)->isVisible() ==
            main->control(ControlId::Picture)->isVisible());
    QVERIFY(!main->control(ControlId::Picture)
                 ->geometry()
                 .intersects(main->control(ControlId::InformationPanel)->geometry()));
    QVERIFY(main->grab().save(SnapshotFolder() + QStringLiteral("main-1366x768-%1.png")
                                                     .arg(QString::fromUtf8(QTest::currentDataTag())
                                                              .remove(QStringLiteral(" %,"))
                                                              .replace(u' ', u'-'))));
  }

  // After "Paramètres" the curve style chosen shows in the selector and
  // typing goes on in the first value field, not on "Quitter".
  void preferencesAppliedAndFocusBack() {
    Env env;
    auto main = OpenMain();
    QVERIFY(QTest::qWaitForWindowActive(main.get()));
    State().curveStyle = 3;
    bool seen = false;
    QTimer::singleShot(0, [&] {
      QWidget *window = QApplication::activeModalWidget();
      if (!window) {
        return;
      }
      seen = true;
      qobject_cast<QAbstractButton *>(FindControl(window, ControlId::PrefCurveLines))->click();
      qobject_cast<QAbstractButton *>(FindControl(window, ControlId::PrefButtonSave))->click();
    });
    QTest::mouseClick(main->button(ControlId::ButtonSettings), Qt::LeftButton);
    QVERIFY(seen);
    QCOMPARE(State().curveStyle, 1);
    QCOMPARE(
        qobject_cast<QComboBox *>(main->control(ControlId::CurveStyleSelector))->currentIndex(), 0);
    // The widget that takes the keyboard as the window comes back to the front.
    QCOMPARE(main->focusWidget(), main->control(ControlId::SystolicField));
    QTest::keyClicks(main->focusWidget(), QStringLiteral("128"));
    QCOMPARE(qobject_cast<QLineEdit *>(main->control(ControlId::SystolicField))->text(),
             QStringLiteral("128"));
    QVERIFY(main->isVisible());
  }

  void licenceAndWebSite() {
    Env env;
    const QString old = QDir::currentPath();
    QVERIFY(QDir::setCurrent(env.home.path()));
    OpenLicenceText(); // missing: nothing at all
    QVERIFY(env.shell.documents.isEmpty());
    QVERIFY(WriteFile(env.home.path() + QStringLiteral("TNV Docs/Tensiolog_Licence-FR.txt"),
                      "Licence\r\n"));
    OpenLicenceText();
    QCOMPARE(env.shell.documents,
             QStringList{env.home.path() + QStringLiteral("TNV Docs/Tensiolog_Licence-FR.txt")});
    QDir::setCurrent(old);

    env.shell.result = false;
    QVERIFY(!OpenWebSite(nullptr));
    QCOMPARE(env.shell.addresses, QStringList{WebSiteAddress()});
    QVERIFY(WebSiteAddress().startsWith(QStringLiteral("https://")));
    QCOMPARE(env.dialogs.shown.size(), 1);
    QCOMPARE(env.dialogs.shown.first().icon, Dialogs::Icon::Warning);
    QCOMPARE(env.dialogs.shown.first().title, QStringLiteral("Connexion..."));
    QCOMPARE(env.dialogs.shown.first().text, QStringLiteral("Impossible de se connecter au site"));
  }

  void resizeRule_data() {
    QTest::addColumn<int>("extraHeight");
    QTest::newRow("minimum size") << 0;
    QTest::newRow("300 pixels taller") << 300;
  }
  void resizeRule() {
    QFETCH(int, extraHeight);
    Env env;
    MainWindow main;
    main.show();
    QVERIFY(QTest::qWaitForWindowExposed(&main));
    main.resize(1024, 768 + extraHeight);
    const int W = 1024, H = 768 + extraHeight;
    QTRY_COMPARE(main.size(), QSize(W, H));
    QCOMPARE(main.control(ControlId::Banner)->geometry(), QRect(0, 0, W, 40));
    QCOMPARE(main.control(ControlId::ButtonFiller)->geometry(), QRect(1010, 40, W - 1010, 30));
    QCOMPARE(main.control(ControlId::LeftPanel)->geometry(), QRect(0, 75, 250, H - 100));
    // Under the information panel (its bottom at 435 in the left panel), the
    // picture takes up to 240 pixels square above its caption, centred.
    const QRect picture = extraHeight == 0 ? QRect(23, 437, 203, 203) : QRect(5, H - 368, 240, 240);
    QCOMPARE(main.control(ControlId::Picture)->geometry(), picture);
    QCOMPARE(main.control(ControlId::PictureCaption)->geometry(), QRect(20, H - 128, 210, 20));
    QCOMPARE(main.control(ControlId::RightPanel)->geometry(), QRect(252, 75, W - 252, H - 100));
    // The tab panel under the series line (44 pixels).
    QCOMPARE(main.control(ControlId::TabPanel)->size(), QSize(W - 252, H - 102 - 44));
    if (extraHeight == 0) {
      QCOMPARE(main.control(ControlId::PictureCaption)->y(), 640);
      // All five tabs, "Les moyennes" included, show without scroll arrows.
      auto *bar = qobject_cast<QTabWidget *>(main.control(ControlId::TabPanel))->tabBar();
      QVERIFY2(bar->sizeHint().width() <= W - 252,
               qPrintable(QString::number(bar->sizeHint().width())));
      // What the controls need fits the least size the window takes (the
      // picture at 620 pixels is checked by everyControlShowsOn1366x768).
      const QSize least = main.layout()->totalMinimumSize();
      QVERIFY2(least.width() <= W && least.height() <= MainWindow::kSmallestHeight,
               qPrintable(QStringLiteral("%1x%2").arg(least.width()).arg(least.height())));
    }

    auto *tabs = qobject_cast<QTabWidget *>(main.control(ControlId::TabPanel));
    tabs->setCurrentIndex(4);
    QWidget *page = tabs->widget(4);
    QTRY_COMPARE(page->width(), W - 252);
    // Under the boxes the three graphs share what is left, each under its
    // title, as wide as the page less 10 pixels each side.
    const int h = (page->height() - 190) / 3;
    QWidget *g67 = main.control(ControlId::SystolicGraph);
    QWidget *l68 = main.control(ControlId::DiastolicGraphTitle);
    QWidget *g69 = main.control(ControlId::DiastolicGraph);
    QWidget *l70 = main.control(ControlId::PulseGraphTitle);
    QWidget *g71 = main.control(ControlId::PulseGraph);
    QCOMPARE(g67->pos(), QPoint(10, 152));
    QCOMPARE(l68->y(), g67->geometry().bottom() + 2);
    QCOMPARE(g69->y(), l68->y() + 18);
    QCOMPARE(l70->y(), g69->geometry().bottom() + 2);
    QCOMPARE(g71->y(), l70->y() + 18);
    QCOMPARE(g71->geometry().bottom(), page->height() - 1);
    for (QWidget *graph : {g67, g69, g71}) {
      QCOMPARE(graph->width(), 752);
      QVERIFY2(graph->height() == h || graph->height() == h + 1,
               qPrintable(QString::number(graph->height())));
    }
    // Each list fills its page.
    QCOMPARE(main.listView(DayPeriod::Matin)->width(), W - 252);

    static int heightAtMinimum = 0;
    if (extraHeight == 0) {
      heightAtMinimum = h;
    } else if (heightAtMinimum > 0) {
      QCOMPARE(h, heightAtMinimum + 100);
    }
  }

  void quitWaysLeaveTheSameFiles() {
    QList<QByteArray> results;
    for (int way = 0; way < 3; ++way) {
      Env env;
      auto main = OpenMain(QStringLiteral("Jean Dupont"));
      QVERIFY(QTest::qWaitForWindowActive(main.get()));
      AddSomeReadings(*main);
      env.dialogs.setStrictMessages(true);
      switch (way) {
      case 0:
        main->close();
        break;
      case 1:
        QTest::mouseClick(main->button(ControlId::ButtonQuit), Qt::LeftButton);
        break;
      default:
        QTest::keyClick(main.get(), Qt::Key_Q, Qt::ControlModifier);
        break;
      }
      QVERIFY(!main->isVisible());
      QVERIFY(main->isShutDown());
      QVERIFY(env.dialogs.shown.isEmpty());
      const QByteArray files = FilesOf(env.data());
      QVERIFY(files.contains("ARTL_Matin_Jean Dupont.txt"));
      QVERIFY(files.contains("ARTL_Nuit_Jean Dupont.txt"));
      QVERIFY(!files.contains("ARTL_Jour_"));
      results << files;
    }
    QCOMPARE(results.at(1), results.at(0));
    QCOMPARE(results.at(2), results.at(0));
  }

  void quitWithAFailedSaveAsks_data() {
    QTest::addColumn<bool>("quitAnyway");
    QTest::newRow("stay") << false;
    QTest::newRow("quit anyway") << true;
  }
  void quitWithAFailedSaveAsks() {
    QFETCH(bool, quitAnyway);
    Env env;
    auto main = OpenMain();
    AddSomeReadings(*main);
    QVERIFY(QDir().mkpath(Paths().measurementFile(DayPeriod::Nuit)));
    if (quitAnyway) {
      env.dialogs.answerYes();
    } else {
      env.dialogs.answerNo();
    }
    main->close();
    QCOMPARE(env.dialogs.shown.size(), 1);
    const ShownBox &box = env.dialogs.shown.first();
    QCOMPARE(box.kind, ShownBox::YesNo);
    QCOMPARE(box.icon, Dialogs::Icon::Warning);
    QVERIFY(box.text.contains(QStringLiteral("Nuit")));
    QVERIFY(!box.text.contains(QStringLiteral("Matin")));
    QCOMPARE(main->isVisible(), !quitAnyway);
    QCOMPARE(main->isShutDown(), quitAnyway);
    // The lists that could be written were written either way.
    QVERIFY(QFileInfo::exists(Paths().measurementFile(DayPeriod::Matin)));
    main->closeWithoutSaving();
  }

  // A session's end, from the application or from a termination signal,
  // saves as "Quitter" does, without a box.
  void terminationSavesAsQuit_data() {
    QTest::addColumn<bool>("signal");
    QTest::newRow("terminate") << false;
#ifdef Q_OS_UNIX // Windows ends a session through commitDataRequest
    QTest::newRow("SIGTERM") << true;
#endif
  }
  void terminationSavesAsQuit() {
    QFETCH(bool, signal);
    Env env;
    State().currentPatient = QStringLiteral("Alice");
    Application app;
    QVERIFY(app.start());
    AddSomeReadings(*app.mainWindow());
    QSignalSpy finished(&app, &Application::finished);
    env.dialogs.setStrictMessages(true);
    if (signal) {
      ::raise(SIGTERM);
    } else {
      app.terminate();
    }
    QTRY_COMPARE(finished.count(), 1);
    QVERIFY(!app.mainWindow()->isVisible());
    QVERIFY(env.dialogs.shown.isEmpty());
    QCOMPARE(ReadFile(Paths().measurementFile(DayPeriod::Nuit)).left(3), QByteArray("1\r\n"));
    QVERIFY(QFileInfo::exists(Paths().measurementFile(DayPeriod::Matin)));
    QVERIFY(QFileInfo::exists(Paths().measurementFile(DayPeriod::Soir)));
  }

  // A logout while a list cannot be saved (its file a link into a sync
  // folder that is not mounted): the list goes to a rescue copy beside the
  // data files, which the start-up clean-up keeps and names.
  void terminationRescuesWhatCannotBeSaved() {
#ifndef Q_OS_UNIX
    QSKIP("a dangling link stands for the sync folder that is not mounted");
#else
    Env env;
    State().currentPatient = QStringLiteral("Alice");
    Application app;
    QVERIFY(app.start());
    QVERIFY(QFile::link(env.data() + QStringLiteral("absent/soir.txt"),
                        Paths().measurementFile(DayPeriod::Soir)));
    AddSomeReadings(*app.mainWindow());
    app.terminate();
    QVERIFY(env.dialogs.shown.isEmpty());
    const QStringList copies =
        QDir(env.data()).entryList({QStringLiteral("ARTL_Soir_Alice.txt.secours-*")}, QDir::Files);
    QCOMPARE(copies.size(), 1);
    const QString rescue = env.data() + copies.first();
    QCOMPARE(ReadFile(rescue).left(3), QByteArray("1\r\n"));
    const StoreStartup next = OpenStore(Paths());
    QCOMPARE(next.rescueCopies, QStringList{rescue});
    QVERIFY(QFileInfo::exists(rescue));
    QVERIFY(StoreStartupText(next).contains(QDir::toNativeSeparators(rescue)));
#endif
  }

  void controlsAndMenus() {
    Env env;
    MainWindow main;
    // Every number of the layout tables reaches its control: 0 to 76 but
    // 27 (none) and the menu entries 35 to 41 and 73 to 75; the archive menu.
    QList<int> numbers{ToInt(ControlId::ArchiveMenu)};
    for (int n = 0; n <= ToInt(ControlId::StatusBar); ++n) {
      if (n != 27 && (n < ToInt(ControlId::MenuDelete) || n > ToInt(ControlId::MenuModifyPulse)) &&
          (n < ToInt(ControlId::MenuOpenHelp) || n > ToInt(ControlId::MenuSeries))) {
        numbers << n;
      }
    }
    QCOMPARE(numbers.size(), 67);
    for (int n : numbers) {
      QVERIFY2(main.control(ControlId(n)), qPrintable(QString::number(n)));
      QCOMPARE(ControlNumber(main.control(ControlId(n))), n);
    }
    QVERIFY(qobject_cast<GraphCanvas *>(main.control(ControlId::PulseGraph)));
    QCOMPARE(main.button(ControlId::ButtonArchive)->label(), QStringLiteral("Archiver ∇"));
    const auto tip = BalloonTipOf(main.button(ControlId::ButtonSettings));
    QVERIFY(tip);
    QCOMPARE(tip->title, QStringLiteral("Paramètres (Ctrl+P)"));
    QCOMPARE(tip->text,
             QStringLiteral("Choisissez les paramètres de fonctionnement de ") + ProgramTitle());
    QVERIFY(!BalloonTipOf(main.button(ControlId::ButtonFiller)));

    auto texts = [](QMenu *menu) {
      QStringList out;
      for (QAction *a : menu->actions()) {
        out << (a->isSeparator() ? QStringLiteral("-") : a->text());
      }
      return out;
    };
    QCOMPARE(texts(main.menu(ControlId::ListMenu)),
             QStringList({QStringLiteral("Supprimer les données"), QStringLiteral("-"),
                          QStringLiteral("Afficher les données"), QStringLiteral("-"),
                          QStringLiteral("Modifier..."), QStringLiteral("-"),
                          QStringLiteral("Remarque...")}));
    QCOMPARE(
        texts(main.menu(ControlId::HelpMenu)),
        QStringList({QStringLiteral("Ouvrir l'aide (Ctrl+H)"), QStringLiteral("-"),
                     QStringLiteral("CNAM-Relévé Automesure-tensionnelle_VF.pdf (Ctrl+F)"),
                     QStringLiteral("-"), QStringLiteral("Remplir le relevé d'automesure (Ctrl+R)"),
                     QStringLiteral("-")}));
    QStringList archive{QStringLiteral("Archiver les relevés affichés (Ctrl+A)"),
                        QStringLiteral("-"),
                        QStringLiteral("Ouvrir le gestionnaire d'archives (Ctrl+G)"),
                        QStringLiteral("-"),
                        QStringLiteral("Exporter les relevés (CSV)... (Ctrl+E)"),
                        QStringLiteral("-"),
                        QStringLiteral("Exporter au format FHIR..."),
                        QStringLiteral("-"),
                        QStringLiteral("Importer des relevés (CSV)... (Ctrl+L)"),
                        QStringLiteral("-")};
#ifdef TENSIOLOG_HAS_METER_LINK
    archive << QStringLiteral("Lire le tensiomètre (Bluetooth)... (Ctrl+B)") << QStringLiteral("-");
#endif
    QCOMPARE(texts(main.menu(ControlId::ArchiveMenu)), archive);
    QCOMPARE(main.menuAction(ToInt(ControlId::MenuModifyPulse))->text(),
             QStringLiteral("Le pouls"));
    auto *tabs = qobject_cast<QTabWidget *>(main.control(ControlId::TabPanel));
    QCOMPARE(tabs->tabText(3), QStringLiteral(" Nuit, entre 00h00 et 06h00   "));
    QCOMPARE(tabs->widget(3), main.control(ControlId::ListNuit));
    QCOMPARE(tabs->tabText(4), QStringLiteral(" Les moyennes   "));
  }

  void snapshots() {
    Env env;
    auto main = OpenMain(QStringLiteral("Jean Dupont"));
    AddSomeReadings(*main);
    main->refreshAveragesAndGraphs();
    // Values being typed, to see them in the fields' font.
    TypeValues(*main, QStringLiteral("128"), QStringLiteral("82"), QStringLiteral("71"));
    QVERIFY(QTest::qWaitForWindowExposed(main.get()));
    auto *tabs = qobject_cast<QTabWidget *>(main->control(ControlId::TabPanel));
    const char *names[] = {"matin", "jour", "soir", "nuit", "moyennes"};
    for (int tab = 0; tab < 5; ++tab) {
      tabs->setCurrentIndex(tab);
      QCoreApplication::processEvents();
      const QString file =
          SnapshotFolder() + QStringLiteral("main_window_%1.png").arg(QLatin1String(names[tab]));
      QVERIFY(main->grab().save(file));
    }
    main->closeWithoutSaving();

    // The same window in the dark scheme, as a start with the dark flag shows it.
    auto dark = OpenMain(QStringLiteral("Jean Dupont"));
    AddSomeReadings(*dark);
    State().darkAppearance = true;
    ApplyDarkScheme(*dark);
    dark->refreshAveragesAndGraphs();
    QVERIFY(QTest::qWaitForWindowExposed(dark.get()));
    auto *darkTabs = qobject_cast<QTabWidget *>(dark->control(ControlId::TabPanel));
    for (int tab : {0, 4}) {
      darkTabs->setCurrentIndex(tab);
      QCoreApplication::processEvents();
      QVERIFY(dark->grab().save(SnapshotFolder() +
                                QStringLiteral("main_window_dark_%1.png").arg(names[tab])));
    }
    State().darkAppearance = false;
    dark->closeWithoutSaving();

    SplashWindow splash;
    QCOMPARE(splash.size(), QSize(360, 100));
    QCOMPARE(splash.windowTitle(), ProgramTitle());
    QCOMPARE(splash.text(), QStringLiteral("Chargement des données\n\nMerci de patienter."));
    QVERIFY(splash.windowFlags() & Qt::WindowStaysOnTopHint);
    QVERIFY(!(splash.windowFlags() & Qt::WindowCloseButtonHint));
    QVERIFY(splash.grab().save(SnapshotFolder() + QStringLiteral("splash_window.png")));
  }
};

QTEST_MAIN(TestApp)
#include "tst_app.moc"
