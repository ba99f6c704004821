#include "measurements/measurement_file.h"

#include "measurements/parse.h"
#include "measurements/period_list_model.h"

#include <QFile>
#include <QHash>
#include <QStringDecoder>
#include <cstdio>
#include <cstring>

namespace tl {

namespace {

// Record files repeat the same few texts (dates, times, values, sentences):
// decoding each distinct line once and sharing the QString saves both time
// and memory on large files. The cache is bounded so unique lines cannot
// make it grow without limit.
class LineDecoder {
public:
  QString decode(QByteArrayView bytes) {
    if (bytes.isEmpty()) {
      return QString();
    }
    auto it = cache_.constFind(bytes);
    if (it != cache_.constEnd()) {
      return it.value();
    }
    // Not QString::fromUtf8: it drops a byte-order mark at the start of the
    // text, so a cell beginning with U+FEFF would lose it at every load.
    QStringDecoder utf8(QStringDecoder::Utf8,
                        QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    QString text = utf8.decode(bytes);
    if (cache_.size() >= kMaxEntries) {
      cache_.clear();
    }
    cache_.insert(bytes, text);
    return text;
  }

private:
  static constexpr qsizetype kMaxEntries = 1 << 16;
  QHash<QByteArrayView, QString> cache_;
};

QByteArrayView SkipBom(QByteArrayView bytes) {
  if (bytes.startsWith("\xEF\xBB\xBF")) {
    return bytes.sliced(3);
  }
  return bytes;
}

// Reads a count line, then up to `count` records of `linesPerRecord` lines,
// each line handed to `setLine(record, index, bytes, decoder)`. A file that
// ends early yields the records it holds, the last one's missing lines empty.
template <typename Record, typename SetLine>
std::vector<Record> ParseRecords(QByteArrayView bytes, int linesPerRecord, const Record &empty,
                                 qint64 *announced, SetLine setLine) {
  std::vector<Record> records;
  bytes = SkipBom(bytes);
  LineDecoder decoder;
  bool haveCount = false;
  qint64 count = 0;
  int line = 0; // of the record being read, the last one in `records`
  ForEachLine(bytes, [&](QByteArrayView text) {
    if (!haveCount) {
      haveCount = true;
      count = ParseLeadingInteger(QString::fromUtf8(text.first(qMin<qsizetype>(text.size(), 64))));
      if (count > 0) {
        // Every line takes at least one byte, so the bytes bound the records
        // the file can hold whatever its count line claims.
        const qint64 held = bytes.size() / linesPerRecord + 1;
        records.reserve(size_t(qMin(count, held)));
      }
      return count > 0;
    }
    if (line == 0) {
      records.push_back(empty);
    }
    setLine(records.back(), line++, text, decoder);
    if (line == linesPerRecord) {
      line = 0;
      return qint64(records.size()) < count;
    }
    return true;
  });
  if (announced) {
    *announced = qMax<qint64>(count, 0);
  }
  return records;
}

} // namespace

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
