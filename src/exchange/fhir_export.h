#pragma once

// Readings out as a FHIR R4 Bundle of type "collection": the Patient, and
// for each reading whose date, time and values are valid a blood-pressure
// Observation and a heart-rate Observation.

#include "measurements/reading.h"

#include <QByteArray>
#include <QDate>
#include <QString>
#include <optional>

namespace tl {

class PeriodLists;

struct FhirExport {
  QByteArray json;
  qsizetype exported = 0; // readings written (two observations each)
  qsizetype leftOut = 0;  // readings whose cells could not be read
};

// The local date and time of a reading with the UTC offset in force then,
// "2026-03-29T07:15:00+02:00".
QString LocalDateTimeWithOffset(const QDate &date, int minutes);

// The readings of the four lists, in date and time order, dated `from` to
// `to` when given.
FhirExport ExportFhir(const PeriodLists &lists, const QString &patient, std::optional<QDate> from,
                      std::optional<QDate> to);

} // namespace tl
