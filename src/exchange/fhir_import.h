#pragma once

// Readings in from FHIR R4 JSON: a Bundle, or a single Observation. Each
// blood-pressure panel (LOINC 85354-9, its systolic 8480-6 and diastolic
// 8462-4 components) is a reading; its pulse is the panel's own heart-rate
// component (8867-4) or else the heart-rate Observation nearest in time
// within five minutes (of the same subject when both name one). Pressures in
// mm[Hg] or kPa, rates in /min, decimals rounded half away from zero; times
// with an offset converted to local time. A panel's note (Observation.note)
// and its irregular heartbeat (an interpretation, or a heart-rate-rhythm
// component, coded as the export writes it) come with its reading as its
// context.
//
// The JSON is read as a stream: only the fields used are kept, never the
// document, so that memory grows with the readings, not with the file.

#include <QByteArrayView>
#include <QString>
#include <functional>

class QIODevice;

namespace tl {

class CsvImport;

// A file larger than this is refused before it is read.
inline constexpr qint64 kMaxFhirFileBytes = qint64(512) << 20;

struct FhirRead {
  QString error;          // French, "JSON illisible à l'octet 12": nothing was read
  bool cancelled = false; // `parsed` returned false: nothing was read
};

// The readings of the JSON `bytes` (a byte-order mark allowed) through
// `import`, each named "entrée N" (its 1-based index in Bundle.entry) in
// its refusals. `parsed`, when given, is called once the JSON is read,
// before any reading goes to `import`; returning false cancels.
FhirRead ReadFhir(QByteArrayView bytes, CsvImport &import,
                  const std::function<bool()> &parsed = {});
// The same from `device`, read a chunk at a time: `progress`, when given,
// gets the bytes read after each chunk, and returning false cancels.
FhirRead ReadFhir(QIODevice &device, CsvImport &import,
                  const std::function<bool(qint64 read)> &progress,
                  const std::function<bool()> &parsed = {});

} // namespace tl
