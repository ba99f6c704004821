// The home-measurement series: which readings count, the means as shown,
// and the verdict against 135/85 mmHg.
#include "fakes.h"
#include "readings.h"

#include "series/series.h"
#include "series/statistics.h"

#include <QTest>

using namespace tl;

namespace {

Reading R(const QDate &day, const char *time, int s, int d, int p) {
  return test::CellsReading({day.toString(QStringLiteral("dd/MM/yyyy")), QString::fromUtf8(time),
                             QString::number(s), QString::number(d), QString::number(p), "x"});
}

// `perSession` morning and evening readings on each of `days` days from `start`.
void Fill(std::vector<Reading> &matin, std::vector<Reading> &soir, QDate start, int days,
          int perSession, int s, int d, int p) {
  const char *mornings[] = {"07:00", "07:05", "07:10", "07:15"};
  const char *evenings[] = {"20:00", "20:05", "20:10", "20:15"};
  for (int day = 0; day < days; ++day) {
    for (int i = 0; i < perSession; ++i) {
      matin.push_back(R(start.addDays(day), mornings[i], s, d, p));
      soir.push_back(R(start.addDays(day), evenings[i], s, d, p));
    }
  }
}

const QDate kStart(2026, 3, 2);

SeriesLists Lists(const std::vector<Reading> &matin, const std::vector<Reading> &soir) {
  return {&matin, nullptr, &soir, nullptr};
}

// The 2-2-3 rule's sessions: two readings each morning and evening of `days`
// days from `from`.
void Fill223(std::vector<Reading> &out, QDate from, int days, int s, int d, int p = 70) {
  for (int day = 0; day < days; ++day) {
    for (const char *time : {"07:00", "07:02", "21:00", "21:02"}) {
      out.push_back(R(from.addDays(day), time, s, d, p));
    }
  }
}

const QString kElevated = QStringLiteral(
    "Moyenne dans la zone « tension élevée » (120–134 / 70–84 mmHg) des recommandations ESC 2024 "
    "; ce classement n'est pas un diagnostic.");
const QString kHypertension = QStringLiteral(
    "Moyenne dans la zone « hypertension » (135/85 mmHg ou plus) des recommandations ESC 2024 ; ce "
    "classement n'est pas un diagnostic.");

} // namespace

class TestSeries : public QObject {
  Q_OBJECT

private slots:
  void protocols() {
    QCOMPARE(ProtocolFromKey(u"regle3"), std::optional(Protocol::Rule3));
    QCOMPARE(ProtocolFromKey(u"esh7"), std::optional(Protocol::European7));
    QCOMPARE(ProtocolFromKey(u"regle223"), std::optional(Protocol::Rule223));
    QCOMPARE(ProtocolFromKey(u"esh"), std::nullopt);
    QCOMPARE(kProtocols[ProtocolIndex(kDefaultProtocol)], Protocol::Rule223);
    QCOMPARE(ProtocolOf(Protocol::European7).text,
             QStringLiteral("Protocole européen : 7 jours, 2 mesures le matin et 2 le soir"));
  }

  // Rounded half away from zero, in whole numbers: what is shown is exact.
  void meansAsShown_data() {
    QTest::addColumn<qint64>("sum");
    QTest::addColumn<qint64>("count");
    QTest::addColumn<QString>("shown");
    QTest::newRow("134,95 shows 135,0") << qint64(2699) << qint64(20) << "135,0";
    QTest::newRow("134,94 shows 134,9") << qint64(6747) << qint64(50) << "134,9";
    QTest::newRow("exact") << qint64(2600) << qint64(20) << "130,0";
    QTest::newRow("thirds") << qint64(400) << qint64(3) << "133,3";
    QTest::newRow("half away from zero, negative") << qint64(-2699) << qint64(20) << "-135,0";
    QTest::newRow("no reading") << qint64(0) << qint64(0) << "";
  }
  void meansAsShown() {
    QFETCH(qint64, sum);
    QFETCH(qint64, count);
    QFETCH(QString, shown);
    QCOMPARE(FrenchTenths(MeanTenths(sum, count)), shown);
  }

  // Whole series, one per row, each answer worked out by hand from the
  // protocols: the first day, what counts, the means as shown, the verdict,
  // what is missing and why readings are left out.
  void series_data() {
    QTest::addColumn<int>("protocol");
    QTest::addColumn<std::vector<Reading>>("matin");
    QTest::addColumn<std::vector<Reading>>("soir");
    QTest::addColumn<QDate>("asked"); // invalid: the default start
    QTest::addColumn<QDate>("first");
    QTest::addColumn<int>("counted");
    QTest::addColumn<QString>("means"); // systolic/diastolic as shown
    QTest::addColumn<int>("verdict");
    QTest::addColumn<QString>("compliance");
    QTest::addColumn<QString>("lines"); // the verdict lines but the last
    QTest::addColumn<QStringList>("reasons");
    const QString below =
        QStringLiteral("Moyenne inférieure au seuil de l'automesure (135/85 mmHg).\n") + kElevated;
    const QString above = QStringLiteral("Moyenne égale ou supérieure au seuil de l'automesure "
                                         "(135/85 mmHg) : montrez ce relevé à votre médecin.\n") +
                          kHypertension;
    std::vector<Reading> m, s;

    Fill(m, s, kStart, 3, 3, 130, 80, 70);
    QTest::newRow("rule of 3, complete")
        << int(Protocol::Rule3) << m << s << QDate() << kStart << 18 << "130,0/80,0"
        << int(Verdict::Below) << "18 mesures sur 18 attendues." << below << QStringList();
    // A fourth morning reading is not counted.
    std::vector<Reading> more = m;
    more.push_back(R(kStart, "07:30", 200, 120, 90));
    QTest::newRow("rule of 3, a fourth reading")
        << int(Protocol::Rule3) << more << s << QDate() << kStart << 18 << "130,0/80,0"
        << int(Verdict::Below) << "18 mesures sur 18 attendues." << below
        << QStringList{"surnuméraire"};
    // The second evening is missing: 15 readings, mornings and evenings measured.
    std::vector<Reading> gap;
    for (const Reading &r : s) {
      if (r[Reading::Date] != kStart.addDays(1).toString(QStringLiteral("dd/MM/yyyy"))) {
        gap.push_back(r);
      }
    }
    QTest::newRow("rule of 3, an evening missing")
        << int(Protocol::Rule3) << m << gap << QDate() << kStart << 15 << "130,0/80,0"
        << int(Verdict::Below) << "15 mesures sur 18 attendues; manquent : soir du 2e jour (3)."
        << below << QStringList();
    // A morning reading changed to 20:00 (and to high values) counts in the
    // evening of its time, first of it: the last evening reading is one too many.
    std::vector<Reading> moved = m;
    moved[0] = R(kStart, "20:00", 180, 110, 90);
    QTest::newRow("a time contradicting its list")
        << int(Protocol::Rule3) << moved << s << QDate() << kStart << 17 << "132,9/81,8"
        << int(Verdict::Below) << "17 mesures sur 18 attendues; manquent : matin du 1er jour (1)."
        << below << QStringList{"surnuméraire"};

    // The early riser: every morning before 06:01, an evening at 18:00 sharp
    // and one after midnight. Nine evening readings remain.
    m.clear();
    std::vector<Reading> early = s;
    for (int day = 0; day < 3; ++day) {
      for (const char *time : {"05:50", "05:53", "05:56"}) {
        m.push_back(R(kStart.addDays(day), time, 150, 95, 80));
      }
    }
    early.push_back(R(kStart, "18:00", 150, 95, 80));
    early.push_back(R(kStart.addDays(1), "00:10", 150, 95, 80));
    const QString mornings =
        QStringLiteral("matin du 1er jour (3), matin du 2e jour (3), matin du 3e jour (3).");
    QTest::newRow("the early riser")
        << int(Protocol::Rule3) << m << early << QDate() << kStart << 9 << "130,0/80,0"
        << int(Verdict::Incomplete) << "9 mesures sur 18 attendues; manquent : " + mornings
        << "Relevé incomplet : 9 mesures retenues sur 18 attendues, il en faut au moins 12 pour "
           "conclure.\nManquent : " +
               mornings
        << QStringList(11, QStringLiteral("hors des plages matin/soir"));

    // Four days measured, the first one high: day 1 is her first day, not
    // the first of the last seven; days 2 to 4 count, 5 to 7 are missing.
    m.clear();
    s.clear();
    Fill(m, s, kStart, 1, 2, 170, 100, 80);
    Fill(m, s, kStart.addDays(1), 3, 2, 130, 82, 70);
    const QString lastDays = QStringLiteral(
        "12 mesures sur 24 attendues; manquent : matin du 5e jour (2), soir du 5e jour (2), matin "
        "du 6e jour (2), soir du 6e jour (2), matin du 7e jour (2), soir du 7e jour (2).");
    QTest::newRow("esh7, four days measured")
        << int(Protocol::European7) << m << s << QDate() << kStart << 12 << "130,0/82,0"
        << int(Verdict::Below) << lastDays << below << QStringList();
    QTest::newRow("esh7, four days, asked from three days before")
        << int(Protocol::European7) << m << s << kStart.addDays(-3) << kStart << 12 << "130,0/82,0"
        << int(Verdict::Below) << lastDays << below << QStringList();

    // Mornings only: twelve readings, but no evening.
    m.clear();
    s.clear();
    Fill(m, s, kStart, 7, 2, 130, 80, 70);
    const QString evenings = QStringLiteral(
        "soir du 2e jour (2), soir du 3e jour (2), soir du 4e jour (2), soir du 5e jour (2), soir "
        "du 6e jour (2), soir du 7e jour (2).");
    QTest::newRow("esh7, mornings only")
        << int(Protocol::European7) << m << std::vector<Reading>() << QDate() << kStart << 12
        << "130,0/80,0" << int(Verdict::Incomplete)
        << "12 mesures sur 24 attendues; manquent : " + evenings
        << "Relevé incomplet : 12 mesures retenues, mais aucune le soir ; il faut des mesures du "
           "matin et du soir pour conclure.\nManquent : " +
               evenings
        << QStringList();

    // 20 counted readings summing 2699: 134,95 shows 135,0 and is at the
    // threshold; one mmHg less, 134,9, is below.
    for (int less = 0; less < 2; ++less) {
      m.clear();
      s.clear();
      Fill(m, s, kStart, 6, 2, 135, 80, 70);
      m[2] = R(kStart.addDays(1), "07:00", 134 - less, 80, 70); // day 2, counted
      QTest::newRow(less ? "threshold, just below" : "threshold, rounded up to it")
          << int(Protocol::European7) << m << s << QDate() << kStart << 20
          << (less ? "134,9/80,0" : "135,0/80,0") << int(less ? Verdict::Below : Verdict::Above)
          << "20 mesures sur 24 attendues; manquent : matin du 7e jour (2), soir du 7e jour (2)."
          << (less ? below : above) << QStringList();
    }
    // Across a year end.
    m.clear();
    s.clear();
    Fill(m, s, QDate(2026, 12, 31), 3, 3, 140, 90, 70);
    QTest::newRow("rule of 3 across a year end")
        << int(Protocol::Rule3) << m << s << QDate() << QDate(2026, 12, 31) << 18 << "140,0/90,0"
        << int(Verdict::Above) << "18 mesures sur 18 attendues." << above << QStringList();
  }
  void series() {
    QFETCH(int, protocol);
    QFETCH(std::vector<Reading>, matin);
    QFETCH(std::vector<Reading>, soir);
    QFETCH(QDate, asked);
    QFETCH(QDate, first);
    QFETCH(int, counted);
    QFETCH(QString, means);
    QFETCH(int, verdict);
    QFETCH(QString, compliance);
    QFETCH(QString, lines);
    QFETCH(QStringList, reasons);
    const Protocol p = static_cast<Protocol>(protocol);
    const std::optional<QDate> start =
        asked.isValid() ? std::optional(asked) : DefaultSeriesStart(Lists(matin, soir), p);
    QVERIFY(start);
    const SeriesResult series = ComputeSeries(Lists(matin, soir), p, *start);
    QCOMPARE(series.start, first);
    QCOMPARE(series.end, first.addDays(ProtocolOf(p).days - 1));
    QCOMPARE(int(series.all.count), counted);
    QCOMPARE(FrenchTenths(MeanTenths(series.all.systolic, series.all.count)) + u'/' +
                 FrenchTenths(MeanTenths(series.all.diastolic, series.all.count)),
             means);
    QCOMPARE(int(series.verdict), verdict);
    QCOMPARE(ComplianceLine(series), compliance);
    QStringList shown = VerdictLines(series);
    QCOMPARE(shown.takeLast(),
             QStringLiteral("Tensiolog n'est pas un dispositif médical : seul votre médecin "
                            "peut interpréter ces mesures."));
    QCOMPARE(shown.join(u'\n'), lines);
    QStringList why;
    for (const ExcludedReading &e : series.excluded) {
      why << e.reason;
    }
    QCOMPARE(why, reasons);
  }

  void defaultStartEndsOnTheLastDayMeasured() {
    std::vector<Reading> m = {R(QDate(2026, 3, 1), "07:00", 130, 80, 70),
                              R(QDate(2026, 3, 9), "07:00", 130, 80, 70)};
    std::vector<Reading> s = {R(QDate(2026, 3, 10), "20:00", 130, 80, 70),
                              test::CellsReading({"11/03/2026", "20:00", "abc", "80", "70", ""})};
    QCOMPARE(DefaultSeriesStart(Lists(m, s), Protocol::Rule3), std::optional(QDate(2026, 3, 8)));
    // The others begin on the first day measured among the last seven.
    QCOMPARE(DefaultSeriesStart(Lists(m, s), Protocol::European7),
             std::optional(QDate(2026, 3, 9)));
    QCOMPARE(DefaultSeriesStart(Lists(m, s), Protocol::Rule223), std::optional(QDate(2026, 3, 9)));
    QCOMPARE(DefaultSeriesStart(SeriesLists{}, Protocol::Rule3), std::nullopt);
  }

  // The 2-2-3 rule: 3 to 7 days, every counted reading averaged, the home
  // category of the rounded mean, and the advice to go on to the 7th day
  // when close to the threshold. Readings are filed by their time, as the
  // program files them, except those of `nuit`, stored in the Nuit list
  // whatever their time (as an import may do).
  void rule223_data() {
    QTest::addColumn<std::vector<Reading>>("filed");
    QTest::addColumn<std::vector<Reading>>("nuit");
    QTest::addColumn<int>("days");
    QTest::addColumn<int>("counted");
    QTest::addColumn<QString>("means");
    QTest::addColumn<QString>("category"); // "" while incomplete
    QTest::addColumn<bool>("extend");
    QTest::addColumn<QString>("compliance");
    QTest::addColumn<QStringList>("reasons");
    const auto row = [](const char *name, const std::vector<Reading> &filed, int days, int counted,
                        const char *means, const char *category, bool extend,
                        const QStringList &reasons = {}, const std::vector<Reading> &nuit = {}) {
      QTest::newRow(name)
          << filed << nuit << days << counted << means << category << extend
          << QStringLiteral("%1 mesures sur %2 attendues.").arg(counted).arg(days * 4) << reasons;
    };
    std::vector<Reading> v;
    const auto fresh = [&](int days, int s, int d) {
      v.clear();
      Fill223(v, kStart, days, s, d);
      return v;
    };
    row("3 days, close: go on", fresh(3, 130, 80), 3, 12, "130,0/80,0", "elevated", true);
    row("3 days, elevated, not close", fresh(3, 125, 75), 3, 12, "125,0/75,0", "elevated", false);
    row("3 days, diastolic close", fresh(3, 118, 89), 3, 12, "118,0/89,0", "hypertension", true);
    row("5 days", fresh(5, 128, 79), 5, 20, "128,0/79,0", "elevated", false);
    row("7 days, close but complete", fresh(7, 136, 82), 7, 28, "136,0/82,0", "hypertension",
        false);
    row("non-elevated", fresh(3, 119, 69), 3, 12, "119,0/69,0", "non_elevated", false);
    row("elevated by the diastolic alone", fresh(3, 119, 70), 3, 12, "119,0/70,0", "elevated",
        false);
    row("elevated by the systolic alone", fresh(3, 120, 69), 3, 12, "120,0/69,0", "elevated",
        false);
    row("hypertension by the diastolic alone", fresh(3, 100, 85), 3, 12, "100,0/85,0",
        "hypertension", true);
    row("just under both thresholds", fresh(3, 134, 84), 3, 12, "134,0/84,0", "elevated", true);
    // 20 readings summing 2699: 134,95 shows 135,0, at the threshold.
    fresh(5, 135, 70);
    v[1] = R(kStart, "07:02", 134, 70, 70);
    row("134,95 shown 135,0", v, 5, 20, "135,0/70,0", "hypertension", true);
    // A third morning reading and a copy of a reading are listed, not counted;
    // the copy never pushes the second reading out.
    fresh(3, 130, 80);
    v.push_back(R(kStart, "07:10", 200, 120, 90));
    v.push_back(v[0]);
    row("a third reading and a copy", v, 3, 12, "130,0/80,0", "elevated", true,
        {"en double", "surnuméraire"});
    fresh(3, 130, 80);
    v.insert(v.begin() + 1, R(kStart, "07:00", 130, 80, 70));
    v[2] = R(kStart, "07:02", 140, 80, 70);
    row("a copy before the second reading", v, 3, 12, "130,8/80,0", "elevated", true,
        {"en double"});
    // Day 1 counts, whatever it holds.
    v.clear();
    Fill223(v, kStart, 1, 170, 100);
    Fill223(v, kStart.addDays(1), 2, 130, 80);
    row("day 1 high and counted", v, 3, 12, "143,3/86,7", "hypertension", true);
    row("far above", fresh(3, 150, 95), 3, 12, "150,0/95,0", "hypertension", false);
    // A morning reading stored in Nuit still counts by its time.
    fresh(3, 130, 80);
    const std::vector<Reading> stored = {v[0]};
    v.erase(v.begin());
    row("a morning reading stored in Nuit", v, 3, 12, "130,0/80,0", "elevated", true, {}, stored);
    // A reading at noon is of the series' days but in no session.
    fresh(3, 130, 80);
    v.push_back(R(kStart.addDays(1), "13:00", 150, 90, 80));
    row("a reading at noon", v, 3, 12, "130,0/80,0", "elevated", true,
        {"hors des plages matin/soir"});

    v.clear();
    Fill223(v, kStart, 2, 140, 90);
    QTest::newRow("2 days only")
        << v << std::vector<Reading>() << 3 << 8 << "140,0/90,0"
        << "" << false
        << "8 mesures sur 12 attendues; manquent : matin du 3e jour (2), soir du 3e jour (2)."
        << QStringList();
  }
  void rule223() {
    QFETCH(std::vector<Reading>, filed);
    QFETCH(std::vector<Reading>, nuit);
    QFETCH(int, days);
    QFETCH(int, counted);
    QFETCH(QString, means);
    QFETCH(QString, category);
    QFETCH(bool, extend);
    QFETCH(QString, compliance);
    QFETCH(QStringList, reasons);
    std::array<std::vector<Reading>, 4> lists;
    for (const Reading &r : filed) {
      lists[size_t(PeriodIndex(PeriodOfTime(r[Reading::Time])))].push_back(r);
    }
    for (const Reading &r : nuit) {
      lists[size_t(PeriodIndex(DayPeriod::Nuit))].push_back(r);
    }
    const SeriesLists view = {&lists[0], &lists[1], &lists[2], &lists[3]};
    const std::optional<QDate> start = DefaultSeriesStart(view, Protocol::Rule223);
    QCOMPARE(start, std::optional(kStart));
    const SeriesResult series = ComputeSeries(view, Protocol::Rule223, *start);
    QCOMPARE(series.end, kStart.addDays(days - 1));
    QCOMPARE(int(series.all.count), counted);
    QCOMPARE(FrenchTenths(MeanTenths(series.all.systolic, series.all.count)) + u'/' +
                 FrenchTenths(MeanTenths(series.all.diastolic, series.all.count)),
             means);
    QCOMPARE(series.category ? HomeCategoryKey(*series.category) : QString(), category);
    QCOMPARE(series.extend, extend);
    QCOMPARE(ExtendSentence(series).isEmpty(), !extend);
    QCOMPARE(ComplianceLine(series), compliance);
    QStringList why;
    for (const ExcludedReading &e : series.excluded) {
      why << e.reason;
    }
    QCOMPARE(why, reasons);
  }

  // The sessions by time, default and widened, for every protocol: which
  // readings of one day count, the one after midnight with the day before.
  void sessionWindows_data() {
    QTest::addColumn<int>("protocol");
    QTest::addColumn<QString>("morningStart");
    QTest::addColumn<QString>("eveningEnd");
    QTest::addColumn<QStringList>("counted"); // times of the readings counted
    QTest::addColumn<QString>("sentence");
    for (Protocol p : kProtocols) {
      const QByteArray key = ProtocolOf(p).key.toUtf8();
      QTest::addRow("%s, default", key.constData())
          << int(p) << "06:01"
          << "23:59" << QStringList{"06:01", "12:00", "18:01", "23:59"}
          << "Plages des séances : matin 06:01-12:00, soir 18:01-23:59.";
      QTest::addRow("%s, widened", key.constData())
          << int(p) << "04:00"
          << "01:59" << QStringList{"04:00", "05:30", "06:00", "06:01", "12:00",
                                    "18:01", "23:59", "00:30", "01:59"}
          << "Plages des séances : matin 04:00-12:00, soir 18:01-01:59 le lendemain.";
      QTest::addRow("%s, to half past midnight", key.constData())
          << int(p) << "05:30"
          << "00:30" << QStringList{"05:30", "06:00", "06:01", "12:00", "18:01", "23:59", "00:30"}
          << "Plages des séances : matin 05:30-12:00, soir 18:01-00:30 le lendemain.";
    }
  }
  void sessionWindows() {
    QFETCH(int, protocol);
    QFETCH(QString, morningStart);
    QFETCH(QString, eveningEnd);
    QFETCH(QStringList, counted);
    QFETCH(QString, sentence);
    const Protocol p = Protocol(protocol);
    const auto settings =
        SeriesSettingsFromText(ProtocolOf(p).key + u',' + QString(morningStart).remove(u':') +
                               u',' + QString(eveningEnd).remove(u':'));
    QVERIFY(settings);
    QCOMPARE(settings->protocol, p);
    QCOMPARE(SeriesSettingsFromText(SeriesSettingsText(*settings)), settings);
    QCOMPARE(WindowsSentence(settings->windows), sentence);
    // The second day of the series: readings at the edges of the sessions,
    // and the third day's small hours, which belong to the second evening.
    const QDate day = kStart.addDays(ProtocolOf(p).firstCounted + 1);
    std::array<std::vector<Reading>, 4> lists;
    for (const char *time : {"03:59", "04:00", "05:30", "06:00", "06:01", "12:00", "12:01", "18:00",
                             "18:01", "23:59"}) {
      lists[size_t(PeriodIndex(PeriodOfTime(QString::fromUtf8(time))))].push_back(
          R(day, time, 130, 80, 70));
    }
    for (const char *time : {"00:30", "01:59", "02:00"}) {
      lists[size_t(PeriodIndex(DayPeriod::Nuit))].push_back(R(day.addDays(1), time, 130, 80, 70));
    }
    const SeriesLists view = {&lists[0], &lists[1], &lists[2], &lists[3]};
    SeriesResult series = ComputeSeries(view, p, kStart, settings->windows);
    // No session keeps more than its share: count the kept and the extra.
    QStringList kept;
    for (const SeriesDay &d : series.days) {
      for (const auto *session : {&d.morning, &d.evening}) {
        for (const SeriesReading &r : *session) {
          kept << TimeText(r.minutes);
        }
      }
    }
    for (const ExcludedReading &e : series.excluded) {
      if (e.reason == QStringLiteral("surnuméraire")) {
        kept << e.time;
      }
    }
    kept.sort();
    counted.sort();
    QCOMPARE(kept, counted);
  }

  // Every reading of the series' days that does not count is listed with
  // its reason; readings of other days are not part of the series.
  void exclusions_data() {
    QTest::addColumn<QStringList>("cells");
    QTest::addColumn<QString>("reason");
    const QString day = kStart.toString(QStringLiteral("dd/MM/yyyy"));
    QTest::newRow("date") << QStringList{"2/03/2026", "07:00", "130", "80", "70"}
                          << "date illisible";
    QTest::newRow("time") << QStringList{day, "7h00", "130", "80", "70"} << "heure illisible";
    QTest::newRow("systolic") << QStringList{day, "07:00", "13O", "80", "70"}
                              << "systolique illisible";
    QTest::newRow("diastolic") << QStringList{day, "07:00", "130", "", "70"}
                               << "diastolique illisible";
    QTest::newRow("pulse") << QStringList{day, "07:00", "130", "80", "7.0"} << "pouls illisible";
    QTest::newRow("impossible date")
        << QStringList{"31/02/2026", "07:00", "130", "80", "70"} << "date illisible";
    QTest::newRow("diastolic above systolic")
        << QStringList{day, "07:00", "80", "120", "70"} << "valeurs invraisemblables (80/120)";
    QTest::newRow("pulse 0") << QStringList{day, "07:00", "130", "80", "0"}
                             << "valeurs invraisemblables (pouls 0)";
    QTest::newRow("another day") << QStringList{"01/01/2026", "07:00", "1", "2", "3"} << "";
    QTest::newRow("countable") << QStringList{day, "07:00", "300", "200", "250"} << "";
  }
  void exclusions() {
    QFETCH(QStringList, cells);
    QFETCH(QString, reason);
    const std::vector<Reading> m = {test::CellsReading(cells)};
    const SeriesResult series = ComputeSeries(Lists(m, {}), Protocol::Rule3, kStart);
    if (reason.isEmpty()) {
      QVERIFY(series.excluded.empty());
      return;
    }
    QCOMPARE(series.excluded.size(), size_t(1));
    QCOMPARE(series.excluded[0].reason, reason);
    QCOMPARE(series.excluded[0].date, cells[0]);
    QCOMPARE(series.excluded[0].valuesText(),
             QStringLiteral("%1/%2, pouls %3").arg(cells[2], cells[3], cells[4]));
    QCOMPARE(series.excluded[0].period, DayPeriod::Matin);
    QCOMPARE(series.all.count, qint64(0));
  }

  // The doctor's report figures over the readings of a range, in date and
  // time order; one reading gives no deviation.
  void statistics() {
    const std::vector<Reading> list = {
        R(QDate(2026, 3, 3), "07:00", 140, 90, 80), R(QDate(2026, 3, 2), "20:00", 120, 80, 60),
        R(QDate(2026, 3, 2), "07:00", 130, 70, 70), R(QDate(2026, 2, 28), "07:00", 200, 110, 99),
        test::CellsReading({"02/03/2026", "08:00", "abc", "80", "70", ""})};
    const std::vector<SeriesReading> range =
        CountableReadings(list, DayPeriod::Matin, QDate(2026, 3, 1), QDate(2026, 3, 31));
    QCOMPARE(range.size(), size_t(3));
    QCOMPARE(range[0].systolic, 130); // 02/03 07:00, then 20:00, then 03/03
    QCOMPARE(range[2].systolic, 140);

    const ReadingStatistics stats = ComputeStatistics(range);
    QCOMPARE(stats.count, qint64(3));
    QCOMPARE(stats.systolic.mean, 130.0);
    QCOMPARE(*stats.systolic.deviation, 10.0); // sample deviation: n - 1
    QCOMPARE(stats.systolic.minimum, 120);
    QCOMPARE(stats.diastolic.maximum, 90);
    QCOMPARE(stats.meanPulsePressure, 50.0);
    QCOMPARE(stats.atOrAboveThreshold, qint64(1)); // 140/90 only
    QCOMPARE(stats.shareAtOrAboveThreshold, 1.0 / 3.0);
    qint64 classified = 0;
    for (qint64 n : stats.classes) {
      classified += n;
    }
    QCOMPARE(classified, qint64(3));
    QVERIFY(!ComputeStatistics({range[0]}).systolic.deviation);
    QCOMPARE(ComputeStatistics({}).count, qint64(0));
  }
};

QTEST_MAIN(TestSeries)
#include "tst_series.moc"
