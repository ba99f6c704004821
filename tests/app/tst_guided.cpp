// The series under way on the main window: the guided session by keyboard,
// each reading on disk at once with its note and flags; the reminders
// through the tray; the window kept in the tray; the start at log-in.
#include "fake_meter_link.h"
#include "fakes.h"
#include "test_world.h"

#include "app/commands.h"
#include "app/guided_dialog.h"
#include "app/main_window.h"
#include "app/series_companion.h"
#include "common/preferences_file.h"
#include "logbook/workflows.h"
#include "platform/autostart.h"
#include "readings.h"
#include "ui/controls.h"
#include "ui/drawing.h"

#include <QApplication>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <QTimer>

using namespace tl;
using namespace tl::test;

namespace {

class FakeTray : public Tray {
public:
  bool present = true;
  bool shown = false;
  QStringList notes; // "title | text"
  bool available() const override { return present; }
  void setVisible(bool visible) override { shown = visible; }
  bool isVisible() const override { return shown; }
  void notify(const QString &title, const QString &text) override {
    notes << title + QStringLiteral(" | ") + text;
  }
};

struct World : TestWorld {
  std::unique_ptr<MainWindow> main;
  SeriesCompanion *series = nullptr;
  FakeTray *tray = nullptr;

  explicit World(bool trayPresent = true) {
    qputenv("XDG_CONFIG_HOME", QByteArray(home.path().toUtf8() + "config"));
    State().currentPatient = QStringLiteral("Alice");
    RebuildMeasurementPaths(Paths(), State().currentPatient);
    main = std::make_unique<MainWindow>();
    ConnectCommands(*main);
    series = SeriesCompanion::of(*main);
    auto fake = std::make_unique<FakeTray>();
    fake->present = trayPresent;
    tray = fake.get();
    series->setTray(std::move(fake));
    main->show();
  }
  ~World() { qunsetenv("XDG_CONFIG_HOME"); }

  // A 2-2-3 series from today, the log-in start refused.
  void start() {
    SeriesRun run;
    run.start = clock.now().date();
    if (tray->present) {
      dialogs.answerNo();
    }
    series->startSeries(run);
  }
  QString line() const {
    return static_cast<QLabel *>(main->control(ControlId::SeriesLine))->text();
  }
};

template <typename T> T *Get(GuidedDialog &d, ControlId id) {
  return qobject_cast<T *>(d.control(id));
}

// Types a reading in the dialog by keyboard and presses Enter.
void TypeReading(GuidedDialog &d, const char *s, const char *di, const char *p, const char *note,
                 int flagToTick) {
  QVERIFY(Get<QLineEdit>(d, ControlId::GuidedSystolic)->hasFocus());
  QWidget *w = QApplication::focusWidget();
  QTest::keyClicks(w, QString::fromUtf8(s));
  QTest::keyClick(w, Qt::Key_Tab);
  QTest::keyClicks(QApplication::focusWidget(), QString::fromUtf8(di));
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  QTest::keyClicks(QApplication::focusWidget(), QString::fromUtf8(p));
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  QTest::keyClicks(QApplication::focusWidget(), QString::fromUtf8(note));
  for (int i = 0; i <= flagToTick; ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  }
  if (flagToTick >= 0) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
  }
  QTest::keyClick(Get<QLineEdit>(d, ControlId::GuidedPulse), Qt::Key_Return);
}

} // namespace

class TestGuided : public QObject {
  Q_OBJECT
private slots:
  void guidedSessionFilesEachReading();
  void remindersThroughTheTray();
  void noTray();
  void keptInTrayOnClose();
  void autostartEntry();
  void finishedSeriesStaysReadable();
  void followedFromTheSeriesWindow();
  void readingFromTheMeter_data();
  void readingFromTheMeter();
};

void TestGuided::guidedSessionFilesEachReading() {
  World w;
  w.clock.set(QDateTime(QDate(2026, 3, 14), QTime(21, 0)));
  w.start();
  QCOMPARE(w.line(), QStringLiteral("Série 2-2-3 commencée le 14/03 — jour 1 sur 3 (7 au plus) — "
                                    "matin : 0/2 — ce soir : 2 mesures à faire"));
  bool ran = false;
  w.series->runDialog = [&](GuidedDialog &d) {
    ran = true;
    d.show();
    QApplication::setActiveWindow(&d);
    QCOMPARE(Get<QLabel>(d, ControlId::GuidedHeading)->text(), QStringLiteral("Avant de mesurer"));
    QVERIFY(!d.control(ControlId::GuidedNotice)); // the evening session is open
    d.grab().save(SnapshotFolder() + QStringLiteral("guided_conditions.png"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QCOMPARE(d.session().step(), GuidedSession::Step::Rest);
    auto *countdown = Get<QLabel>(d, ControlId::GuidedCountdown);
    QVERIFY(countdown->hasFocus());
    w.clock.advanceSeconds(130);
    d.tick();
    QCOMPARE(countdown->text(), QStringLiteral("2:50"));
    QCOMPARE(countdown->accessibleName(),
             QStringLiteral("Repos assis : encore 2 minutes 50 secondes avant la mesure 1 sur 2"));
    d.grab().save(SnapshotFolder() + QStringLiteral("guided_rest.png"));
    // Cut short from the keyboard: the reading's note says so.
    QTest::keyClick(countdown, Qt::Key_Return);
    QCOMPARE(Get<QLabel>(d, ControlId::GuidedHeading)->text(), QStringLiteral("Mesure 1 sur 2"));
    TypeReading(d, "142", "88", "71", "stress", 1); // "Traitement pris"
    QCOMPARE(d.session().step(), GuidedSession::Step::Pause);

    // On disk at once, with its note and flags.
    Logbook reread(State().currentPatient, Paths());
    LoadLogbook(reread);
    QCOMPARE(reread.list(DayPeriod::Soir).size(), 1);
    const Reading first = reread.list(DayPeriod::Soir).reading(0);
    QCOMPARE(first[Reading::Time], QStringLiteral("21:02"));
    const ReadingContext *context = reread.contexts().find(DayPeriod::Soir, first);
    QVERIFY(context);
    QCOMPARE(context->note, QStringLiteral("stress ; repos écourté : 2 min 10 s sur 5 min"));
    QCOMPARE(context->flags, quint8(ContextFlag::Medication));

    w.clock.advanceSeconds(60);
    d.tick();
    QCOMPARE(Get<QLabel>(d, ControlId::GuidedHeading)->text(), QStringLiteral("Mesure 2 sur 2"));
    // A value that is no number keeps the reading page.
    TypeReading(d, "13O", "85", "70", "", -1);
    QCOMPARE(Get<QLabel>(d, ControlId::GuidedError)->text(),
             QStringLiteral("La systolique « 13O » n'est pas un nombre entier."));
    Get<QLineEdit>(d, ControlId::GuidedSystolic)->setText(QStringLiteral("138"));
    d.grab().save(SnapshotFolder() + QStringLiteral("guided_reading.png"));
    QTest::keyClick(Get<QLineEdit>(d, ControlId::GuidedSystolic), Qt::Key_Return);
    QCOMPARE(d.session().step(), GuidedSession::Step::Done);
    QCOMPARE(
        d.filed(),
        QStringList({QStringLiteral("21:02 : 142/88, pouls 71 (Soir) — traitement pris ; "
                                    "remarque : stress ; repos écourté : 2 min 10 s sur 5 min"),
                     QStringLiteral("21:03 : 138/85, pouls 70 (Soir) — remarque : repos "
                                    "écourté : 2 min 10 s sur 5 min")}));
    QVERIFY(
        Get<QLabel>(d, ControlId::GuidedSummary)->text().contains(QStringLiteral("soir : 2/2 ✓")));
    d.grab().save(SnapshotFolder() + QStringLiteral("guided_done.png"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QVERIFY(!d.isVisible());
  };
  RunMenuCommand(*w.main, ToInt(ShortcutId::MeasureNow));
  QVERIFY(ran);
  QVERIFY(!w.series->dialog());
  QCOMPARE(w.line(), QStringLiteral("Série 2-2-3 commencée le 14/03 — jour 1 sur 3 (7 au plus) — "
                                    "matin : 0/2 — soir : 2/2 ✓ — demain matin : 2 mesures à "
                                    "faire"));
  w.main->resize(1024, 768);
  w.main->grab().save(SnapshotFolder() + QStringLiteral("main_series_line.png"));
}

void TestGuided::remindersThroughTheTray() {
  World w;
  w.start();
  QVERIFY(w.tray->shown);
  w.series->checkReminders();
  w.clock.set(QDateTime(QDate(2026, 3, 14), QTime(20, 59)));
  w.series->checkReminders();
  QVERIFY(w.tray->notes.isEmpty());
  w.clock.set(QDateTime(QDate(2026, 3, 14), QTime(21, 0, 15)));
  w.series->checkReminders();
  QCOMPARE(w.tray->notes,
           QStringList(QStringLiteral(
               "Tensiolog — série d'automesure | Mesure du soir : 2 mesures à faire")));
  w.series->checkReminders();
  QCOMPARE(w.tray->notes.size(), 1);
  // The notification clicked opens the guided session.
  int opened = 0;
  w.series->runDialog = [&](GuidedDialog &d) {
    ++opened;
    QCOMPARE(d.session().readings(), 2);
  };
  w.tray->measureRequested();
  QCOMPARE(opened, 1);
  // Stopped: no more reminders, the tray icon goes.
  w.dialogs.answerYes();
  RunMenuCommand(*w.main, ToInt(ControlId::MenuSeriesStop));
  QVERIFY(!w.tray->shown);
  QVERIFY(w.line().startsWith(QStringLiteral("Série 2-2-3 commencée le 14/03, arrêtée")));
  w.clock.set(QDateTime(QDate(2026, 3, 15), QTime(7, 31)));
  w.series->checkReminders();
  QCOMPARE(w.tray->notes.size(), 1);
}

void TestGuided::noTray() {
  World w(false);
  w.start();
  QCOMPARE(w.dialogs.shown.size(), 1);
  QVERIFY(w.dialogs.shown[0].text.contains(QStringLiteral("pas de zone de notification")));
  QVERIFY(w.series->running());
  w.main->close();
  QVERIFY(w.main->isShutDown()); // no tray: closing quits
}

void TestGuided::keptInTrayOnClose() {
  World w;
  w.start();
  w.dialogs.answerYes();
  w.main->close();
  QVERIFY(!w.main->isShutDown());
  QVERIFY(!w.main->isVisible());
  QVERIFY(w.tray->shown);
  QCOMPARE(ReadPreferences(PreferencesReader::fromFile(Paths().preferencesFile)).keepInTray,
           QStringLiteral("1"));
  // Asked once: the next close goes to the tray without a question.
  w.tray->openRequested();
  QVERIFY(w.main->isVisible());
  const qsizetype boxes = w.dialogs.shown.size();
  w.main->close();
  QCOMPARE(w.dialogs.shown.size(), boxes);
  QVERIFY(!w.main->isVisible());
  // The answer is ticked in the series menu, where it can be changed.
  QAction *keep = w.main->menuAction(ToInt(ControlId::MenuSeriesKeepInTray));
  QVERIFY(keep->isChecked());
  for (const char *answer : {"0", "1"}) {
    keep->trigger();
    QCOMPARE(ReadPreferences(PreferencesReader::fromFile(Paths().preferencesFile)).keepInTray,
             QString::fromLatin1(answer));
  }
  // Quitting still quits, and saves.
  w.tray->quitRequested();
  QVERIFY(w.main->isShutDown());
}

void TestGuided::autostartEntry() {
  World w;
#ifdef Q_OS_WIN
  // The user's Run key: a value naming the program, quoted, with --tray.
  const QString runKey =
      QStringLiteral("HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run");
  QCOMPARE(AutostartLocation(), runKey + QStringLiteral("\\Tensiolog"));
  const auto written = [&] {
    return QSettings(runKey, QSettings::NativeFormat).value(QStringLiteral("Tensiolog")).toString();
  };
  const QString expected =
      QStringLiteral("\"%1\" --tray")
          .arg(QDir::toNativeSeparators(QCoreApplication::applicationFilePath()));
#else
  const QString entry = w.home.path() + QStringLiteral("config/autostart/tensiolog.desktop");
  QCOMPARE(AutostartLocation(), entry);
  const auto written = [&] {
    QFile file(entry);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
  };
  const QString expected = QStringLiteral("[Desktop Entry]\n"
                                          "Type=Application\n"
                                          "Name=Tensiolog\n"
                                          "Comment=Rappels de la série d'automesure tensionnelle\n"
                                          "Exec=%1 --tray\n"
                                          "Terminal=false\n"
                                          "X-GNOME-Autostart-enabled=true\n")
                               .arg(QCoreApplication::applicationFilePath());
#endif
  SeriesRun run;
  run.start = w.clock.now().date();
  w.dialogs.answerYes();
  w.series->startSeries(run);
  QCOMPARE(written(), expected);
  w.dialogs.answerYes();
  w.series->stopSeriesCommand();
  QCOMPARE(written(), QString());
  // Refused when a new series starts: none written.
  w.dialogs.answerNo();
  w.series->startSeries(run);
  QCOMPARE(written(), QString());
}

void TestGuided::finishedSeriesStaysReadable() {
  World w;
  SeriesRun run;
  run.start = QDate(2026, 3, 12);
  w.dialogs.answerYes();
  w.series->startSeries(run);
  QVERIFY(IsAutostartEnabled());
  // Three days of two morning and two evening readings, typed in the panel.
  for (int day = 0; day < 3; ++day) {
    for (const char *time : {"07:00", "07:02", "21:00", "21:02"}) {
      Reading r;
      r.set(Reading::Date, run.start.addDays(day).toString(QStringLiteral("dd/MM/yyyy")));
      r.set(Reading::Time, QString::fromUtf8(time));
      r.set(Reading::Systolic, QStringLiteral("121"));
      r.set(Reading::Diastolic, QStringLiteral("75"));
      r.set(Reading::Pulse, QStringLiteral("70"));
      w.main->lists().list(time[0] == '0' ? DayPeriod::Matin : DayPeriod::Soir).append(r);
    }
  }
  QTRY_VERIFY(!w.series->running());
  QCOMPARE(w.line(), QStringLiteral("Série 2-2-3 du 12/03 au 14/03 terminée — moyenne 121,0/75,0 "
                                    "mmHg sur 12 mesures, inférieure au seuil de 135/85 mmHg — "
                                    "ESC 2024 : tension élevée\nCe classement n'est pas un "
                                    "diagnostic ; Tensiolog n'est pas un dispositif médical."));
  QVERIFY(!IsAutostartEnabled());
  QCOMPARE(PatientEntryOf(
               ReadPreferences(PreferencesReader::fromFile(Paths().preferencesFile)).seriesRuns,
               QStringLiteral("Alice")),
           QStringLiteral("regle223,2026-03-12,0730,2100,terminee"));
  w.main->resize(1024, 768);
  w.main->grab().save(SnapshotFolder() + QStringLiteral("main_series_finished.png"));
}

void TestGuided::followedFromTheSeriesWindow() {
  World w;
  w.main->lists()
      .list(DayPeriod::Matin)
      .append(
          test::MakeReading(QStringLiteral("07:00"), 128, 80, 70, QStringLiteral("13/03/2026")));
  std::optional<SeriesRun> asked;
  w.series->askRun = [&](const SeriesRun &proposal) {
    asked = proposal;
    return std::optional<SeriesRun>(proposal);
  };
  QTimer::singleShot(0, [&] {
    auto *window = qobject_cast<QDialog *>(QApplication::activeModalWidget());
    QVERIFY(window);
    window->grab().save(SnapshotFolder() + QStringLiteral("series_window_follow.png"));
    auto *follow = qobject_cast<DrawnButton *>(FindControl(window, ControlId::SeriesButtonFollow));
    QVERIFY(follow);
    emit follow->clicked();
  });
  w.dialogs.answerNo(); // no start at log-in
  QTest::mouseClick(w.main->control(ControlId::ButtonSeriesForm), Qt::LeftButton);
  QVERIFY(asked);
  QCOMPARE(asked->start, QDate(2026, 3, 13)); // the window's first day
  QVERIFY(w.series->running());
  QVERIFY(w.line().startsWith(QStringLiteral("Série 2-2-3 commencée le 13/03 — jour 2 sur 3")));
}

// The remembered meter's newest record of the patient's user fills the
// reading: only one of these last minutes, never another user's.
void TestGuided::readingFromTheMeter_data() {
  QTest::addColumn<QList<QByteArray>>("records");
  QTest::addColumn<QString>("error");     // the link's failure; empty: it ended well
  QTest::addColumn<QStringList>("shown"); // systolic, diastolic, pulse in the fields
  QTest::addColumn<bool>("irregular");
  QTest::addColumn<QString>("status");
  const QDateTime now(QDate(2026, 3, 14), QTime(21, 0));
  const QByteArray fresh = MeterRecord(131, 84, 66, now.addSecs(-120), 1, 0x0004);
  QTest::newRow("fresh, irregular pulse")
      << QList<QByteArray>{fresh} << QString() << QStringList{"131", "84", "66"} << true
      << "Mesure du tensiomètre du 14/03/2026 à 20:58 : 131/84, pouls 66. Vérifiez-la, puis "
         "enregistrez-la.";
  QTest::newRow("the newest of several, the link then lost")
      << QList<QByteArray>{MeterRecord(150, 95, 80, now.addSecs(-600), 1), fresh,
                           MeterRecord(128, 82, 71, now.addSecs(-60), 2)}
      << QStringLiteral("la connexion avec le tensiomètre a été perdue")
      << QStringList{"131", "84", "66"} << true
      << "Mesure du tensiomètre du 14/03/2026 à 20:58 : 131/84, pouls 66. Vérifiez-la, puis "
         "enregistrez-la.";
  QTest::newRow("an hour old")
      << QList<QByteArray>{MeterRecord(131, 84, 66, now.addSecs(-3600), 1)} << QString()
      << QStringList{"", "", ""} << false
      << "La dernière mesure du tensiomètre date du 14/03/2026 à 20:00 : ce n'est pas celle de "
         "maintenant. Mesurez, puis lisez-la à nouveau ou tapez-la.";
  QTest::newRow("another user's only")
      << QList<QByteArray>{MeterRecord(128, 82, 71, now.addSecs(-60), 2)} << QString()
      << QStringList{"", "", ""} << false
      << "Le tensiomètre n'a envoyé aucune mesure de ce patient : tapez la mesure.";
  QTest::newRow("nothing, the link failed")
      << QList<QByteArray>{} << QStringLiteral("la connexion avec le tensiomètre a été perdue")
      << QStringList{"", "", ""} << false
      << "Le tensiomètre n'a pas pu être lu : la connexion avec le tensiomètre a été perdue.";
}

void TestGuided::readingFromTheMeter() {
  QFETCH(QList<QByteArray>, records);
  QFETCH(QString, error);
  QFETCH(QStringList, shown);
  QFETCH(bool, irregular);
  QFETCH(QString, status);
  TestWorld w;
  w.clock.set(QDateTime(QDate(2026, 3, 14), QTime(21, 0)));
  GuidedDialog d(
      2, QString(), [](const GuidedReading &, QString *) { return true; }, [] { return QString(); },
      nullptr, w.clock);
  QStringList reads;
  d.offerMeter(
      [&]() -> std::unique_ptr<MeterLink> {
        auto link = std::make_unique<FakeMeterLink>();
        link->records = records;
        link->error = error;
        link->received = w.clock.now();
        reads << QStringLiteral("read");
        return link;
      },
      QStringLiteral("00:11:22:33:44:55"), 1);
  d.show();
  Get<QPushButton>(d, ControlId::GuidedStartRest)->click();
  Get<QPushButton>(d, ControlId::GuidedSkipWait)->click();
  QCOMPARE(d.session().step(), GuidedSession::Step::Reading);
  auto *button = Get<QPushButton>(d, ControlId::GuidedReadMeter);
  QVERIFY(button->isVisible());
  QTest::mouseClick(button, Qt::LeftButton);
  QCOMPARE(reads.size(), 1);
  QCOMPARE(Get<QLineEdit>(d, ControlId::GuidedSystolic)->text(), shown[0]);
  QCOMPARE(Get<QLineEdit>(d, ControlId::GuidedDiastolic)->text(), shown[1]);
  QCOMPARE(Get<QLineEdit>(d, ControlId::GuidedPulse)->text(), shown[2]);
  QCOMPARE(Get<QCheckBox>(d, ControlId::GuidedFlagFirst)->isChecked(), irregular);
  QCOMPARE(Get<QLabel>(d, ControlId::GuidedMeterStatus)->text(), status);
  QVERIFY(button->isEnabled());
  if (QTest::currentDataTag() == QByteArrayLiteral("fresh, irregular pulse")) {
    d.grab().save(SnapshotFolder() + QStringLiteral("guided_reading_from_meter.png"));
  }
  // Without a remembered meter the readings are typed only.
  d.offerMeter([] { return std::unique_ptr<MeterLink>(); }, QString(), std::nullopt);
  QVERIFY(!button->isVisible());
}

QTEST_MAIN(TestGuided)
#include "tst_guided.moc"
