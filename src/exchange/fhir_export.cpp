#include "exchange/fhir_export.h"

#include "common/wall_clock.h"
#include "measurements/period_list_model.h"
#include "measurements/reading_context.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QUuid>
#include <algorithm>
#include <vector>

namespace tl {

namespace {

const QString kLoinc = QStringLiteral("http://loinc.org");
const QString kUcum = QStringLiteral("http://unitsofmeasure.org");
const QString kBpProfile = QStringLiteral("http://hl7.org/fhir/StructureDefinition/bp");
const QString kHeartRateProfile =
    QStringLiteral("http://hl7.org/fhir/StructureDefinition/heartrate");
const QString kSnomed = QStringLiteral("http://snomed.info/sct");

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

// The fullUrl of a resource: a version-5 UUID of what names it, so that the
// same reading gets the same one in every export.
QString Urn(const QString &name) {
  static const QUuid kNamespace(QStringLiteral("{6f1d5a52-3c1e-4b8e-9a57-54656e73696f}"));
  return QStringLiteral("urn:uuid:") +
         QUuid::createUuidV5(kNamespace, name).toString(QUuid::WithoutBraces);
}

// An identifier value: the SHA-256 of the same name, in hexadecimal.
QString Digest(const QString &name) {
  return QString::fromLatin1(
      QCryptographicHash::hash(name.toUtf8(), QCryptographicHash::Sha256).toHex());
}

QJsonObject Identifier(const char *system, const QString &value) {
  return QJsonObject{{QStringLiteral("system"), QLatin1StringView(system)},
                     {QStringLiteral("value"), value}};
}

// An entry; in a transaction, created only when no resource of the server
// has the identifier already, so that posting the bundle again adds nothing.
QJsonObject Entry(const QString &url, const QJsonObject &resource, FhirBundleType type,
                  const char *system, const QString &identifier) {
  QJsonObject entry{{QStringLiteral("fullUrl"), url}, {QStringLiteral("resource"), resource}};
  if (type == FhirBundleType::Transaction) {
    entry.insert(QStringLiteral("request"),
                 QJsonObject{{QStringLiteral("method"), QStringLiteral("POST")},
                             {QStringLiteral("url"), resource[QStringLiteral("resourceType")]},
                             {QStringLiteral("ifNoneExist"), QStringLiteral("identifier=") +
                                                                 QLatin1StringView(system) + u'|' +
                                                                 identifier}});
  }
  return entry;
}

// The irregular heartbeat the meter flagged, as a component of the panel:
// LOINC 8884-9 "Heart rate rhythm" (the code of HL7 US Core's heart rate
// rhythm example, Observation-heart-rate-rhythm) valued with SNOMED CT
// 361137007, shown as "Irregular heart rhythm" in the heart-rhythm-1 value
// set of CSIRO's Smart Health Checks guide (SNOMED CT, with 933506231000036108
// "Regular heart rhythm" beside it). The vital-signs blood-pressure profile
// slices its components openly, so the component stands beside the
// systolic and diastolic ones.
QJsonObject IrregularRhythm() {
  return QJsonObject{{QStringLiteral("code"),
                      Concept(QStringLiteral("8884-9"), QStringLiteral("Heart rate rhythm"))},
                     {QStringLiteral("valueCodeableConcept"),
                      QJsonObject{{QStringLiteral("coding"),
                                   QJsonArray{Coding(kSnomed, QStringLiteral("361137007"),
                                                     QStringLiteral("Irregular heart rhythm"))}}}}};
}

// A context flag as a component: its code in Tensiolog's system with the
// flag's French text, valued true; or, for the flags of another program,
// valued with their text.
QJsonObject FlagComponent(const char *code, const QString &text, const QJsonValue &value) {
  return QJsonObject{
      {QStringLiteral("code"),
       QJsonObject{{QStringLiteral("coding"), QJsonArray{Coding(QLatin1StringView(kFhirFlagSystem),
                                                                QLatin1StringView(code), text)}},
                   {QStringLiteral("text"), text}}},
      {value.isBool() ? QStringLiteral("valueBoolean") : QStringLiteral("valueString"), value}};
}

// What the blood pressure panel and the heart rate of a reading share: a
// final vital-sign observation of the patient at the reading's time.
QJsonObject VitalSignObservation(const QJsonObject &meta, const QString &id,
                                 const QJsonObject &code, const QJsonObject &subject,
                                 const QString &when) {
  return QJsonObject{{QStringLiteral("resourceType"), QStringLiteral("Observation")},
                     {QStringLiteral("meta"), meta},
                     {QStringLiteral("identifier"), QJsonArray{Identifier(kFhirReadingSystem, id)}},
                     {QStringLiteral("status"), QStringLiteral("final")},
                     {QStringLiteral("category"), VitalSigns()},
                     {QStringLiteral("code"), code},
                     {QStringLiteral("subject"), subject},
                     {QStringLiteral("effectiveDateTime"), when}};
}

// One pressure of the panel, in mmHg.
QJsonObject PressureComponent(const QString &code, const QString &display, qint64 value) {
  return QJsonObject{{QStringLiteral("code"), Concept(code, display)},
                     {QStringLiteral("valueQuantity"),
                      Quantity(value, QStringLiteral("mmHg"), QStringLiteral("mm[Hg]"))}};
}

QString Offset(int seconds) {
  const int magnitude = seconds < 0 ? -seconds : seconds;
  return (seconds < 0 ? u'-' : u'+') + QStringLiteral("%1:%2")
                                           .arg(magnitude / 3600, 2, 10, QLatin1Char('0'))
                                           .arg(magnitude % 3600 / 60, 2, 10, QLatin1Char('0'));
}

} // namespace

QString LocalDateTimeWithOffset(const QDate &date, int minutes) {
  const QTime time(minutes / 60, minutes % 60);
  return date.toString(Qt::ISODate) + u'T' + time.toString(QStringLiteral("HH:mm:ss")) +
         Offset(ComputerOffsetOfWallClock(date, time));
}

FhirExport ExportFhir(const PeriodLists &lists, const QString &patient, std::optional<QDate> from,
                      std::optional<QDate> to, FhirBundleType type,
                      const ReadingContexts *contexts) {
  struct Row {
    QDate date;
    int minutes;
    qint64 s, d, p;
    const ReadingContext *context;
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
      rows.push_back({*date, *minutes, *s, *d, *p, contexts ? contexts->find(period, r) : nullptr});
    }
  }
  std::stable_sort(rows.begin(), rows.end(), [](const Row &a, const Row &b) {
    return a.date != b.date ? a.date < b.date : a.minutes < b.minutes;
  });

  const QString patientUrl = Urn(QStringLiteral("patient/") + patient);
  const QString patientId = Digest(patient);
  QJsonArray entries;
  entries.append(Entry(
      patientUrl,
      QJsonObject{
          {QStringLiteral("resourceType"), QStringLiteral("Patient")},
          {QStringLiteral("identifier"), QJsonArray{Identifier(kFhirPatientSystem, patientId)}},
          {QStringLiteral("name"), QJsonArray{QJsonObject{{QStringLiteral("text"), patient}}}}},
      type, kFhirPatientSystem, patientId));
  const QJsonObject subject{{QStringLiteral("reference"), patientUrl}};
  const QJsonObject bpMeta{{QStringLiteral("profile"), QJsonArray{kBpProfile}}};
  const QJsonObject hrMeta{{QStringLiteral("profile"), QJsonArray{kHeartRateProfile}}};
  QSet<QString> written;
  for (const Row &r : rows) {
    // What names a reading: the patient, its wall date and time (not the
    // offset, which depends on the zone the export runs in) and its values.
    const QString stem = patient + u'\n' + r.date.toString(Qt::ISODate) + u'T' +
                         QTime(r.minutes / 60, r.minutes % 60).toString(QStringLiteral("HH:mm")) +
                         u'\n' + QString::number(r.s) + u'/' + QString::number(r.d) + u'/' +
                         QString::number(r.p);
    if (written.contains(stem)) {
      continue;
    }
    written.insert(stem);
    const QString when = LocalDateTimeWithOffset(r.date, r.minutes);
    const QString bpId = Digest(stem + QStringLiteral("\nbp"));
    const QString hrId = Digest(stem + QStringLiteral("\nhr"));
    const QString hrUrl = Urn(stem + QStringLiteral("\nhr"));
    QJsonObject pressure = VitalSignObservation(
        bpMeta, bpId,
        Concept(QStringLiteral("85354-9"),
                QStringLiteral("Blood pressure panel with all children optional")),
        subject, when);
    // The heart rate of the same reading: readers pair them by it, not
    // by their time, which two readings may share.
    pressure.insert(QStringLiteral("hasMember"),
                    QJsonArray{QJsonObject{{QStringLiteral("reference"), hrUrl}}});
    pressure.insert(QStringLiteral("component"),
                    QJsonArray{PressureComponent(QStringLiteral("8480-6"),
                                                 QStringLiteral("Systolic blood pressure"), r.s),
                               PressureComponent(QStringLiteral("8462-4"),
                                                 QStringLiteral("Diastolic blood pressure"), r.d)});
    if (r.context && (r.context->flags != 0 || !r.context->otherFlags.isEmpty())) {
      QJsonArray components = pressure[QStringLiteral("component")].toArray();
      if (r.context->irregular()) {
        components.append(IrregularRhythm());
      }
      for (const auto &[flag, code] : {std::pair{ContextFlag::Medication, kFhirFlagMedication},
                                       std::pair{ContextFlag::Movement, kFhirFlagMovement},
                                       std::pair{ContextFlag::CuffMisplaced, kFhirFlagCuff}}) {
        if (r.context->has(flag)) {
          components.append(FlagComponent(code, ContextFlagText(flag), true));
        }
      }
      if (!r.context->otherFlags.isEmpty()) {
        components.append(FlagComponent(kFhirFlagOther, QStringLiteral("autres indications"),
                                        r.context->otherFlags));
      }
      pressure.insert(QStringLiteral("component"), components);
    }
    if (r.context && !r.context->note.isEmpty()) {
      pressure.insert(QStringLiteral("note"),
                      QJsonArray{QJsonObject{{QStringLiteral("text"), r.context->note}}});
    }
    QJsonObject heart = VitalSignObservation(
        hrMeta, hrId, Concept(QStringLiteral("8867-4"), QStringLiteral("Heart rate")), subject,
        when);
    heart.insert(QStringLiteral("valueQuantity"),
                 Quantity(r.p, QStringLiteral("/min"), QStringLiteral("/min")));
    entries.append(
        Entry(Urn(stem + QStringLiteral("\nbp")), pressure, type, kFhirReadingSystem, bpId));
    entries.append(Entry(hrUrl, heart, type, kFhirReadingSystem, hrId));
    ++result.exported;
  }
  const QJsonObject bundle{{QStringLiteral("resourceType"), QStringLiteral("Bundle")},
                           {QStringLiteral("type"), type == FhirBundleType::Transaction
                                                        ? QStringLiteral("transaction")
                                                        : QStringLiteral("collection")},
                           {QStringLiteral("entry"), entries}};
  result.json = QJsonDocument(bundle).toJson(QJsonDocument::Compact);
  return result;
}

} // namespace tl
