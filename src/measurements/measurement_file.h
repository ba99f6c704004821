#pragma once

#include "common/day_period.h"
#include "common/file_io.h"
#include "common/paths.h"
#include "measurements/reading.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <bit>
#include <vector>
#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#endif

namespace tl {

class PeriodListModel;
class PeriodLists;

// The first CR or LF in [p, end), or end. Lines are short: sixteen bytes are
// compared at a time where the processor allows it.
inline const char *FindLineEnd(const char *p, const char *end) {
#if defined(__SSE2__) || defined(_M_X64)
  const __m128i cr = _mm_set1_epi8('\r');
  const __m128i lf = _mm_set1_epi8('\n');
  while (end - p >= 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
    const int mask = _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, cr), _mm_cmpeq_epi8(v, lf)));
    if (mask != 0) {
      return p + std::countr_zero(unsigned(mask));
    }
    p += 16;
  }
#endif
  while (p < end && *p != '\r' && *p != '\n') {
    ++p;
  }
  return p;
}

// Splits text into lines ended by CR, LF or CR LF, calling `line(view)` for
// each; a last line without an end still counts. Stops early when `line`
// returns false.
template <typename F> void ForEachLine(QByteArrayView bytes, F &&line) {
  if (bytes.isEmpty()) {
    return; // an empty view may have no data pointer
  }
  const char *p = bytes.data();
  const char *end = p + bytes.size();
  while (p < end) {
    const char *q = FindLineEnd(p, end);
    if (!line(QByteArrayView(p, q - p))) {
      return;
    }
    if (q < end && *q == '\r' && q + 1 < end && q[1] == '\n') {
      ++q;
    }
    p = q + 1;
  }
}

// Parses the bytes of a record file: a count line, then `linesPerRecord`
// lines per record. A leading UTF-8 byte-order mark is skipped. Only the
// records the file holds are read, at most as many as its count line
// announces (`*announced` gets that number): a last record cut short keeps
// its missing lines empty, and records missing whole are not made up.
std::vector<QStringList> ParseRecordFile(QByteArrayView bytes, int linesPerRecord,
                                         qint64 *announced = nullptr);

// What a record file's count line announces against what the file holds.
struct RecordShape {
  qint64 announced = 0; // the count line's number, as written (it may be negative)
  qint64 whole = 0;     // whole records found
  bool cut = false;     // a last record was cut short (and left out)
  // The count line tells the truth and no record is cut.
  bool agrees() const { return !cut && announced == whole; }
};

// Every whole reading a measurement file's bytes hold, whatever their count
// line says (`shape` tells what it says); a last reading cut short is left
// out. The reader of the patient's own lists.
std::vector<Reading> ReadMeasurementFile(QByteArrayView bytes, RecordShape *shape = nullptr);

// The readings of a measurement file's bytes, as ParseRecordFile reads them:
// no more than its count line announces (the archive viewer).
std::vector<Reading> ParseMeasurementFile(QByteArrayView bytes, qint64 *announced = nullptr);
// The bytes of a measurement file holding `readings` (UTF-8, CR LF).
QByteArray SerializeMeasurementFile(const std::vector<Reading> &readings);

// Whether record file bytes start with a count line that holds a number;
// a file with nothing but blanks counts as readable (there is nothing to lose).
bool HasUsableCountLine(QByteArrayView bytes);

// The readings of `theirs` (a file as another program left it) that were
// added since `base` (the same file as it was read) and that `ours` (the
// list read from `base`, changed since) does not hold already: counted as
// multisets of whole readings, in the order of `theirs`. A reading deleted
// from `ours` was in `base`, so it never comes back.
std::vector<Reading> ReadingsAddedOutside(const std::vector<Reading> &theirs,
                                          const std::vector<Reading> &base,
                                          const std::vector<Reading> &ours);

// A period whose file could not be read or written, and why.
struct PeriodFileError {
  DayPeriod period;
  FileError error;
};

// Empties the list, then fills it from the file at `path` (a missing or
// unreadable file leaves it empty, and says why in `error`). Returns the
// number of rows loaded.
qsizetype LoadPeriodList(PeriodListModel &list, const QString &path, FileError *error = nullptr);

// Writes the file of every period whose list holds rows, in the order Nuit,
// Matin, Jour, Soir; empty lists are skipped and no file is removed. Returns
// the number of files written; the periods whose file could not be written
// are added to `failed`, each with its reason.
int SaveAllPeriodLists(const PeriodLists &lists, const StoragePaths &paths,
                       QList<PeriodFileError> *failed = nullptr);

} // namespace tl
