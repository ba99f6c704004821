// A series under way: its line on the main window for each protocol and
// day, its reminders, and the steps of the guided session.
#include "fakes.h"
#include "readings.h"

#include "series/guided_session.h"
#include "series/series_run.h"

#include <QTest>

using namespace tl;

namespace {

const QDate kStart(2026, 12, 7);

// Readings from `kStart`: one "M/E" pair per day, the morning's and the
// evening's count ("2/2 2/2 2/0"), each of `s`/`d`, two minutes apart.
std::vector<Reading> Days(const QString &plan, int s, int d) {
  std::vector<Reading> out;
  const QStringList days = plan.split(u' ', Qt::SkipEmptyParts);
  for (int day = 0; day < days.size(); ++day) {
    const QStringList counts = days[day].split(u'/');
    for (int moment = 0; moment < 2; ++moment) {
      for (int i = 0; i < counts[moment].toInt(); ++i) {
        const QTime at = QTime(moment == 0 ? 7 : 21, 0).addSecs(i * 120);
        out.push_back(
            test::CellsReading({kStart.addDays(day).toString(QStringLiteral("dd/MM/yyyy")),
                                at.toString(QStringLiteral("HH:mm")), QString::number(s),
                                QString::number(d), QStringLiteral("70"), QStringLiteral("x")}));
      }
    }
  }
  return out;
}

SeriesRun Run(Protocol protocol, QDate start = kStart) {
  SeriesRun run;
  run.protocol = protocol;
  run.start = start;
  return run;
}

QDateTime On(int day, const char *time) {
  return QDateTime(kStart.addDays(day - 1), QTime::fromString(QString::fromUtf8(time), u"HH:mm"));
}

const QString kNotADevice =
    QStringLiteral("Ce classement n'est pas un diagnostic ; Tensiolog n'est pas un dispositif "
                   "médical.");

} // namespace

class TestSeriesRun : public QObject {
  Q_OBJECT
private slots:
  void runText();
  void progressLine_data();
  void progressLine();
  void reminders_data();
  void reminders();
  void guidedSessionSteps();
  void guidedSessionShortened();
};

void TestSeriesRun::runText() {
  SeriesRun run = Run(Protocol::Rule3);
  run.morningTime = 6 * 60 + 45;
  run.eveningTime = 22 * 60 + 5;
  run.state = RunState::Stopped;
  QCOMPARE(SeriesRunText(run), QStringLiteral("regle3,2026-12-07,0645,2205,arretee"));
  QCOMPARE(SeriesRunFromText(SeriesRunText(run)), run);
  for (const char *bad :
       {"", "regle3,2026-12-07,0645,2205", "regle9,2026-12-07,0645,2205,en_cours",
        "regle3,07/12/2026,0645,2205,en_cours", "regle3,2026-12-07,2460,2205,en_cours",
        "regle3,2026-12-07,0645,2205,finie"}) {
    QVERIFY2(!SeriesRunFromText(QString::fromUtf8(bad)), bad);
  }
}

void TestSeriesRun::progressLine_data() {
  QTest::addColumn<int>("protocol");
  QTest::addColumn<QString>("plan");
  QTest::addColumn<int>("systolic");
  QTest::addColumn<int>("state");
  QTest::addColumn<QDateTime>("now");
  QTest::addColumn<QStringList>("lines");
  const int rule223 = int(Protocol::Rule223), rule3 = int(Protocol::Rule3),
            esh7 = int(Protocol::European7);
  const int running = int(RunState::Running);
  QTest::newRow("2-2-3, first morning")
      << rule223 << "" << 125 << running << On(1, "07:10")
      << QStringList{"Série 2-2-3 commencée le 07/12 — jour 1 sur 3 (7 au plus) — ce matin : 2 "
                     "mesures à faire — ce soir : 2 mesures à faire"};
  QTest::newRow("2-2-3, day 3 evening to come")
      << rule223 << "2/2 2/2 2/0" << 125 << running << On(3, "19:00")
      << QStringList{"Série 2-2-3 commencée le 07/12 — jour 3 sur 3 (7 au plus) — matin : 2/2 ✓ "
                     "— ce soir : 2 mesures à faire"};
  QTest::newRow("2-2-3, morning short, evening begun")
      << rule223 << "2/2 1/1" << 125 << running << On(2, "21:30")
      << QStringList{"Série 2-2-3 commencée le 07/12 — jour 2 sur 3 (7 au plus) — matin : 1/2 — "
                     "ce soir : 1 mesure à faire"};
  QTest::newRow("2-2-3, day done, tomorrow next")
      << rule223 << "2/2" << 125 << running << On(1, "22:00")
      << QStringList{"Série 2-2-3 commencée le 07/12 — jour 1 sur 3 (7 au plus) — matin : 2/2 ✓ "
                     "— soir : 2/2 ✓ — demain matin : 2 mesures à faire"};
  QTest::newRow("2-2-3, complete, below")
      << rule223 << "2/2 2/2 2/2" << 121 << running << On(3, "22:00")
      << QStringList{"Série 2-2-3 du 07/12 au 09/12 terminée — moyenne 121,0/75,0 mmHg sur 12 "
                     "mesures, inférieure au seuil de 135/85 mmHg — ESC 2024 : tension élevée",
                     kNotADevice};
  QTest::newRow("2-2-3, near the threshold: on to day 7")
      << rule223 << "2/2 2/2 2/2" << 132 << running << On(4, "07:10")
      << QStringList{"Série 2-2-3 commencée le 07/12 — jour 4 sur 7 — ce matin : 2 mesures à "
                     "faire — ce soir : 2 mesures à faire"};
  QTest::newRow("2-2-3, stopped")
      << rule223 << "2/2" << 125 << int(RunState::Stopped) << On(2, "10:00")
      << QStringList{"Série 2-2-3 commencée le 07/12, arrêtée — relevé incomplet : 4 mesures "
                     "retenues sur 12 attendues"};
  QTest::newRow("2-2-3, not begun")
      << rule223 << "" << 125 << running << On(-1, "10:00")
      << QStringList{"Série 2-2-3 prévue à partir du 07/12 — matin du 07/12 : 2 mesures à faire"};
  QTest::newRow("rule of 3, day 2")
      << rule3 << "3/3 3/1" << 125 << running << On(2, "21:10")
      << QStringList{"Série règle des 3 commencée le 07/12 — jour 2 sur 3 — matin : 3/3 ✓ — ce "
                     "soir : 2 mesures à faire"};
  QTest::newRow("rule of 3, over and incomplete")
      << rule3 << "3/3" << 125 << running << On(5, "08:00")
      << QStringList{"Série règle des 3 du 07/12 au 09/12 terminée — relevé incomplet : 6 "
                     "mesures retenues sur 18 attendues"};
  QTest::newRow("rule of 3, complete, above")
      << rule3 << "3/3 3/3 3/3" << 140 << running << On(3, "23:00")
      << QStringList{"Série règle des 3 du 07/12 au 09/12 terminée — moyenne 140,0/75,0 mmHg sur "
                     "18 mesures, égale ou supérieure au seuil de 135/85 mmHg : montrez ce "
                     "relevé à votre médecin — ESC 2024 : hypertension",
                     kNotADevice};
  QTest::newRow("7 days, day 1 not counted")
      << esh7 << "2/2" << 125 << running << On(1, "22:00")
      << QStringList{"Série 7 jours commencée le 07/12 — jour 1 sur 7 (non compté) — matin : 2/2 "
                     "✓ — soir : 2/2 ✓ — demain matin : 2 mesures à faire"};
  QTest::newRow("7 days, day 6")
      << esh7 << "2/2 2/2 2/2 2/2 2/2 2/0" << 125 << running << On(6, "18:30")
      << QStringList{"Série 7 jours commencée le 07/12 — jour 6 sur 7 — matin : 2/2 ✓ — ce soir "
                     ": 2 mesures à faire"};
}

void TestSeriesRun::progressLine() {
  QFETCH(int, protocol);
  QFETCH(QString, plan);
  QFETCH(int, systolic);
  QFETCH(int, state);
  QFETCH(QDateTime, now);
  QFETCH(QStringList, lines);
  const std::vector<Reading> readings = Days(plan, systolic, 75);
  SeriesRun run = Run(Protocol(protocol));
  run.state = RunState(state);
  const SeriesProgress p = ProgressOf(run, {&readings, nullptr, nullptr, nullptr}, {}, now);
  QCOMPARE(ProgressLines(run, p, now), lines);
}

void TestSeriesRun::reminders_data() {
  QTest::addColumn<QString>("plan");
  QTest::addColumn<QDateTime>("from");
  QTest::addColumn<QDateTime>("to");
  QTest::addColumn<QString>("reminder");
  QTest::addColumn<QDateTime>("next"); // after `to`
  QTest::newRow("morning") << "" << On(1, "07:29") << On(1, "07:31")
                           << "Mesure du matin : 2 mesures à faire" << On(1, "21:00");
  QTest::newRow("evening") << "2/0" << On(1, "20:59") << On(1, "21:00")
                           << "Mesure du soir : 2 mesures à faire" << On(2, "07:30");
  QTest::newRow("evening begun") << "2/1" << On(1, "20:00") << On(1, "21:05")
                                 << "Mesure du soir : 1 mesure à faire" << On(2, "07:30");
  QTest::newRow("evening done before its time")
      << "2/2" << On(1, "20:59") << On(1, "21:01") << "" << On(2, "07:30");
  QTest::newRow("time already passed")
      << "" << On(1, "21:01") << On(1, "21:30") << "" << On(2, "07:30");
  QTest::newRow("asleep overnight: the latest")
      << "1/0" << On(1, "06:00") << On(2, "08:00") << "Mesure du matin : 2 mesures à faire"
      << On(2, "21:00");
  QTest::newRow("complete: no more")
      << "2/2 2/2 2/2" << On(3, "22:00") << On(4, "08:00") << "" << QDateTime();
}

void TestSeriesRun::reminders() {
  QFETCH(QString, plan);
  QFETCH(QDateTime, from);
  QFETCH(QDateTime, to);
  QFETCH(QString, reminder);
  QFETCH(QDateTime, next);
  const std::vector<Reading> readings = Days(plan, 125, 75);
  const SeriesRun run = Run(Protocol::Rule223);
  const SeriesProgress p = ProgressOf(run, {&readings, nullptr, nullptr, nullptr}, {}, to);
  const std::optional<Reminder> due = ReminderBetween(run, p, from, to);
  QCOMPARE(due ? due->text() : QString(), reminder);
  const std::optional<Reminder> after = NextReminder(run, p, to);
  QCOMPARE(after ? after->at : QDateTime(), next);
}

void TestSeriesRun::guidedSessionSteps() {
  test::FixedClock clock(On(1, "07:00"));
  GuidedSession session(2, clock);
  QCOMPARE(session.heading(), QStringLiteral("Avant de mesurer"));
  QVERIFY(!session.tick());
  session.startRest();
  QCOMPARE(session.step(), GuidedSession::Step::Rest);
  QCOMPARE(session.countdownText(), QStringLiteral("5:00"));
  clock.advanceSeconds(299);
  QVERIFY(!session.tick());
  QCOMPARE(session.spokenState(),
           QStringLiteral("Repos assis : encore 1 seconde avant la mesure 1 sur 2"));
  clock.advanceSeconds(1);
  QVERIFY(session.tick());
  QCOMPARE(session.heading(), QStringLiteral("Mesure 1 sur 2"));
  QVERIFY(!session.restShortened());
  QCOMPARE(session.restNote(), QString());
  session.readingFiled();
  QCOMPARE(session.step(), GuidedSession::Step::Pause);
  QCOMPARE(session.countdownText(), QStringLiteral("1:00"));
  clock.advanceSeconds(15);
  QCOMPARE(session.spokenState(),
           QStringLiteral("Attente : encore 45 secondes avant la mesure 2 sur 2"));
  clock.advanceSeconds(45);
  QVERIFY(session.tick());
  QCOMPARE(session.heading(), QStringLiteral("Mesure 2 sur 2"));
  session.readingFiled();
  QCOMPARE(session.step(), GuidedSession::Step::Done);
  QCOMPARE(session.heading(), QStringLiteral("Séance terminée"));
}

void TestSeriesRun::guidedSessionShortened() {
  test::FixedClock clock(On(1, "21:00"));
  GuidedSession session(3, clock);
  session.startRest();
  clock.advanceSeconds(130);
  QCOMPARE(session.spokenState(),
           QStringLiteral("Repos assis : encore 2 minutes 50 secondes avant la mesure 1 sur 3"));
  session.skipWait();
  QCOMPARE(session.step(), GuidedSession::Step::Reading);
  QVERIFY(session.restShortened());
  QCOMPARE(session.restNote(), QStringLiteral("repos écourté : 2 min 10 s sur 5 min"));
  session.readingFiled();
  session.skipWait(); // the minute may be cut short too; the rest stays as it was
  QCOMPARE(session.heading(), QStringLiteral("Mesure 2 sur 3"));
  QCOMPARE(session.restTaken(), 130);
}

QTEST_GUILESS_MAIN(TestSeriesRun)
#include "tst_series_run.moc"
