#pragma once

// Readings out as a FHIR R4 Bundle: the Patient, and for each reading whose
// date, time and values are valid a blood-pressure Observation and a
// heart-rate Observation, which the first names in hasMember. Every
// resource has an identifier and a fullUrl derived from what it holds,
// never from its place, so that exporting again (with readings added)
// names the same readings the same way; a transaction Bundle creates each
// resource only when no resource has its identifier. The context of a
// reading goes on its blood-pressure Observation: the note as
// Observation.note, the irregular heartbeat as a heart-rate-rhythm
// component, the other flags as components of Tensiolog's own codes.

#include "measurements/reading.h"

#include <QByteArray>
#include <QDate>
#include <QString>
#include <optional>

namespace tl {

class PeriodLists;
class ReadingContexts;

enum class FhirBundleType {
  Collection,  // a set of resources to read
  Transaction, // conditional creates for a server
};

struct FhirExport {
  QByteArray json;
  qsizetype exported = 0; // readings written (two observations each)
  qsizetype leftOut = 0;  // readings whose cells could not be read
};

// The identifier systems of the resources written.
inline constexpr char kFhirReadingSystem[] = "urn:tensiolog:reading";
inline constexpr char kFhirPatientSystem[] = "urn:tensiolog:patient";
// The codes of the context flags, each a component of the blood-pressure
// Observation valued true (valueBoolean), the flags of another program one
// component valued with their text (valueString).
inline constexpr char kFhirFlagSystem[] = "urn:tensiolog:flag";
inline constexpr char kFhirFlagMedication[] = "medication";
inline constexpr char kFhirFlagMovement[] = "movement";
inline constexpr char kFhirFlagCuff[] = "cuff-misplaced";
inline constexpr char kFhirFlagOther[] = "other";

// The local date and time of a reading with the UTC offset the computer's
// zone had then (ComputerOffsetOfWallClock),
// "2026-03-29T07:15:00+02:00": the time as typed, whatever the day. A time
// the clocks skip when they go forward keeps the offset in force before the
// change ("02:30" on the day Paris goes to summer time is
// "02:30:00+01:00"), a time they show twice the offset of its second
// showing ("02:30:00+01:00" on the day Paris leaves summer time), so that
// a reader filing each time at the clock time of its offset gets it back.
QString LocalDateTimeWithOffset(const QDate &date, int minutes);

// The readings of the four lists, in date and time order, dated `from` to
// `to` when given. A reading written already (the same date, time and
// values) is not written again. `contexts`, when given, are the contexts of
// the readings of `lists`.
FhirExport ExportFhir(const PeriodLists &lists, const QString &patient, std::optional<QDate> from,
                      std::optional<QDate> to, FhirBundleType type = FhirBundleType::Collection,
                      const ReadingContexts *contexts = nullptr);

} // namespace tl
