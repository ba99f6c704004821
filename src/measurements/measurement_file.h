#pragma once

#include "common/day_period.h"
#include "common/file_io.h"
#include "common/paths.h"
#include "measurements/reading.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <cstring>
#include <vector>

namespace tl {

class PeriodListModel;
class PeriodLists;

// Rows a short file may still yield past its end (a count line can claim far
// more records than the file holds; the missing cells read as empty).
inline constexpr qsizetype kMaxRowsPastEnd = 1000;

// Splits text into lines ended by CR, LF or CR LF, calling `line(view)` for
// each; a last line without an end still counts. Stops early when `line`
// returns false.
template <typename F> void ForEachLine(QByteArrayView bytes, F &&line) {
  if (bytes.isEmpty()) {
    return; // an empty view may have no data pointer, which memchr must not get
  }
  const char *p = bytes.data();
  const char *end = p + bytes.size();
  // Most files end their lines with LF or CR LF: find the LF with memchr
  // (vectorised), then look for a lone CR before it.
  const char *nextLf = static_cast<const char *>(std::memchr(p, '\n', size_t(end - p)));
  while (p < end) {
    if (nextLf != nullptr && nextLf < p) {
      nextLf = static_cast<const char *>(std::memchr(p, '\n', size_t(end - p)));
    }
    const char *stop = nextLf ? nextLf : end;
    const char *cr = static_cast<const char *>(std::memchr(p, '\r', size_t(stop - p)));
    const char *q = cr ? cr : stop;
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
// lines per record. A leading UTF-8 byte-order mark is skipped.
std::vector<QStringList> ParseRecordFile(QByteArrayView bytes, int linesPerRecord);

// The readings of a measurement file's bytes.
std::vector<Reading> ParseMeasurementFile(QByteArrayView bytes);
// The bytes of a measurement file holding `readings` (UTF-8, CR LF).
QByteArray SerializeMeasurementFile(const std::vector<Reading> &readings);

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
