// The printed documents: what their PDF text holds (read back with
// pdftotext), their page numbering, and pictures of their pages for the
// snapshot folder (pdftoppm).
#include "fakes.h"
#include "readings.h"

#include "measurements/period_list_model.h"
#include "reports/doctor_report.h"
#include "reports/series_form.h"

#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace tl;

namespace {

const QString kDateMask = QStringLiteral("dd/MM/yyyy");
const ReportIdentity kWho{QStringLiteral("Jeanne Martin"), QStringLiteral("67 ans"),
                          QStringLiteral("Dr Lefèvre"), QStringLiteral("Omron M3")};

Reading R(QDate day, const QString &time, int s, int d, int p) {
  return test::MakeReading(time, s, d, p, day.toString(kDateMask));
}

// Readings of `days` days: `perSession` in the morning and in the evening,
// the systolic rising by one each day.
void Fill(std::vector<Reading> &matin, std::vector<Reading> &soir, QDate start, int days,
          int perSession, int s, int d) {
  for (int day = 0; day < days; ++day) {
    for (int i = 0; i < perSession; ++i) {
      matin.push_back(
          R(start.addDays(day), QStringLiteral("07:%1").arg(i * 3 + 10), s + day, d, 64 + i));
      soir.push_back(R(start.addDays(day), QStringLiteral("21:%1").arg(i * 3 + 10), s + day + 2,
                       d + 1, 70 + i));
    }
  }
}

// The Matin and Soir lists, for the series.
SeriesLists Lists(const std::vector<Reading> &matin, const std::vector<Reading> &soir) {
  SeriesLists lists{};
  lists[size_t(PeriodIndex(DayPeriod::Matin))] = &matin;
  lists[size_t(PeriodIndex(DayPeriod::Soir))] = &soir;
  return lists;
}

// The text of a PDF, or of its page `page` (from 1), as pdftotext reads it.
QString PdfText(const QString &pdf, int page = 0) {
  QProcess process;
  QStringList arguments = {QStringLiteral("-layout"), pdf, QStringLiteral("-")};
  if (page > 0) {
    arguments = QStringList{QStringLiteral("-f"), QString::number(page), QStringLiteral("-l"),
                            QString::number(page)} +
                arguments;
  }
  process.start(QStringLiteral("pdftotext"), arguments);
  if (!process.waitForFinished(60000) || process.exitCode() != 0) {
    return QStringLiteral("<pdftotext failed>");
  }
  return QString::fromUtf8(process.readAllStandardOutput());
}

// Writes the PDF's page `page` (from 1) as a PNG in the snapshot folder.
bool Snapshot(const QString &pdf, int page, const QString &name) {
  const QString base = test::SnapshotFolder() + name;
  const int code =
      QProcess::execute(QStringLiteral("pdftoppm"),
                        {QStringLiteral("-r"), QStringLiteral("80"), QStringLiteral("-png"),
                         QStringLiteral("-f"), QString::number(page), QStringLiteral("-l"),
                         QString::number(page), QStringLiteral("-singlefile"), pdf, base});
  return code == 0 && QFile::exists(base + QStringLiteral(".png"));
}

// A PDF written where poppler is missing (a Windows run): it is checked to
// be a PDF and kept in the snapshot folder, for poppler elsewhere to read.
bool KeepPdf(const QString &pdf, const QString &name) {
  QFile file(pdf);
  if (!file.open(QIODevice::ReadOnly) || !file.read(5).startsWith("%PDF-")) {
    return false;
  }
  const QString kept = test::SnapshotFolder() + name + QStringLiteral(".pdf");
  QFile::remove(kept);
  return QFile::copy(pdf, kept);
}

} // namespace

// Reads the PDF's text where poppler is installed; elsewhere keeps the PDF
// and skips the checks of its text.
#define READ_PDF_OR_KEEP(text, pdf, name)                                                          \
  if (!pdfTools_) {                                                                                \
    QVERIFY(KeepPdf(pdf, name));                                                                   \
    QSKIP("pdftotext (poppler) is not installed: the PDF is kept in the snapshot folder");         \
  }                                                                                                \
  const QString text = PdfText(pdf)

class TestReports : public QObject {
  Q_OBJECT

  QTemporaryDir dir_;
  bool pdfTools_ = false;

  QString pdfPath(const QString &name) const { return dir_.filePath(name + ".pdf"); }

private slots:
  void initTestCase() {
    QVERIFY(dir_.isValid());
    pdfTools_ = !QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty() &&
                !QStandardPaths::findExecutable(QStringLiteral("pdftoppm")).isEmpty();
#ifndef Q_OS_WIN
    QVERIFY2(pdfTools_, "pdftotext and pdftoppm (poppler-utils) are needed: scripts/setup "
                        "installs them");
#endif
  }

  // Each form holds the patient and the meter, the dates, the session
  // windows, the means as shown and the verdict lines; the blank form holds
  // none of them.
  void forms_data() {
    QTest::addColumn<int>("protocol");
    QTest::addColumn<int>("days");
    QTest::addColumn<int>("systolic");
    QTest::addColumn<int>("diastolic");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("regle3 above") << int(Protocol::Rule3) << 3 << 140 << 86
                                  << QStringList{"142,0", "86,5", "montrez ce relevé"};
    QTest::newRow("esh7 below") << int(Protocol::European7) << 7 << 120 << 76
                                << QStringList{"125,5", "76,5", "inférieure au seuil", "non compté",
                                               "Jour 7"};
    QTest::newRow("regle223 three days, near the threshold")
        << int(Protocol::Rule223) << 3 << 132 << 80
        << QStringList{"Moyenne des 12 mesures retenues (12 attendues)",
                       "134,0",
                       "80,5",
                       "inférieure au seuil",
                       "zone « tension élevée »",
                       "jusqu'au 7e jour"};
  }
  void forms() {
    QFETCH(int, protocol);
    QFETCH(int, days);
    QFETCH(int, systolic);
    QFETCH(int, diastolic);
    QFETCH(QStringList, expected);
    const ProtocolInfo &info = ProtocolOf(Protocol(protocol));
    std::vector<Reading> matin, soir;
    const QDate start(2026, 12, 28); // across the year end
    Fill(matin, soir, start, days, info.perSession, systolic, diastolic);
    const SeriesResult series = ComputeSeries(Lists(matin, soir), Protocol(protocol), start);
    const QString pdf = pdfPath(info.key);
    QVERIFY(!WritePdf(SeriesFormDocument(kWho, series), pdf));
    READ_PDF_OR_KEEP(text, pdf, QStringLiteral("form_filled_") + info.key);
    const QString flat = text.simplified();
    for (const QString &piece :
         QStringList{kWho.name, kWho.age, kWho.doctor,
                     QStringLiteral("Tensiomètre : ") + kWho.meter,
                     QStringLiteral("Plages des séances : matin 06:01-12:00, soir 18:01-23:59."),
                     start.toString(kDateMask), start.addDays(days - 1).toString(kDateMask),
                     info.text, QStringLiteral("n'est pas un dispositif médical")} +
             expected) {
      QVERIFY2(flat.contains(piece), qPrintable(piece + QStringLiteral(" missing in:\n") + text));
    }
    QVERIFY(Snapshot(pdf, 1, QStringLiteral("form_filled_") + info.key));
  }

  // Every reading of the series' days that is not counted is on the form
  // with its values and reason, then what is missing; what does not fit
  // under the grid goes on to the next page.
  void formExclusions_data() {
    QTest::addColumn<int>("protocol");
    QTest::addColumn<std::vector<Reading>>("matin");
    QTest::addColumn<std::vector<Reading>>("soir");
    QTest::addColumn<QDate>("start");
    QTest::addColumn<int>("pages");
    QTest::addColumn<QStringList>("expected");
    std::vector<Reading> matin, soir;
    const QDate yearEnd(2026, 12, 30);
    Fill(matin, soir, yearEnd, 3, 3, 140, 86);
    soir.pop_back(); // the third evening's last reading
    matin.push_back(R(yearEnd, QStringLiteral("07:40"), 150, 90, 70));
    matin.push_back(R(yearEnd.addDays(1), QStringLiteral("05:50"), 150, 90, 70));
    matin.push_back(R(yearEnd.addDays(1), QStringLiteral("07:50"), 80, 120, 70));
    // Filed under Matin, taken at 20:00: it completes the third evening.
    matin.push_back(R(yearEnd.addDays(2), QStringLiteral("20:00"), 150, 90, 70));
    matin.push_back(test::CellsReading({"32/12/2026", "07:00", "130", "80", "70", ""}));
    QTest::newRow("rule of 3, four left out")
        << int(Protocol::Rule3) << matin << soir << yearEnd << 1
        << QStringList{"Mesures non comptées (4)",
                       "surnuméraire",
                       "hors des plages matin/soir",
                       "valeurs invraisemblables (80/120)",
                       "80/120, pouls 70",
                       "32/12/2026",
                       "date illisible",
                       "18 mesures sur 18 attendues. Plages des séances : matin 06:01-12:00, "
                       "soir 18:01-23:59.",
                       "01/01/27"};
    // Fifty left out: what does not fit under the grid goes on to page 2.
    matin.clear();
    soir.clear();
    const QDate march(2026, 3, 2);
    Fill(matin, soir, march, 3, 3, 128, 80);
    for (int k = 0; k < 50; ++k) {
      matin.push_back(R(march.addDays(k % 3),
                        QStringLiteral("08:%1").arg(k, 2, 10, QLatin1Char('0')), 131, 81, 66));
    }
    QTest::newRow("rule of 3, fifty left out")
        << int(Protocol::Rule3) << matin << soir << march << 2
        << QStringList{"Mesures non comptées (50)",
                       "Mesures non comptées (suite)",
                       "Suite page suivante.",
                       "page 2 / 2",
                       "08:49",
                       "18 mesures sur 18 attendues."};
    // The European grid leaves room for few rows: the others are on page 2.
    matin.clear();
    soir.clear();
    Fill(matin, soir, march, 7, 2, 128, 80);
    for (int k = 0; k < 6; ++k) {
      matin.push_back(R(march.addDays(k), QStringLiteral("05:50"), 131, 81, 66));
    }
    soir.erase(soir.begin() + 6, soir.begin() + 8); // the fourth evening: no line across it
    QTest::newRow("esh7, six left out")
        << int(Protocol::European7) << matin << soir << march << 2
        << QStringList{"Mesures non comptées (6)",
                       "Suite page suivante.",
                       "page 2 / 2",
                       "hors des plages matin/soir",
                       "22 mesures sur 24 attendues; manquent : soir du 4e jour (2).",
                       "non compté"};
  }
  void formExclusions() {
    QFETCH(int, protocol);
    QFETCH(std::vector<Reading>, matin);
    QFETCH(std::vector<Reading>, soir);
    QFETCH(QDate, start);
    QFETCH(int, pages);
    QFETCH(QStringList, expected);
    const SeriesResult series = ComputeSeries(Lists(matin, soir), Protocol(protocol), start);
    const SeriesFormDocument form(kWho, series);
    QCOMPARE(form.pageCount(), pages);
    const QString name = QStringLiteral("form_excluded_%1_%2")
                             .arg(ProtocolOf(Protocol(protocol)).key)
                             .arg(series.excluded.size());
    const QString pdf = pdfPath(name);
    QVERIFY(!WritePdf(form, pdf));
    READ_PDF_OR_KEEP(text, pdf, name);
    for (const QString &piece : expected) {
      QVERIFY2(text.contains(piece), qPrintable(piece + QStringLiteral(" missing in:\n") + text));
    }
    // Each reading left out is listed once, over all the pages.
    for (const ExcludedReading &e : series.excluded) {
      QVERIFY2(text.contains(e.date + QStringLiteral("  ")), qPrintable(e.date));
    }
    for (int page = 1; page <= pages; ++page) {
      QVERIFY(Snapshot(pdf, page, name + QStringLiteral("_%1").arg(page)));
    }
  }

  void blankForm() {
    const QString pdf = pdfPath(QStringLiteral("blank"));
    QVERIFY(!WritePdf(SeriesFormDocument(kDefaultProtocol), pdf));
    READ_PDF_OR_KEEP(text, pdf, QStringLiteral("form_blank"));
    QVERIFY(text.contains(QStringLiteral("Moyenne des 12 à 28 mesures (à calculer")));
    QVERIFY(!text.contains(QStringLiteral("dispositif médical")));
    QVERIFY(Snapshot(pdf, 1, QStringLiteral("form_blank")));
  }

  // 100 readings: the summary and three pages of readings, each page
  // numbered, the headers repeated, the readings in date and time order.
  void doctorReport() {
    PeriodLists lists;
    std::vector<Reading> matin, soir, nuit;
    const QDate from(2026, 10, 1);
    Fill(matin, soir, from, 30, 1, 128, 82);
    Fill(matin, soir, from.addDays(30), 10, 2, 139, 88);
    nuit.push_back(R(from.addDays(3), QStringLiteral("03:15"), 118, 70, 58));
    nuit.push_back(R(from.addDays(3), QStringLiteral("heure ?"), 118, 70, 58)); // not counted
    // Rows the report cannot use, and a morning reading taken at 20:00,
    // which counts in the evening.
    matin.push_back(R(from.addDays(5), QStringLiteral("07:30"), 80, 120, 70));
    matin.push_back(R(from.addDays(5), QStringLiteral("07:40"), 130, 80, 0));
    matin.push_back(test::CellsReading({"06/10/2026", "07:50", "", "80", "70", ""}));
    matin.push_back(test::CellsReading({"31/02/2026", "07:00", "130", "80", "70", ""}));
    matin.push_back(R(from.addDays(6), QStringLiteral("20:00"), 131, 81, 71));
    lists.list(DayPeriod::Matin).setReadings(matin);
    lists.list(DayPeriod::Soir).setReadings(soir);
    lists.list(DayPeriod::Nuit).setReadings(nuit);
    const auto range = DefaultReportRange(lists);
    QVERIFY(range);
    QCOMPARE(range->second, from.addDays(39));
    QCOMPARE(range->first, from.addDays(10));
    const DoctorReportData data = MakeDoctorReport(lists, from, from.addDays(39));
    QCOMPARE(data.overall.count, qint64(102));
    QCOMPARE(data.readings[6].period, DayPeriod::Nuit); // 4 October 03:15, before that morning
    QCOMPARE(data.periods[size_t(PeriodIndex(DayPeriod::Soir))].count, qint64(51));
    QCOMPARE(data.periods[size_t(PeriodIndex(DayPeriod::Matin))].count, qint64(50));
    QCOMPARE(data.moved, qint64(1));
    QStringList reasons;
    for (const ExcludedReading &e : data.unusable) {
      reasons << e.reason;
    }
    QCOMPARE(reasons, (QStringList{"heure illisible", "valeurs invraisemblables (80/120)",
                                   "valeurs invraisemblables (pouls 0)", "systolique illisible",
                                   "date illisible"}));
    const DoctorReportDocument report(kWho, data, QDate(2026, 11, 10));
    // The practitioner's page, the summary, three pages of readings, the rows not used.
    QCOMPARE(report.pageCount(), 6);
    const QString pdf = pdfPath(QStringLiteral("report"));
    QVERIFY(!WritePdf(report, pdf));
    READ_PDF_OR_KEEP(text, pdf, QStringLiteral("report"));
    for (const QString &piece :
         {QStringLiteral("page 1 / 6"), QStringLiteral("page 6 / 6"), kWho.name,
          QStringLiteral("Lignes non utilisées : 5 (date, heure ou valeurs illisibles ou "
                         "invraisemblables), listées avec leur raison page 6."),
          QStringLiteral("Lignes non utilisées"),
          QStringLiteral("valeurs invraisemblables (80/120)"), QStringLiteral("31/02/2026"),
          QStringLiteral("1 mesure comptée dans la période de son heure"),
          QStringLiteral("01/10/2026"), QStringLiteral("09/11/2026"), QStringLiteral("Toutes"),
          QStringLiteral("Nuit (0h-6h)"), QStringLiteral("03:15")}) {
      QVERIFY2(text.contains(piece), qPrintable(piece));
    }
    QCOMPARE(text.count(QStringLiteral("Diastolique")) >= 4, true); // one header a page
    QVERIFY(Snapshot(pdf, 1, QStringLiteral("report_practitioner")));
    QVERIFY(Snapshot(pdf, 2, QStringLiteral("report_summary")));
    QVERIFY(Snapshot(pdf, 3, QStringLiteral("report_readings")));
    QVERIFY(Snapshot(pdf, 6, QStringLiteral("report_unusable")));
  }

  // Readings flagged "pouls irrégulier", with a note on one: the form marks
  // them and says so under its grid, a surplus reading shows its flags
  // among those not counted; the report's summary counts them, its list
  // shows each one's flags and note. Without contexts, none of it.
  void contextInDocuments_data() {
    QTest::addColumn<bool>("report");
    QTest::addColumn<bool>("withContexts");
    QTest::addColumn<qint64>("irregular");
    QTest::addColumn<QStringList>("present");
    QTest::addColumn<QStringList>("absent");
    const QString legend = QStringLiteral("Point rouge : pouls irrégulier noté pour cette mesure");
    const QString summary = QStringLiteral("Pouls irrégulier noté pour");
    QTest::newRow("form") << false << true << qint64(3)
                          << QStringList{legend + QStringLiteral(" (3 mesures du relevé)"),
                                         QStringLiteral("surnuméraire ; pouls irrégulier, "
                                                        "mouvement")}
                          << QStringList{};
    QTest::newRow("form without contexts")
        << false << false << qint64(0) << QStringList{QStringLiteral("surnuméraire")}
        << QStringList{legend, QStringLiteral("mouvement")};
    QTest::newRow("report") << true << true << qint64(3)
                            << QStringList{summary +
                                               QStringLiteral(" 3 mesures sur 19 : à signaler au "
                                                              "médecin."),
                                           QStringLiteral("Pouls irrégulier ; remarque : après "
                                                          "le café"),
                                           QStringLiteral("Pouls irrégulier, mouvement")}
                            << QStringList{};
    QTest::newRow("report without contexts")
        << true << false << qint64(0) << QStringList{QStringLiteral("Relevés de la période")}
        << QStringList{summary, QStringLiteral("après le café")};
  }
  void contextInDocuments() {
    QFETCH(bool, report);
    QFETCH(bool, withContexts);
    QFETCH(qint64, irregular);
    QFETCH(QStringList, present);
    QFETCH(QStringList, absent);
    // Three days of three readings a session, and a fourth on the first
    // morning: surplus in the form, counted in the report.
    std::vector<Reading> matin, soir;
    const QDate start(2026, 3, 2);
    Fill(matin, soir, start, 3, 3, 128, 82);
    matin.push_back(R(start, QStringLiteral("07:40"), 140, 90, 80));
    ReadingContexts contexts;
    contexts.set(DayPeriod::Matin, matin[0],
                 {QStringLiteral("après le café"), quint8(ContextFlag::Irregular)});
    contexts.set(DayPeriod::Soir, soir[3], {QString(), quint8(ContextFlag::Irregular)});
    contexts.set(DayPeriod::Matin, matin.back(),
                 {QString(), quint8(int(ContextFlag::Irregular) | int(ContextFlag::Movement))});
    contexts.set(DayPeriod::Soir, soir[4], {QStringLiteral("autre bras"), 0});
    const ReadingContexts *given = withContexts ? &contexts : nullptr;
    const QString name = QStringLiteral("context_%1%2")
                             .arg(report ? QStringLiteral("report") : QStringLiteral("form"))
                             .arg(withContexts ? QString() : QStringLiteral("_none"));
    const QString pdf = pdfPath(name);
    if (report) {
      PeriodLists lists;
      lists.list(DayPeriod::Matin).setReadings(matin);
      lists.list(DayPeriod::Soir).setReadings(soir);
      const DoctorReportData data = MakeDoctorReport(lists, start, start.addDays(2), given);
      QCOMPARE(data.irregular, irregular);
      QCOMPARE(data.readings.front().context ? data.readings.front().context->note : QString(),
               withContexts ? QStringLiteral("après le café") : QString());
      QVERIFY(!WritePdf(DoctorReportDocument(kWho, data, QDate(2026, 3, 10)), pdf));
    } else {
      const SeriesResult series =
          ComputeSeries(Lists(matin, soir), Protocol::Rule3, start, {}, given);
      QCOMPARE(series.irregular, irregular);
      QCOMPARE(series.excluded.size(), size_t(1));
      QCOMPARE(series.excluded[0].irregular(), withContexts);
      QCOMPARE(series.days[0].morning[0].irregular(), withContexts);
      QVERIFY(!WritePdf(SeriesFormDocument(kWho, series), pdf));
    }
    READ_PDF_OR_KEEP(text, pdf, name);
    const QString flat = text.simplified();
    for (const QString &piece : present) {
      QVERIFY2(flat.contains(piece), qPrintable(piece));
    }
    for (const QString &piece : absent) {
      QVERIFY2(!flat.contains(piece), qPrintable(piece));
    }
    QVERIFY(Snapshot(pdf, report ? 3 : 1, name));
    if (report) {
      QVERIFY(Snapshot(pdf, 2, name + QStringLiteral("_summary")));
    }
  }

  // The practitioner's page gives the last complete series' protocol,
  // verdict, ESC 2024 zone, its morning and evening means and their
  // difference, the irregular pulse with its caveat, or says there is no
  // complete series; the list of readings gives each one's ESC 2024 zone,
  // no office grade.
  void practitionerPage_data() {
    QTest::addColumn<int>("days");
    QTest::addColumn<QList<int>>("values"); // morning then evening, systolic and diastolic
    QTest::addColumn<QStringList>("first");
    QTest::addColumn<QStringList>("notFirst");
    const QString caveat = QStringLiteral("Un tensiomètre automatique n'est pas fiable quand le "
                                          "rythme cardiaque est irrégulier.");
    QTest::newRow("2-2-3 above")
        << 7 << QList<int>{150, 92, 138, 86}
        << QStringList{"Série du 02/03/2026 au 08/03/2026, règle des 2-2-3 (ESC 2024)",
                       "Moyenne de la série : 144,0 / 89,0 mmHg",
                       "égale ou supérieure au seuil de l'automesure (135/85 mmHg).",
                       "zone « hypertension »",
                       "Écart matin - soir +12,0 +6,0",
                       "Pouls irrégulier noté pour 1 mesure sur 30.",
                       caveat}
        << QStringList{"Aucune série complète", "tension élevée", "7e jour"};
    QTest::newRow("2-2-3 below, three days")
        << 3 << QList<int>{128, 80, 132, 82}
        << QStringList{"du 02/03/2026 au 04/03/2026",
                       "Moyenne de la série : 130,0 / 81,0 mmHg",
                       "inférieure au seuil de l'automesure (135/85 mmHg).",
                       "zone « tension élevée »",
                       "jusqu'au 7e jour",
                       "Écart matin - soir -4,0 -2,0",
                       caveat}
        << QStringList{"égale ou supérieure", "hypertension"};
    QTest::newRow("no complete series")
        << 1 << QList<int>{140, 90, 130, 80}
        << QStringList{"Aucune série complète d'automesure",
                       "Dernière série commencée, du 02/03/2026 au 04/03/2026, règle des 2-2-3",
                       "moyennes des mesures de la période", "Écart matin - soir +10,0 +10,0",
                       caveat}
        << QStringList{"Moyenne de la série", "zone «"};
  }
  void practitionerPage() {
    QFETCH(int, days);
    QFETCH(QList<int>, values);
    QFETCH(QStringList, first);
    QFETCH(QStringList, notFirst);
    const QDate start(2026, 3, 2);
    std::vector<Reading> matin, soir, jour, nuit;
    for (int d = 0; d < days; ++d) {
      for (const QString &minute : {QStringLiteral("10"), QStringLiteral("12")}) {
        matin.push_back(R(start.addDays(d), "07:" + minute, values[0], values[1], 66));
        soir.push_back(R(start.addDays(d), "21:" + minute, values[2], values[3], 70));
      }
    }
    // Outside the sessions: in the report's list, not in the series.
    jour.push_back(R(start, QStringLiteral("14:00"), 120, 80, 60));
    nuit.push_back(R(start, QStringLiteral("03:00"), 135, 85, 60));
    ReadingContexts contexts;
    contexts.set(DayPeriod::Soir, soir[0], {QString(), quint8(ContextFlag::Irregular)});
    PeriodLists lists;
    lists.list(DayPeriod::Matin).setReadings(matin);
    lists.list(DayPeriod::Jour).setReadings(jour);
    lists.list(DayPeriod::Soir).setReadings(soir);
    lists.list(DayPeriod::Nuit).setReadings(nuit);
    const SeriesResult series =
        ComputeSeries(ListsOf(lists), Protocol::Rule223, start, {}, &contexts);
    const DoctorReportData data =
        MakeDoctorReport(lists, start, start.addDays(days - 1), days == 7 ? &contexts : nullptr);
    const DoctorReportDocument report(kWho, data, QDate(2026, 3, 10), series);
    QCOMPARE(report.pageCount(), 3); // the practitioner's page, the summary, the readings
    const QString name = QStringLiteral("practitioner_%1")
                             .arg(days == 1 ? QStringLiteral("none") : QString::number(days));
    const QString pdf = pdfPath(name);
    QVERIFY(!WritePdf(report, pdf));
    READ_PDF_OR_KEEP(text, pdf, name);
    const QString page1 = PdfText(pdf, 1).simplified();
    for (const QString &piece : first + QStringList{kWho.meter, "lignes à 135/85 et 120/70 mmHg",
                                                    "n'est pas un dispositif médical"}) {
      QVERIFY2(page1.contains(piece), qPrintable(piece + QStringLiteral(" missing in:\n") + page1));
    }
    for (const QString &piece : notFirst) {
      QVERIFY2(!page1.contains(piece), qPrintable(piece));
    }
    // 120/80 and 135/85 by their zone, no office grade.
    const QString list = PdfText(pdf, 3).simplified();
    for (const QString &piece : QStringList{"14:00 Jour 120 80 60 tension élevée",
                                            "03:00 Nuit 135 85 60 hypertension", "Zone ESC 2024"}) {
      QVERIFY2(list.contains(piece), qPrintable(piece + QStringLiteral(" in:\n") + list));
    }
    for (const QString &piece :
         QStringList{"Pression artérielle", "optimale", "normale", "Hypertension "}) {
      QVERIFY2(!list.contains(piece), qPrintable(piece));
    }
    QVERIFY(Snapshot(pdf, 1, name));
  }

  // A file that cannot be written says why and leaves nothing behind.
  void unwritablePdf() {
    const QString pdf = dir_.filePath(QStringLiteral("missing/folder/form.pdf"));
    const FileError error = WritePdf(SeriesFormDocument(Protocol::European7), pdf);
    QVERIFY(error);
    QCOMPARE(error.path, pdf);
    QVERIFY(!QFile::exists(pdf));
  }
};

QTEST_MAIN(TestReports)
#include "tst_reports.moc"
