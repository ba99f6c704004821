#include "measurements/measurement_file.h"

#include "measurements/parse.h"
#include "measurements/period_list_model.h"
#include "measurements/record_file.h"

#include <QFile>
#include <QHash>
#include <QStringDecoder>
#include <cstdio>
#include <cstring>

namespace tl {

std::vector<QStringList> ParseRecordFile(QByteArrayView bytes, int linesPerRecord,
                                         qint64 *announced) {
  QStringList empty;
  for (int i = 0; i < linesPerRecord; ++i) {
    empty.append(QString());
  }
  return ParseRecords(bytes, linesPerRecord, empty, announced,
                      [](QStringList &r, int i, QByteArrayView text, LineDecoder &decoder) {
                        r[i] = decoder.decode(text);
                      });
}

std::vector<Reading> ParseMeasurementFile(QByteArrayView bytes, qint64 *announced) {
  // Canonical cells go from the bytes straight to numbers; only the others
  // are decoded to text.
  return ParseRecords(bytes, Reading::kCellCount, Reading(), announced,
                      [](Reading &r, int i, QByteArrayView text, LineDecoder &decoder) {
                        r.setUtf8(i, text, [&](QByteArrayView b) { return decoder.decode(b); });
                      });
}

std::vector<Reading> ReadMeasurementFile(QByteArrayView bytes, RecordShape *shape) {
  return ParseWholeRecords(bytes, Reading::kCellCount, Reading(), shape,
                           [](Reading &r, int i, QByteArrayView text, LineDecoder &decoder) {
                             r.setUtf8(i, text,
                                       [&](QByteArrayView b) { return decoder.decode(b); });
                           });
}

QByteArray SerializeMeasurementFile(const std::vector<Reading> &readings) {
  // Sized once for the longest text each cell can give, written in place,
  // then cut to what was written.
  char count[24];
  const int countSize = std::snprintf(count, sizeof count, "%zu\r\n", readings.size());
  qsizetype bound = countSize;
  for (const Reading &r : readings) {
    for (int c = 0; c < Reading::kCellCount; ++c) {
      bound += r.utf8SizeBound(c) + 2;
    }
  }
  QByteArray out;
  out.resize(bound);
  char *p = out.data();
  std::memcpy(p, count, size_t(countSize));
  p += countSize;
  for (const Reading &r : readings) {
    for (int c = 0; c < Reading::kCellCount; ++c) {
      p = r.writeUtf8(c, p);
      *p++ = '\r';
      *p++ = '\n';
    }
  }
  out.truncate(p - out.constData());
  return out;
}

bool HasUsableCountLine(QByteArrayView bytes) {
  if (bytes.trimmed().isEmpty()) {
    return true;
  }
  bool found = false;
  ForEachLine(SkipBom(bytes), [&](QByteArrayView line) {
    ParseLeadingInteger(QString::fromUtf8(line.first(qMin<qsizetype>(line.size(), 64))), &found);
    return false; // the first line only
  });
  return found;
}

namespace {

// A reading's six cells as a file holds them, to count equal readings.
QByteArray ReadingKey(const Reading &r) {
  qsizetype bound = 0;
  for (int c = 0; c < Reading::kCellCount; ++c) {
    bound += r.utf8SizeBound(c) + 1;
  }
  QByteArray key(bound, Qt::Uninitialized);
  char *p = key.data();
  for (int c = 0; c < Reading::kCellCount; ++c) {
    p = r.writeUtf8(c, p);
    *p++ = '\n';
  }
  key.truncate(p - key.constData());
  return key;
}

QHash<QByteArray, qint64> CountReadings(const std::vector<Reading> &readings) {
  QHash<QByteArray, qint64> counts;
  counts.reserve(qsizetype(readings.size()));
  for (const Reading &r : readings) {
    ++counts[ReadingKey(r)];
  }
  return counts;
}

} // namespace

std::vector<Reading> ReadingsAddedOutside(const std::vector<Reading> &theirs,
                                          const std::vector<Reading> &base,
                                          const std::vector<Reading> &ours) {
  const QHash<QByteArray, qint64> inBase = CountReadings(base);
  const QHash<QByteArray, qint64> inOurs = CountReadings(ours);
  // Per reading: the copies added outside, less those added here as well.
  QHash<QByteArray, qint64> budget = CountReadings(theirs);
  for (auto it = budget.begin(); it != budget.end(); ++it) {
    const qint64 before = inBase.value(it.key());
    const qint64 addedHere = qMax<qint64>(0, inOurs.value(it.key()) - before);
    it.value() -= before + addedHere;
  }
  std::vector<Reading> added;
  for (const Reading &r : theirs) {
    auto it = budget.find(ReadingKey(r));
    if (it.value() > 0) {
      --it.value();
      added.push_back(r);
    }
  }
  return added;
}

qsizetype LoadPeriodList(PeriodListModel &list, const QString &path, FileError *error) {
  list.clear();
  QByteArray bytes;
  if (FileError failed = ReadWholeFile(path, kMaxMeasurementFileBytes, &bytes)) {
    if (error) {
      *error = failed;
    }
    return 0;
  }
  list.setReadings(ParseMeasurementFile(bytes));
  return list.size();
}

int SaveAllPeriodLists(const PeriodLists &lists, const StoragePaths &paths,
                       QList<PeriodFileError> *failed) {
  int written = 0;
  for (DayPeriod period : kSaveOrder) {
    const PeriodListModel &list = lists.list(period);
    if (list.size() == 0) {
      continue;
    }
    const FileError error =
        WriteWholeFile(paths.measurementFile(period), SerializeMeasurementFile(list.readings()));
    if (!error) {
      ++written;
    } else if (failed) {
      failed->append({period, error});
    }
  }
  return written;
}

} // namespace tl
