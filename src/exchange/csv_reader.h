#pragma once

// Reads CSV in one pass, from chunks of any size, with bounded memory:
// ",", ";" or tab between fields, quoted fields (holding separators, quotes
// doubled and line breaks), CR, LF or CR LF line ends, UTF-8 with or without
// a byte-order mark, and Windows-1252 for a record whose bytes are no UTF-8.
// A quote left open does not take the rest of the file: the record ends at
// the bound or at the end of the input, and its lines are told as broken.

#include <QByteArray>
#include <QByteArrayView>
#include <QStringList>
#include <functional>
#include <span>
#include <vector>

namespace tl {

// The separator the first lines use most consistently: ";", "," or tab
// (";" when nothing tells).
char DetectCsvSeparator(QByteArrayView firstBytes);

// Whether a spreadsheet would take a field for a formula ("=1+1",
// "@HYPERLINK(...)", "-2+3"): it begins, after any apostrophes, with "=",
// "+", "-", "@", a tab or a CR. The export writes such a text with an
// apostrophe before it, which a spreadsheet shows as text and the reader
// removes again (from a field that begins with an apostrophe and looks like
// a formula), so that every text reads back as it was written.
bool LooksLikeFormula(QByteArrayView bytes);

// A field's text from its bytes: UTF-8 when they are UTF-8, Windows-1252
// otherwise.
QString DecodeCsvField(QByteArrayView bytes);

class CsvReader {
public:
  // A record longer than this is cut there (the rest of it is skipped), so
  // that a file of junk cannot make memory grow.
  static constexpr qsizetype kMaxRecordBytes = qsizetype(1) << 16;

  // Called for each record with its fields and the line it starts on
  // (1-based); returning false stops the reading.
  using RecordFn = std::function<bool(const QStringList &fields, qint64 line)>;

  // Called instead of RecordFn, when given, for a record on one line
  // without a quote, read whole from one chunk: its fields as views of the
  // chunk's bytes (valid during the call), each the text DecodeCsvField
  // gives. Both calls must treat a record alike: which one a record gets
  // depends on where the chunks end.
  using PlainRecordFn = std::function<bool(std::span<const QByteArrayView> fields, qint64 line)>;

  explicit CsvReader(char separator) : separator_(separator) {}

  // Reads `chunk`, calling `record` (or `plain`) for every record it
  // completes. Returns false once a call returned false.
  bool feed(QByteArrayView chunk, const RecordFn &record) { return feed(chunk, record, {}); }
  bool feed(QByteArrayView chunk, const RecordFn &record, const PlainRecordFn &plain);
  // The last record, when the input does not end with a line end.
  bool finish(const RecordFn &record);

  // Whether any record was cut at kMaxRecordBytes.
  bool truncated() const { return truncated_; }

  // Called, when given, for a record whose opening quote is never closed
  // (within kMaxRecordBytes, or before the end of the input), with the
  // first and last lines it took; that record is then no record, and the
  // reading goes on after the line where it was ended. Without it, such a
  // record is handed over as it stands.
  using UnclosedFn = std::function<void(qint64 firstLine, qint64 lastLine)>;
  void setUnclosedQuote(UnclosedFn unclosed) { unclosed_ = std::move(unclosed); }

private:
  // A plain record is looked for no further than this.
  static constexpr qsizetype kMaxPlainBytes = 4096;

  // The index of the CR or LF ending the line at `from` when that line is a
  // plain record within the chunk (its fields then in plainFields_), or -1.
  qsizetype plainLineEnd(QByteArrayView chunk, qsizetype from);
  bool endRecord(const RecordFn &record);
  // Drops the record of an unclosed quote, telling its lines.
  void dropUnclosed();
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
  std::vector<QByteArrayView> plainFields_;
  qsizetype recordBytes_ = 0;
  bool inQuotes_ = false;
  bool quoteSeen_ = false; // a quote inside quotes: end of quotes or a doubled quote
  bool afterCr_ = false;
  bool atStart_ = true; // nothing read yet: a byte-order mark may come
  bool recordStarted_ = false;
  bool truncated_ = false;
  bool lineEndLast_ = false; // inside quotes, the last byte read was a line end
  bool skipLine_ = false;    // the rest of a line after an unclosed quote
  UnclosedFn unclosed_;
  qint64 line_ = 1;
  qint64 recordLine_ = 1;
};

} // namespace tl
