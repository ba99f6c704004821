#pragma once

// Reads CSV in one pass, from chunks of any size, with bounded memory:
// ",", ";" or tab between fields, quoted fields (holding separators, quotes
// doubled and line breaks), CR, LF or CR LF line ends, UTF-8 with or without
// a byte-order mark, and Windows-1252 for a record whose bytes are no UTF-8.

#include <QByteArray>
#include <QByteArrayView>
#include <QStringList>
#include <functional>
#include <vector>

namespace tl {

// The separator the first lines use most consistently: ";", "," or tab
// (";" when nothing tells).
char DetectCsvSeparator(QByteArrayView firstBytes);

class CsvReader {
public:
  // A record longer than this is cut there (the rest of it is skipped), so
  // that a file of junk cannot make memory grow.
  static constexpr qsizetype kMaxRecordBytes = qsizetype(1) << 16;

  // Called for each record with its fields and the line it starts on
  // (1-based); returning false stops the reading.
  using RecordFn = std::function<bool(const QStringList &fields, qint64 line)>;

  explicit CsvReader(char separator) : separator_(separator) {}

  // Reads `chunk`, calling `record` for every record it completes. Returns
  // false once a call returned false.
  bool feed(QByteArrayView chunk, const RecordFn &record);
  // The last record, when the input does not end with a line end.
  bool finish(const RecordFn &record);

  // Whether any record was cut at kMaxRecordBytes.
  bool truncated() const { return truncated_; }

private:
  bool endRecord(const RecordFn &record);
  void endField();
  void addByte(char c);
  void addBytes(QByteArrayView bytes);
  // Where the field being read starts in record_.
  qsizetype fieldStart() const { return fieldEnds_.empty() ? 0 : fieldEnds_.back(); }

  char separator_;
  // The bytes of the record's fields one after the other, and where each
  // field ends: reused from record to record, so no record allocates.
  QByteArray record_;
  std::vector<qsizetype> fieldEnds_;
  qsizetype recordBytes_ = 0;
  bool inQuotes_ = false;
  bool quoteSeen_ = false; // a quote inside quotes: end of quotes or a doubled quote
  bool afterCr_ = false;
  bool atStart_ = true; // nothing read yet: a byte-order mark may come
  bool recordStarted_ = false;
  bool truncated_ = false;
  qint64 line_ = 1;
  qint64 recordLine_ = 1;
};

} // namespace tl
