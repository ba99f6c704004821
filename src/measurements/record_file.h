#pragma once

// The reading of record files (a count line, then a fixed number of lines
// per record), shared by the measurement and context files.

#include "measurements/measurement_file.h"
#include "measurements/parse.h"

#include <QByteArrayView>
#include <QHash>
#include <QString>
#include <QStringDecoder>
#include <vector>

namespace tl {

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

inline QByteArrayView SkipBom(QByteArrayView bytes) {
  if (bytes.startsWith("\xEF\xBB\xBF")) {
    return bytes.sliced(3);
  }
  return bytes;
}

// The one loop of both readers below: the count line, then records of
// `linesPerRecord` lines, each line handed to `setLine(record, index, bytes,
// decoder)`. With `upToCount`, reading stops after the announced number of
// records (none when it is 0 or less) and a last record cut short is kept
// with its missing lines empty; without it, every record the bytes hold is
// read and one cut short is dropped.
template <typename Record, typename SetLine>
std::vector<Record> ReadRecordLines(QByteArrayView bytes, int linesPerRecord, const Record &empty,
                                    bool upToCount, RecordShape *shape, SetLine setLine) {
  std::vector<Record> records;
  bytes = SkipBom(bytes);
  LineDecoder decoder;
  bool haveCount = false;
  qint64 count = 0;
  int line = 0;          // of the record being read, the last one in `records`
  bool partText = false; // the record being read has a line that is not blank
  ForEachLine(bytes, [&](QByteArrayView text) {
    if (!haveCount) {
      haveCount = true;
      count = ParseLeadingInteger(QString::fromUtf8(text.first(qMin<qsizetype>(text.size(), 64))));
      if (count > 0) {
        // Every line takes at least one byte, so the bytes bound the records
        // the file can hold whatever its count line claims.
        records.reserve(size_t(qMin<qint64>(count, bytes.size() / linesPerRecord + 1)));
      }
      return !upToCount || count > 0;
    }
    if (line == 0) {
      records.push_back(empty);
      partText = false;
    }
    partText = partText || !text.trimmed().isEmpty();
    setLine(records.back(), line++, text, decoder);
    if (line == linesPerRecord) {
      line = 0;
      return !upToCount || qint64(records.size()) < count;
    }
    return true;
  });
  const bool partial = line != 0;
  if (shape) {
    shape->announced = count;
    shape->whole = qint64(records.size()) - (partial ? 1 : 0);
    shape->cut = partial && partText;
  }
  if (partial && !upToCount) {
    records.pop_back();
  }
  return records;
}

// Reads a count line, then up to `count` records; a file that ends early
// yields the records it holds, the last one's missing lines empty.
template <typename Record, typename SetLine>
std::vector<Record> ParseRecords(QByteArrayView bytes, int linesPerRecord, const Record &empty,
                                 qint64 *announced, SetLine setLine) {
  RecordShape shape;
  std::vector<Record> records =
      ReadRecordLines(bytes, linesPerRecord, empty, true, &shape, std::move(setLine));
  if (announced) {
    *announced = qMax<qint64>(shape.announced, 0);
  }
  return records;
}

// Reads every whole record the bytes hold after their count line, whatever
// that line says: `shape` tells the number it announces against the
// records found, and whether a last record was cut short. A record cut short
// is never returned; blank lines after the last record are no record.
template <typename Record, typename SetLine>
std::vector<Record> ParseWholeRecords(QByteArrayView bytes, int linesPerRecord, const Record &empty,
                                      RecordShape *shape, SetLine setLine) {
  return ReadRecordLines(bytes, linesPerRecord, empty, false, shape, std::move(setLine));
}

} // namespace tl
