#include "measurements/measurement_file.h"

#include "measurements/parse.h"
#include "measurements/period_list_model.h"

#include <QFile>
#include <QHash>
#include <QStringDecoder>

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

// Appends the UTF-8 form of `text`, with a fast path for plain ASCII.
void AppendUtf8(QByteArray &out, const QString &text) {
  const qsizetype n = text.size();
  const char16_t *s = reinterpret_cast<const char16_t *>(text.constData());
  qsizetype i = 0;
  while (i < n && s[i] < 0x80) {
    ++i;
  }
  if (i == n) {
    const qsizetype at = out.size();
    out.resize(at + n);
    char *d = out.data() + at;
    for (qsizetype k = 0; k < n; ++k) {
      d[k] = char(s[k]);
    }
    return;
  }
  out.append(text.toUtf8());
}

// Reads a count line, then up to `count` records of `linesPerRecord` lines.
// A file that ends early still yields `count` records, the missing lines
// empty, but at most kMaxRowsPastEnd records past its end.
template <typename Record, typename SetLine>
std::vector<Record> ParseRecords(QByteArrayView bytes, int linesPerRecord, const Record &empty,
                                 SetLine setLine) {
  std::vector<Record> records;
  bytes = SkipBom(bytes);
  LineDecoder decoder;
  bool haveCount = false;
  qint64 count = 0;
  Record current = empty;
  int line = 0;
  ForEachLine(bytes, [&](QByteArrayView text) {
    if (!haveCount) {
      haveCount = true;
      count = ParseLeadingInteger(QString::fromUtf8(text.first(qMin<qsizetype>(text.size(), 64))));
      return count > 0;
    }
    setLine(current, line++, decoder.decode(text));
    if (line == linesPerRecord) {
      records.push_back(std::move(current));
      current = empty;
      line = 0;
      return qint64(records.size()) < count;
    }
    return true;
  });
  if (qint64(records.size()) < count) {
    if (line > 0) {
      records.push_back(std::move(current));
    }
    const qint64 missing = qMin<qint64>(count - qint64(records.size()), kMaxRowsPastEnd);
    records.insert(records.end(), size_t(missing), empty);
  }
  return records;
}

} // namespace

std::vector<QStringList> ParseRecordFile(QByteArrayView bytes, int linesPerRecord) {
  QStringList empty;
  for (int i = 0; i < linesPerRecord; ++i) {
    empty.append(QString());
  }
  return ParseRecords(bytes, linesPerRecord, empty,
                      [](QStringList &r, int i, QString text) { r[i] = std::move(text); });
}

std::vector<Reading> ParseMeasurementFile(QByteArrayView bytes) {
  return ParseRecords(bytes, Reading::kCellCount, Reading(),
                      [](Reading &r, int i, QString text) { r[i] = std::move(text); });
}

QByteArray SerializeMeasurementFile(const std::vector<Reading> &readings) {
  QByteArray out;
  qsizetype estimate = 16;
  if (!readings.empty()) {
    for (const QString &c : readings.front().cells) {
      estimate += c.size() + 2;
    }
    estimate *= qsizetype(readings.size());
  }
  out.reserve(estimate + estimate / 8);
  out.append(QByteArray::number(qulonglong(readings.size())));
  out.append("\r\n", 2);
  for (const Reading &r : readings) {
    for (const QString &c : r.cells) {
      AppendUtf8(out, c);
      out.append("\r\n", 2);
    }
  }
  return out;
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
