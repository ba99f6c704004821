#pragma once

// Readings in from FHIR R4 JSON: a Bundle, or a single Observation. Each
// blood-pressure panel (LOINC 85354-9, its systolic 8480-6 and diastolic
// 8462-4 components; 55284-4, the older panel, likewise) is a reading; its
// pulse is the panel's own heart-rate component (8867-4) or else a
// heart-rate Observation, each given to one panel: the one the panel names
// (hasMember, derivedFrom), then the one of its instant and identifier, then
// the nearest in time within five minutes (of the same subject when both
// name one). Pressures in mm[Hg] or kPa, rates in /min, decimals rounded
// half away from zero; times at the wall-clock time where they were taken.
// A panel's note (Observation.note), its irregular heartbeat (an
// interpretation, or a heart-rate-rhythm component) and its other flags
// (the components the export writes) come with its reading as its context.
//
// The JSON is read as a stream: only the fields used are kept, never the
// document, so that memory grows with the readings, not with the file.

#include "common/file_io.h"

#include <QByteArrayView>
#include <QDate>
#include <QString>
#include <functional>

class QIODevice;

namespace tl {

class ImportSink;
class LocalTimeConverter;

// The time a reading is filed at, from its instant and the UTC offset it
// was given with: the clock time of that offset, where it was taken
// ("07:05-04:00" is 07:05), or for UTC (an offset of 0) the computer's
// clock time then. `otherOffset` tells an offset the computer's zone did
// not have then (nor within three hours, as on the day the clocks change).
struct WallTime {
  QDate date;
  int minutes = 0; // since midnight
  bool otherOffset = false;
};
WallTime WallTimeOf(qint64 utcSeconds, int offsetSeconds, LocalTimeConverter &clock);

// A file larger than this is refused before it is read.
inline constexpr qint64 kMaxFhirFileBytes = qint64(512) << 20;

struct FhirRead {
  FileError error;        // why nothing was read ("JSON illisible", offset 12); no path
  bool cancelled = false; // `parsed` returned false: nothing was read
};

// The readings of the JSON `bytes` (a byte-order mark allowed) through
// `import`, each named "entrée N" (its 1-based index in Bundle.entry) in
// its refusals. `parsed`, when given, is called once the JSON is read,
// before any reading goes to `import`; returning false cancels.
FhirRead ReadFhir(QByteArrayView bytes, ImportSink &import,
                  const std::function<bool()> &parsed = {});
// The same from `device`, read a chunk at a time: `progress`, when given,
// gets the bytes read after each chunk, and returning false cancels.
FhirRead ReadFhir(QIODevice &device, ImportSink &import,
                  const std::function<bool(qint64 read)> &progress,
                  const std::function<bool()> &parsed = {});

} // namespace tl
