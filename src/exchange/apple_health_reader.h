#pragma once

// Apple Health's export.xml read as it streams in: each blood-pressure
// correlation (its systolic and diastolic records) kept in a few bytes, and
// every heart rate kept as a time and a value, so that the pulse nearest to
// a reading can be found wherever the heart rates stand in the file. Memory
// grows with the correlations and heart rates only, never with the file.

#include "common/file_io.h"

#include <QByteArrayView>
#include <QString>
#include <QXmlStreamReader>
#include <cstdint>
#include <vector>

namespace tl {

class ImportSink;

class AppleHealthReader {
public:
  // The farthest a heart rate may be from its reading, in seconds.
  static constexpr int kPulseWindowSeconds = 5 * 60;
  // The longest piece of XML (a tag, a text) read before it is refused: far
  // past Apple's, short of what would fill the memory.
  static constexpr qint64 kMaxTokenBytes = qint64(16) << 20;
  // The most attributes one element may have: Apple's have about ten. The
  // XML reader compares each attribute with those before it, so an element
  // with very many would take time growing as their square.
  static constexpr int kMaxAttributes = 1000;

  AppleHealthReader();

  // The next bytes of the file; false once the XML is unreadable (error()).
  bool feed(QByteArrayView bytes);
  // The end of the file; false when the XML is unreadable or incomplete.
  bool finish();
  // Why the XML is unreadable ("XML illisible : balisage incorrect" at its
  // line), without a path; none while it reads.
  const FileError &error() const { return error_; }

  // The blood-pressure correlations met so far.
  qint64 readings() const { return qint64(readings_.size()); }
  // Each correlation, in file order, through `import` ("ligne N", N the
  // line of its start tag): with the pulse nearest in time, or refused.
  void deliver(ImportSink &import);

private:
  // A correlation: its time (UTC seconds), its line and rounded values, or
  // why it cannot be a reading.
  struct Pressure {
    qint64 at = 0;
    qint32 offset = 0; // seconds east of UTC it was written with, or INT32_MIN for none
    qint64 line = 0;
    qint32 systolic = 0, diastolic = 0;
    quint8 fault = 0; // an index into the reasons, 0: none
  };

  // Counts the attributes of each start tag in `bytes`, before the XML
  // reader sees them; false when one has more than kMaxAttributes.
  bool scanMarkup(QByteArrayView bytes);
  bool parse();
  void fail(const QString &reason, qint64 line = -1);
  void startElement();
  void endCorrelation();

  QXmlStreamReader xml_;
  FileError error_;
  qint64 pending_ = 0; // bytes fed since the last token read
  // scanMarkup's place in the markup, kept from one piece of the file to the next.
  quint8 scan_ = 0;       // what the last byte was part of
  quint8 scanBack_ = 0;   // where a comment inside a declaration returns
  char scanQuote_ = 0;    // the quote a value is inside, or 0
  char scanPrevious_ = 0; // in a declaration, the byte before
  int scanRun_ = 0;       // the last bytes that may close a comment, a section or a declaration
  int scanAttributes_ = 0;
  bool inPressure_ = false;
  bool hasSystolic_ = false, hasDiastolic_ = false;
  Pressure current_;
  std::vector<Pressure> readings_;
  // Heart rates as (time + bias) << 16 | value, in blocks of a fixed size
  // (no reallocation of the whole set), each sorted before the matching.
  std::vector<std::vector<std::uint64_t>> pulses_;
};

} // namespace tl
