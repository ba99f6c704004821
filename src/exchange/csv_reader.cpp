#include "exchange/csv_reader.h"

#include <QStringDecoder>
#include <algorithm>
#include <array>
#include <bit>
#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#endif

namespace tl {

QString DecodeCsvField(QByteArrayView bytes) {
  // Plain ASCII, the usual field, reads the same in both.
  unsigned high = 0;
  for (const char c : bytes) {
    high |= uchar(c);
  }
  if (high < 0x80) {
    return QString::fromLatin1(bytes);
  }
  QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  QString text = utf8.decode(bytes);
  if (!utf8.hasError()) {
    return text;
  }
  // Windows-1252: Latin-1 but for 0x80 to 0x9F (five of them are unused).
  static const char16_t k80To9F[32] = {
      0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
      0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
      0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};
  text.resize(bytes.size());
  for (qsizetype i = 0; i < bytes.size(); ++i) {
    const uchar b = uchar(bytes[i]);
    text[i] = QChar(b >= 0x80 && b <= 0x9F ? k80To9F[b - 0x80] : char16_t(b));
  }
  return text;
}

bool LooksLikeFormula(QByteArrayView bytes) {
  qsizetype at = 0;
  while (at < bytes.size() && bytes[at] == '\'') {
    ++at;
  }
  if (at == bytes.size()) {
    return false;
  }
  const char c = bytes[at];
  return c == '=' || c == '+' || c == '-' || c == '@' || c == '\t' || c == '\r';
}

namespace {

// A field without the apostrophe the export puts before a formula.
QByteArrayView WithoutFormulaMark(QByteArrayView field) {
  return !field.isEmpty() && field.front() == '\'' && LooksLikeFormula(field) ? field.sliced(1)
                                                                              : field;
}

} // namespace

char DetectCsvSeparator(QByteArrayView firstBytes) {
  constexpr std::array<char, 3> candidates = {';', ',', '\t'};
  // Per line (at most 10), how often each candidate stands outside quotes.
  std::array<QList<int>, 3> counts;
  std::array<int, 3> current{};
  bool quoted = false;
  int lines = 0;
  for (char c : firstBytes) {
    if (c == '"') {
      quoted = !quoted;
    } else if (!quoted && (c == '\n' || c == '\r')) {
      if (current != std::array<int, 3>{}) {
        for (size_t i = 0; i < 3; ++i) {
          counts[i].append(current[i]);
        }
        if (++lines == 10) {
          break;
        }
      }
      current = {};
    } else if (!quoted) {
      for (size_t i = 0; i < 3; ++i) {
        current[i] += c == candidates[i];
      }
    }
  }
  if (lines < 10 && current != std::array<int, 3>{}) {
    for (size_t i = 0; i < 3; ++i) {
      counts[i].append(current[i]);
    }
  }
  // The candidate found on every line, the same number of times, wins; then
  // the one on most lines.
  char best = ';';
  int bestScore = 0;
  for (size_t i = 0; i < 3; ++i) {
    const QList<int> &c = counts[i];
    if (c.isEmpty() || c.first() == 0) {
      continue;
    }
    int score = 0;
    bool steady = true;
    for (int n : c) {
      score += n > 0;
      steady = steady && n == c.first();
    }
    score = score * 2 + (steady ? 1 : 0);
    if (score > bestScore) {
      bestScore = score;
      best = candidates[i];
    }
  }
  return best;
}

void CsvReader::addByte(char c) {
  if (recordBytes_ >= kMaxRecordBytes) {
    truncated_ = true;
    return;
  }
  ++recordBytes_;
  record_.append(c);
}

void CsvReader::addBytes(QByteArrayView bytes) {
  const qsizetype room = kMaxRecordBytes - recordBytes_;
  if (bytes.size() > room) {
    truncated_ = true;
    bytes = bytes.first(std::max<qsizetype>(room, 0));
  }
  recordBytes_ += bytes.size();
  record_.append(bytes);
}

void CsvReader::endField() {
  // Separators count towards the bound too: a line of nothing but
  // separators must not make the field list grow without limit.
  if (recordBytes_ >= kMaxRecordBytes) {
    truncated_ = true;
    record_.truncate(fieldStart());
    return;
  }
  ++recordBytes_;
  fieldEnds_.push_back(record_.size());
}

bool CsvReader::endRecord(const RecordFn &record) {
  endField();
  QStringList fields;
  fields.reserve(qsizetype(fieldEnds_.size()));
  qsizetype start = 0;
  for (const qsizetype end : fieldEnds_) {
    fields.append(
        DecodeCsvField(WithoutFormulaMark(QByteArrayView(record_).sliced(start, end - start))));
    start = end;
  }
  record_.truncate(0);
  fieldEnds_.clear();
  recordBytes_ = 0;
  recordStarted_ = false;
  // A blank line is no record.
  if (fields.size() == 1 && fields.first().isEmpty()) {
    return true;
  }
  return record(fields, recordLine_);
}

namespace {

// Whether a line read as one field is blank, as endRecord tells it: a field
// whose text is empty (no bytes, or a lone byte-order mark the decoding
// drops).
bool IsBlankLine(const std::vector<QByteArrayView> &fields) {
  if (fields.size() != 1) {
    return false;
  }
  const QByteArrayView only = fields.front();
  return only.isEmpty() || (uchar(only.front()) >= 0x80 && DecodeCsvField(only).isEmpty());
}

} // namespace

qsizetype CsvReader::plainLineEnd(QByteArrayView chunk, qsizetype from) {
  plainFields_.clear();
  const char *const base = chunk.data();
  const char *p = base + from;
  const char *const limit = base + std::min(chunk.size(), from + kMaxPlainBytes);
  const char *field = p;
#if defined(__SSE2__) || defined(_M_X64)
  // Sixteen bytes at a time: the line end, the separators before it, and
  // any quote, which leaves the record to the general path.
  const __m128i cr = _mm_set1_epi8('\r');
  const __m128i lf = _mm_set1_epi8('\n');
  const __m128i quote = _mm_set1_epi8('"');
  const __m128i sep = _mm_set1_epi8(separator_);
  while (limit - p >= 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
    const unsigned ends =
        unsigned(_mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, cr), _mm_cmpeq_epi8(v, lf))));
    const unsigned quotes = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(v, quote)));
    const unsigned before = ends != 0 ? (ends & (0u - ends)) - 1 : 0xFFFFu;
    if ((quotes & before) != 0) {
      return -1;
    }
    for (unsigned seps = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(v, sep))) & before; seps != 0;
         seps &= seps - 1) {
      const char *at = p + std::countr_zero(seps);
      plainFields_.emplace_back(field, at - field);
      field = at + 1;
    }
    if (ends != 0) {
      const char *at = p + std::countr_zero(ends);
      plainFields_.emplace_back(field, at - field);
      return at - base;
    }
    p += 16;
  }
#endif
  for (; p < limit; ++p) {
    const char c = *p;
    if (c == '\r' || c == '\n') {
      plainFields_.emplace_back(field, p - field);
      return p - base;
    }
    if (c == '"') {
      return -1;
    }
    if (c == separator_) {
      plainFields_.emplace_back(field, p - field);
      field = p + 1;
    }
  }
  return -1;
}

bool CsvReader::feed(QByteArrayView chunk, const RecordFn &record, const PlainRecordFn &plain) {
  // Records without quotes on one line skip the byte-by-byte reading (a
  // separator the general path reads otherwise keeps them all there).
  const bool lookForPlain = plain && separator_ != '"' && separator_ != '\r' && separator_ != '\n';
  qsizetype i = 0;
  if (atStart_ && !chunk.isEmpty()) {
    atStart_ = false;
    if (chunk.startsWith("\xEF\xBB\xBF")) {
      i = 3;
    }
  }
  for (; i < chunk.size(); ++i) {
    const char c = chunk[i];
    if (afterCr_) {
      afterCr_ = false;
      if (c == '\n') {
        continue; // the LF of a CR LF
      }
    }
    if (skipLine_) {
      if (c == '\n' || c == '\r') {
        skipLine_ = false;
        ++line_;
        afterCr_ = c == '\r';
      }
      continue;
    }
    if (!recordStarted_) {
      if (lookForPlain) {
        if (const qsizetype end = plainLineEnd(chunk, i); end >= 0) {
          const qint64 at = line_++;
          afterCr_ = chunk[end] == '\r';
          for (QByteArrayView &field : plainFields_) {
            field = WithoutFormulaMark(field);
          }
          if (!IsBlankLine(plainFields_) && !plain(plainFields_, at)) {
            return false;
          }
          i = end;
          continue;
        }
      }
      recordStarted_ = true;
      recordLine_ = line_;
    }
    if (inQuotes_) {
      if (quoteSeen_) {
        quoteSeen_ = false;
        if (c == '"') {
          addByte('"'); // a doubled quote
          lineEndLast_ = false;
          if (unclosed_ && recordBytes_ >= kMaxRecordBytes) {
            dropUnclosed();
          }
          continue;
        }
        inQuotes_ = false; // the closing quote: this byte is read as outside
      } else if (c == '"') {
        quoteSeen_ = true;
        continue;
      } else {
        lineEndLast_ = c == '\n' || c == '\r';
        if (lineEndLast_) {
          ++line_;
          afterCr_ = c == '\r';
        }
        addByte(lineEndLast_ ? '\n' : c);
        // A quote still open at the bound is taken as never closed.
        if (unclosed_ && recordBytes_ >= kMaxRecordBytes) {
          dropUnclosed();
        }
        continue;
      }
    }
    if (c == '"' && record_.size() == fieldStart()) {
      inQuotes_ = true;
    } else if (c != '"' && c != separator_ && c != '\n' && c != '\r') {
      // A run of plain bytes at once.
      qsizetype end = i + 1;
      while (end < chunk.size()) {
        const char d = chunk[end];
        if (d == separator_ || d == '"' || d == '\n' || d == '\r') {
          break;
        }
        ++end;
      }
      addBytes(chunk.sliced(i, end - i));
      i = end - 1;
    } else if (c == separator_) {
      endField();
    } else if (c == '\n' || c == '\r') {
      ++line_;
      afterCr_ = c == '\r';
      if (!endRecord(record)) {
        return false;
      }
    } else {
      addByte(c);
    }
  }
  return true;
}

void CsvReader::dropUnclosed() {
  const qint64 last = lineEndLast_ ? line_ - 1 : line_;
  skipLine_ = !lineEndLast_;
  record_.truncate(0);
  fieldEnds_.clear();
  recordBytes_ = 0;
  recordStarted_ = false;
  inQuotes_ = false;
  quoteSeen_ = false;
  lineEndLast_ = false;
  unclosed_(recordLine_, std::max(last, recordLine_));
}

bool CsvReader::finish(const RecordFn &record) {
  if (recordStarted_ && inQuotes_ && !quoteSeen_ && unclosed_) {
    dropUnclosed();
    return true;
  }
  inQuotes_ = false;
  quoteSeen_ = false;
  if (!recordStarted_) {
    return true;
  }
  return endRecord(record);
}

} // namespace tl
