#include "exchange/fhir_export.h"

#include "measurements/period_list_model.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUuid>
#include <algorithm>
#include <vector>

namespace tl {

namespace {

const QString kLoinc = QStringLiteral("http://loinc.org");
const QString kUcum = QStringLiteral("http://unitsofmeasure.org");

QJsonObject Coding(const QString &system, const QString &code, const QString &display) {
  return QJsonObject{{QStringLiteral("system"), system},
                     {QStringLiteral("code"), code},
                     {QStringLiteral("display"), display}};
}

QJsonObject Concept(const QString &code, const QString &display) {
  return QJsonObject{{QStringLiteral("coding"), QJsonArray{Coding(kLoinc, code, display)}}};
}

QJsonObject Quantity(qint64 value, const QString &unit, const QString &code) {
  return QJsonObject{{QStringLiteral("value"), value},
                     {QStringLiteral("unit"), unit},
                     {QStringLiteral("system"), kUcum},
                     {QStringLiteral("code"), code}};
}

QJsonArray VitalSigns() {
  return QJsonArray{
      QJsonObject{{QStringLiteral("coding"),
                   QJsonArray{Coding(
                       QStringLiteral("http://terminology.hl7.org/CodeSystem/observation-category"),
                       QStringLiteral("vital-signs"), QStringLiteral("Vital Signs"))}}}};
}

// Stable identifiers: the same logbook exports the same bundle.
QString Urn(const QString &name) {
  static const QUuid kNamespace(QStringLiteral("{6f1d5a52-3c1e-4b8e-9a57-54656e73696f}"));
  return QStringLiteral("urn:uuid:") +
         QUuid::createUuidV5(kNamespace, name).toString(QUuid::WithoutBraces);
}

QJsonObject Entry(const QString &url, const QJsonObject &resource) {
  return QJsonObject{{QStringLiteral("fullUrl"), url}, {QStringLiteral("resource"), resource}};
}

} // namespace

QString LocalDateTimeWithOffset(const QDate &date, int minutes) {
  const QDateTime local(date, QTime(minutes / 60, minutes % 60), Qt::LocalTime);
  const int offset = local.offsetFromUtc();
  const int magnitude = offset < 0 ? -offset : offset;
  return date.toString(Qt::ISODate) + u'T' + local.time().toString(QStringLiteral("HH:mm:ss")) +
         (offset < 0 ? u'-' : u'+') +
         QStringLiteral("%1:%2")
             .arg(magnitude / 3600, 2, 10, QLatin1Char('0'))
             .arg(magnitude % 3600 / 60, 2, 10, QLatin1Char('0'));
}

FhirExport ExportFhir(const PeriodLists &lists, const QString &patient, std::optional<QDate> from,
                      std::optional<QDate> to) {
  struct Row {
    QDate date;
    int minutes;
    qint64 s, d, p;
  };
  FhirExport result;
  std::vector<Row> rows;
  for (DayPeriod period : kAllPeriods) {
    for (const Reading &r : lists.list(period).readings()) {
      const std::optional<QDate> date = r.date();
      if (date && ((from && *date < *from) || (to && *date > *to))) {
        continue;
      }
      const std::optional<int> minutes = r.minutes();
      const auto s = r.number(Reading::Systolic), d = r.number(Reading::Diastolic),
                 p = r.number(Reading::Pulse);
      if (!date || !minutes || !s || !d || !p) {
        ++result.leftOut;
        continue;
      }
      rows.push_back({*date, *minutes, *s, *d, *p});
    }
  }
  std::stable_sort(rows.begin(), rows.end(), [](const Row &a, const Row &b) {
    return a.date != b.date ? a.date < b.date : a.minutes < b.minutes;
  });

  const QString patientUrl = Urn(QStringLiteral("patient/") + patient);
  QJsonArray entries;
  entries.append(
      Entry(patientUrl, QJsonObject{{QStringLiteral("resourceType"), QStringLiteral("Patient")},
                                    {QStringLiteral("name"),
                                     QJsonArray{QJsonObject{{QStringLiteral("text"), patient}}}}}));
  const QJsonObject subject{{QStringLiteral("reference"), patientUrl}};
  for (size_t i = 0; i < rows.size(); ++i) {
    const Row &r = rows[i];
    const QString when = LocalDateTimeWithOffset(r.date, r.minutes);
    const QString stem = patient + u'/' + when + u'/' + QString::number(i);
    QJsonObject pressure{
        {QStringLiteral("resourceType"), QStringLiteral("Observation")},
        {QStringLiteral("status"), QStringLiteral("final")},
        {QStringLiteral("category"), VitalSigns()},
        {QStringLiteral("code"),
         Concept(QStringLiteral("85354-9"), QStringLiteral("Blood pressure panel with all children "
                                                           "optional"))},
        {QStringLiteral("subject"), subject},
        {QStringLiteral("effectiveDateTime"), when},
        {QStringLiteral("component"),
         QJsonArray{
             QJsonObject{
                 {QStringLiteral("code"),
                  Concept(QStringLiteral("8480-6"), QStringLiteral("Systolic blood pressure"))},
                 {QStringLiteral("valueQuantity"),
                  Quantity(r.s, QStringLiteral("mmHg"), QStringLiteral("mm[Hg]"))}},
             QJsonObject{
                 {QStringLiteral("code"),
                  Concept(QStringLiteral("8462-4"), QStringLiteral("Diastolic blood pressure"))},
                 {QStringLiteral("valueQuantity"),
                  Quantity(r.d, QStringLiteral("mmHg"), QStringLiteral("mm[Hg]"))}}}}};
    QJsonObject heart{
        {QStringLiteral("resourceType"), QStringLiteral("Observation")},
        {QStringLiteral("status"), QStringLiteral("final")},
        {QStringLiteral("category"), VitalSigns()},
        {QStringLiteral("code"), Concept(QStringLiteral("8867-4"), QStringLiteral("Heart rate"))},
        {QStringLiteral("subject"), subject},
        {QStringLiteral("effectiveDateTime"), when},
        {QStringLiteral("valueQuantity"),
         Quantity(r.p, QStringLiteral("/min"), QStringLiteral("/min"))}};
    entries.append(Entry(Urn(stem + QStringLiteral("/bp")), pressure));
    entries.append(Entry(Urn(stem + QStringLiteral("/hr")), heart));
  }
  result.exported = qsizetype(rows.size());
  const QJsonObject bundle{{QStringLiteral("resourceType"), QStringLiteral("Bundle")},
                           {QStringLiteral("type"), QStringLiteral("collection")},
                           {QStringLiteral("entry"), entries}};
  result.json = QJsonDocument(bundle).toJson(QJsonDocument::Indented);
  return result;
}

} // namespace tl
