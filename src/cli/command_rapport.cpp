// "rapport": the doctor's report of a date range, written as PDF, and its
// statistics on the output.
#include "cli/command.h"
#include "cli/series_output.h"
#include "common/error_text.h"
#include "common/paths.h"
#include "logbook/logbook.h"
#include "logbook/reports.h"
#include "measurements/context_texts.h"
#include "platform/clock.h"
#include "reports/doctor_report.h"
#include "reports/report_files.h"
#include "series/report_data.h"

#include <QJsonDocument>
#include <QTextStream>

namespace tl {

namespace {

struct RapportOptions {
  Target target;
  std::optional<QDate> from, to;
  QString pdf;
  bool json = false;
};

CommandDefinition Definition(RapportOptions &o) {
  return {QStringLiteral("rapport --patient NOM --pdf FICHIER [OPTIONS]"),
          QStringLiteral("le rapport pour le médecin : les statistiques de chaque période et\n"
                         "toutes les mesures d'une plage de dates, en PDF."),
          {PatientOption(o.target),
           DateOption(QStringLiteral("--du"),
                      QStringLiteral("premier jour (par défaut : les 30 jours qui\n"
                                     "finissent le dernier jour mesuré)"),
                      &o.from),
           DateOption(QStringLiteral("--au"), QStringLiteral("dernier jour"), &o.to),
           OutputOption(QStringLiteral("--pdf"),
                        QStringLiteral("le rapport écrit en PDF (obligatoire)"), &o.pdf),
           JsonOption(&o.json), FolderOption(o.target)}};
}

QJsonObject ValueJson(const ValueStatistics &v) {
  if (v.count == 0) {
    return {};
  }
  return QJsonObject{{QStringLiteral("mean"), v.mean},
                     {QStringLiteral("standardDeviation"),
                      v.deviation ? QJsonValue(*v.deviation) : QJsonValue(QJsonValue::Null)},
                     {QStringLiteral("minimum"), v.minimum},
                     {QStringLiteral("maximum"), v.maximum}};
}

QJsonObject StatisticsJson(const ReadingStatistics &st) {
  QJsonObject classes;
  for (BpClass c : ReportedClasses(st)) {
    classes.insert(ClassLabel(c), qint64(st.classCount(c)));
  }
  const bool any = st.count > 0;
  return QJsonObject{
      {QStringLiteral("count"), qint64(st.count)},
      {QStringLiteral("systolic"), any ? QJsonValue(ValueJson(st.systolic)) : QJsonValue()},
      {QStringLiteral("diastolic"), any ? QJsonValue(ValueJson(st.diastolic)) : QJsonValue()},
      {QStringLiteral("pulse"), any ? QJsonValue(ValueJson(st.pulse)) : QJsonValue()},
      {QStringLiteral("meanPulsePressure"), any ? QJsonValue(st.meanPulsePressure) : QJsonValue()},
      {QStringLiteral("atOrAbove135Over85"), qint64(st.atOrAboveThreshold)},
      {QStringLiteral("shareAtOrAbove135Over85"), st.shareAtOrAboveThreshold},
      {QStringLiteral("classes"), classes},
  };
}

QString StatisticsLine(const QString &name, const ReadingStatistics &st) {
  const QStringList c = StatisticsCells(name, st);
  if (st.count == 0) {
    return c[0] + QStringLiteral(" : aucune mesure");
  }
  return QStringLiteral("%1 : %2 mesures ; systolique %3 (%4) ; diastolique %5 (%6) ; pouls %7 ; "
                        "pression pulsée %8 ; à 135/85 ou plus : %9")
      .arg(c[0], c[1], c[2], c[3], c[4], c[5], c[6], c[7], c[8]);
}

int Rapport(const RapportOptions &request, QTextStream &out, QTextStream &err) {
  if (request.pdf.isEmpty()) {
    return Refuse({QStringLiteral("Indiquez le fichier PDF à écrire avec --pdf FICHIER.")}, err);
  }
  PatientLogbook opened;
  if (const std::optional<int> refused = OpenToRead(request.target, opened, err)) {
    return *refused;
  }
  const Logbook &book = opened.book;
  const QString &patient = opened.patient;
  // Without dates: the 30 days ending on the latest reading; one date alone
  // sets that end of the range.
  const auto range = DefaultReportRange(book.lists());
  if (!range && !(request.from && request.to)) {
    return Refuse({QStringLiteral("Aucune mesure lisible : rien à présenter.")}, err);
  }
  const QDate to = request.to     ? *request.to
                   : request.from ? std::max(*request.from, range->second)
                                  : range->second;
  const QDate from = request.from ? *request.from : to.addDays(-29);
  if (from > to) {
    return Refuse({QStringLiteral("La date de début suit la date de fin.")}, err);
  }
  const DoctorReportData data = MakeDoctorReport(book.lists(), from, to, &book.contexts());
  const std::optional<SeriesResult> series = LastCompleteSeries(book);
  if (const std::optional<Refusal> refused = WriteDocument(
          DoctorReportDocument(LogbookIdentity(book), data, clock().now().date(), series),
          request.pdf, book.paths().dataFolder)) {
    return Refuse(*refused, err);
  }
  if (request.json) {
    QJsonObject periods;
    const char *keys[] = {"morning", "afternoon", "evening", "night"};
    for (DayPeriod period : kAllPeriods) {
      periods.insert(QString::fromLatin1(keys[PeriodIndex(period)]),
                     StatisticsJson(data.periods[size_t(PeriodIndex(period))]));
    }
    QJsonObject report{{QStringLiteral("patient"), patient},
                       {QStringLiteral("from"), from.toString(Qt::ISODate)},
                       {QStringLiteral("to"), to.toString(Qt::ISODate)},
                       {QStringLiteral("periods"), periods},
                       {QStringLiteral("overall"), StatisticsJson(data.overall)},
                       {QStringLiteral("moved"), data.moved},
                       {QStringLiteral("irregular"), data.irregular},
                       {QStringLiteral("excluded"), ExcludedJson(data.unusable)},
                       {QStringLiteral("pdf"), request.pdf}};
    if (series) {
      report.insert(QStringLiteral("series"), SeriesJson(*series));
    }
    out << QString::fromUtf8(QJsonDocument(report).toJson(QJsonDocument::Indented));
    return kCliOk;
  }
  out << QStringLiteral("Rapport pour le médecin : ") << patient << u'\n';
  out << QStringLiteral("Du ") << from.toString(kDateMask) << QStringLiteral(" au ")
      << to.toString(kDateMask) << u'\n';
  for (DayPeriod period : kAllPeriods) {
    out << StatisticsLine(PeriodRowName(period), data.periods[size_t(PeriodIndex(period))])
        << u'\n';
  }
  out << StatisticsLine(AllPeriodsRowName(), data.overall) << u'\n';
  if (series) {
    out << QStringLiteral("Dernier relevé d'automesure complet : du %1 au %2, moyenne %3")
               .arg(series->start.toString(kDateMask), series->end.toString(kDateMask),
                    MeansText(series->all))
        << u'\n';
    out << QStringLiteral("  ") << ProtocolOf(series->protocol).text << u'\n';
    // Its verdict and category; the not-a-medical-device sentence closes the
    // report.
    const QStringList verdict = VerdictLines(*series);
    for (qsizetype i = 0; i + 1 < verdict.size(); ++i) {
      out << verdict[i] << u'\n';
    }
  } else {
    out << QStringLiteral("Dernier relevé d'automesure complet : aucun.") << u'\n';
  }
  for (BpClass c : ReportedClasses(data.overall)) {
    const qint64 count = data.overall.classCount(c);
    out << QStringLiteral("  %1 : %2 (%3)")
               .arg(ClassLabel(c))
               .arg(count)
               .arg(SharePercent(count, data.overall.count))
        << u'\n';
  }
  if (data.moved > 0) {
    out << MovedNote(data.moved) << u'\n';
  }
  if (const QString irregular = IrregularSummary(data.irregular, data.overall.count);
      !irregular.isEmpty()) {
    out << irregular << u'\n';
  }
  if (data.unusable.empty()) {
    out << QStringLiteral("Lignes non utilisées : aucune.") << u'\n';
  } else {
    out << QStringLiteral("Lignes non utilisées : %1").arg(data.unusable.size()) << u'\n';
    PrintExcluded(data.unusable, out);
  }
  out << QStringLiteral("Rapport enregistré dans %1.").arg(ShownPath(request.pdf)) << u'\n';
  out << QStringLiteral("Tensiolog n'est pas un dispositif médical : seul votre médecin peut "
                        "interpréter ces mesures.")
      << u'\n';
  return kCliOk;
}

} // namespace

int RunRapport(const QStringList &args, QTextStream &out, QTextStream &err) {
  return RunCommand(args, out, err, Definition, Rapport);
}

} // namespace tl
