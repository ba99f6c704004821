#include "cli/series_output.h"

#include "common/error_text.h"
#include "common/preferences_file.h"
#include "logbook/logbook.h"
#include "measurements/context_texts.h"
#include "reports/doctor_report.h"
#include "reports/report_files.h"
#include "reports/series_form.h"
#include "series/report_data.h"
#include "series/series.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QTextStream>

namespace tl {

namespace {

QString ReadingsText(const std::vector<SeriesReading> &readings) {
  QStringList items;
  for (const SeriesReading &r : readings) {
    items << QStringLiteral("%1/%2 %3").arg(r.systolic).arg(r.diastolic).arg(r.pulse);
  }
  return items.isEmpty() ? QStringLiteral("-") : items.join(QStringLiteral(", "));
}

} // namespace

QJsonValue MeansJson(const SeriesSums &sums) {
  if (sums.count == 0) {
    return QJsonValue::Null;
  }
  const auto mean = [&](qint64 sum) { return double(*MeanTenths(sum, sums.count)) / 10.0; };
  return QJsonObject{{QStringLiteral("systolic"), mean(sums.systolic)},
                     {QStringLiteral("diastolic"), mean(sums.diastolic)},
                     {QStringLiteral("pulse"), mean(sums.pulse)}};
}

QString MeansText(const SeriesSums &sums) {
  if (sums.count == 0) {
    return QStringLiteral("aucune mesure retenue");
  }
  return FrenchTenths(MeanTenths(sums.systolic, sums.count)) + QStringLiteral(" / ") +
         FrenchTenths(MeanTenths(sums.diastolic, sums.count)) + QStringLiteral(" mmHg, pouls ") +
         FrenchTenths(MeanTenths(sums.pulse, sums.count));
}

void PrintExcluded(const std::vector<ExcludedReading> &list, QTextStream &out) {
  for (const ExcludedReading &e : list) {
    const QString values = e.valuesText();
    out << (values.isEmpty()
                ? QStringLiteral("  %1 %2 (%3) : %4")
                      .arg(e.date, e.time, PeriodInfo(e.period).name, e.reason)
                : QStringLiteral("  %1 %2 (%3) %4 : %5")
                      .arg(e.date, e.time, PeriodInfo(e.period).name, values, e.reason))
        << (e.context ? QStringLiteral(" ; ") + ContextSummary(*e.context) : QString()) << u'\n';
  }
}

void PrintSeriesText(const SeriesResult &series, const QString &patient, QTextStream &out) {
  out << QStringLiteral("Relevé d'automesure de ") << patient << u'\n';
  out << ProtocolOf(series.protocol).text << u'\n';
  out << QStringLiteral("Du ") << series.start.toString(kDateMask) << QStringLiteral(" au ")
      << series.end.toString(kDateMask) << u'\n';
  out << WindowsSentence(series.windows) << u'\n';
  for (size_t d = 0; d < series.days.size(); ++d) {
    const SeriesDay &day = series.days[d];
    out << QStringLiteral("Jour %1 (%2)").arg(d + 1).arg(day.date.toString(kDateMask))
        << (day.counts ? QString() : QStringLiteral(", non compté")) << QStringLiteral(" : matin ")
        << ReadingsText(day.morning) << QStringLiteral(" ; soir ") << ReadingsText(day.evening)
        << u'\n';
  }
  out << QStringLiteral("Mesures retenues : %1 sur %2 attendues (au moins %3 pour conclure, le "
                        "matin et le soir)")
             .arg(series.all.count)
             .arg(series.expected())
             .arg(series.minimum())
      << u'\n';
  out << ComplianceLine(series) << u'\n';
  out << QStringLiteral("Moyenne : ") << MeansText(series.all) << u'\n';
  out << QStringLiteral("Moyenne du matin : ") << MeansText(series.morning) << u'\n';
  out << QStringLiteral("Moyenne du soir : ") << MeansText(series.evening) << u'\n';
  for (const QString &line : VerdictLines(series)) {
    out << line << u'\n';
  }
  // Out of every reading the form shows, day 1 of the European protocol
  // included.
  if (const QString irregular = IrregularSummary(series.irregular, series.shown());
      !irregular.isEmpty()) {
    out << irregular << u'\n';
  }
  if (!series.excluded.empty()) {
    out << QStringLiteral("Mesures non retenues :") << u'\n';
    PrintExcluded(series.excluded, out);
  }
}

QJsonArray ExcludedJson(const std::vector<ExcludedReading> &list) {
  QJsonArray excluded;
  for (const ExcludedReading &e : list) {
    excluded.append(QJsonObject{{QStringLiteral("date"), e.date},
                                {QStringLiteral("time"), e.time},
                                {QStringLiteral("period"), PeriodInfo(e.period).name},
                                {QStringLiteral("systolic"), e.systolic},
                                {QStringLiteral("diastolic"), e.diastolic},
                                {QStringLiteral("pulse"), e.pulse},
                                {QStringLiteral("reason"), e.reason},
                                {QStringLiteral("irregular"), e.irregular()},
                                {QStringLiteral("note"), e.context ? e.context->note : QString()}});
  }
  return excluded;
}

QJsonObject SeriesJson(const SeriesResult &series) {
  const QJsonArray excluded = ExcludedJson(series.excluded);
  QJsonArray missing;
  for (const MissingMoment &m : series.missing) {
    missing.append(QJsonObject{
        {QStringLiteral("day"), m.day + 1},
        {QStringLiteral("date"), series.days[size_t(m.day)].date.toString(Qt::ISODate)},
        {QStringLiteral("moment"),
         m.moment == DayPeriod::Matin ? QStringLiteral("morning") : QStringLiteral("evening")},
        {QStringLiteral("count"), m.count}});
  }
  const char *verdict = series.verdict == Verdict::Incomplete ? "incomplete"
                        : series.verdict == Verdict::Above    ? "above"
                                                              : "below";
  QJsonObject json{
      {QStringLiteral("protocol"), ProtocolOf(series.protocol).key},
      {QStringLiteral("start"), series.start.toString(Qt::ISODate)},
      {QStringLiteral("end"), series.end.toString(Qt::ISODate)},
      {QStringLiteral("expected"), series.expected()},
      {QStringLiteral("counted"), qint64(series.all.count)},
      {QStringLiteral("minimum"), series.minimum()},
      {QStringLiteral("mean"), MeansJson(series.all)},
      {QStringLiteral("morning"), MeansJson(series.morning)},
      {QStringLiteral("evening"), MeansJson(series.evening)},
      {QStringLiteral("verdict"), QString::fromLatin1(verdict)},
      {QStringLiteral("extend"), series.extend},
      {QStringLiteral("windows"),
       QJsonObject{{QStringLiteral("morning"), MorningWindowText(series.windows)},
                   {QStringLiteral("evening"), EveningWindowText(series.windows)}}},
      {QStringLiteral("excluded"), excluded},
      {QStringLiteral("missing"), missing},
      {QStringLiteral("compliance"), ComplianceLine(series)},
      {QStringLiteral("irregular"), series.irregular},
  };
  if (series.category) {
    json.insert(QStringLiteral("category"), HomeCategoryKey(*series.category));
  }
  return json;
}

SeriesSettings PatientSettings(const Logbook &book) {
  const Preferences prefs =
      ReadPreferences(PreferencesReader::fromFile(book.paths().preferencesFile));
  return PatientSeriesSettings(PatientEntryOf(prefs.seriesPatients, book.patient()),
                               prefs.seriesProtocol);
}

std::optional<SeriesResult> LastCompleteSeries(const Logbook &book) {
  const SeriesSettings settings = PatientSettings(book);
  const SeriesLists lists = ListsOf(book.lists());
  const std::optional<QDate> start = DefaultSeriesStart(lists, settings.protocol, settings.windows);
  if (!start) {
    return std::nullopt;
  }
  SeriesResult series =
      ComputeSeries(lists, settings.protocol, *start, settings.windows, &book.contexts());
  if (series.verdict == Verdict::Incomplete) {
    return std::nullopt;
  }
  return series;
}

std::optional<Refusal> WriteDocument(const PagedDocument &document, const QString &path,
                                     const QString &dataFolder) {
  if (const FileError error = WritePdfOutput(document, path, {dataFolder})) {
    return Refusal{ErrorSentence(QStringLiteral("Écriture impossible"), error)};
  }
  return std::nullopt;
}

} // namespace tl
