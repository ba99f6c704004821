#include "exchange/fhir_import.h"

#include "common/wall_clock.h"
#include "exchange/fhir_export.h"
#include "exchange/import_sink.h"
#include "exchange/logbook_exchange.h"
#include "logbook/logbook.h"

#include <QDateTime>
#include <QFile>
#include <QHash>
#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

namespace tl {

namespace {

using namespace Qt::StringLiterals;

// Heart rates further than this from a panel are not its pulse.
constexpr qint64 kPulseWindowMs = qint64(5) * 60 * 1000;
// mm[Hg] in one kPa, and the same as an integer of 5 decimals.
constexpr double kMmHgPerKPa = 7.50062;
constexpr qint64 kMmHgPerKPaDigits = 750062;
// A file is read this much at a time.
constexpr qint64 kChunkBytes = qint64(1) << 20;
// Deeper nesting is refused, as QJsonDocument refuses it.
constexpr int kMaxDepth = 1024;
// A note kept from a file is cut to this many bytes before CleanNote.
constexpr qsizetype kMaxNoteBytes = 4096;
// A reference, a fullUrl, an id or an identifier is kept up to this many
// bytes, and a resource's references to others up to this many.
constexpr qsizetype kMaxNameBytes = 512;
constexpr size_t kMaxReferences = 16;

// --- The bytes ---------------------------------------------------------------

// JSON bytes in order: a view of them all, or a device read a chunk at a
// time, so that no more than a chunk of the file is held.
class Source {
public:
  explicit Source(QByteArrayView all)
      : begin_(all.data()), p_(all.data()), end_(all.data() + all.size()) {}
  Source(QIODevice &device, const std::function<bool(qint64)> &progress)
      : device_(&device), progress_(progress), buffer_(kChunkBytes, Qt::Uninitialized) {}

  // The next byte, or -1 at the end.
  int peek() { return p_ != end_ || refill() ? uchar(*p_) : -1; }
  // Takes the byte peek() gave.
  void skip() { ++p_; }
  int get() {
    const int c = peek();
    p_ += c >= 0;
    return c;
  }
  // The bytes left in the chunk at hand, from the next one.
  const char *at() const { return p_; }
  const char *end() const { return end_; }
  void skipTo(const char *p) { p_ = p; }
  // The place of the next byte in the input.
  qint64 offset() const { return base_ + (p_ - begin_); }

  bool cancelled() const { return cancelled_; }
  const QString &readError() const { return readError_; }

private:
  bool refill() {
    if (!device_) {
      return false;
    }
    base_ += end_ - begin_;
    const qint64 got = device_->read(buffer_.data(), kChunkBytes);
    if (got <= 0) {
      if (got < 0) {
        readError_ = FrenchSystemReason(device_->errorString());
      }
      device_ = nullptr;
      begin_ = p_ = end_ = nullptr;
      return false;
    }
    begin_ = p_ = buffer_.constData();
    end_ = p_ + got;
    done_ += got;
    if (progress_ && !progress_(done_)) {
      cancelled_ = true;
      device_ = nullptr;
      end_ = p_;
      return false;
    }
    return true;
  }

  QIODevice *device_ = nullptr;
  std::function<bool(qint64)> progress_;
  QByteArray buffer_;
  const char *begin_ = nullptr, *p_ = nullptr, *end_ = nullptr;
  qint64 base_ = 0, done_ = 0;
  bool cancelled_ = false;
  QString readError_;
};

// A short text kept whole up to its room; a longer one keeps its start and
// is marked so, and then equals no name.
struct Short {
  static constexpr int kRoom = 96;
  char data[kRoom];
  int size = 0;
  bool over = false;

  void clear() { size = 0, over = false; }
  void put(const char *p, qsizetype n) {
    const qsizetype room = kRoom - size;
    std::memcpy(data + size, p, size_t(std::min(n, room)));
    size += int(std::min(n, room));
    over = over || n > room;
  }
  bool is(QLatin1StringView name) const {
    return !over && size == name.size() && std::memcmp(data, name.data(), size_t(size)) == 0;
  }
  QByteArrayView view() const { return {data, size}; }
  QString text() const { return QString::fromUtf8(data, size); }
};

// A string kept in a QByteArray, up to `limit` bytes.
struct Kept {
  QByteArray *out;
  qsizetype limit;
  void put(const char *p, qsizetype n) {
    out->append(p, std::min(n, std::max<qsizetype>(0, limit - out->size())));
  }
};
struct Dropped {
  void put(const char *, qsizetype) {}
};

// --- The JSON grammar ----------------------------------------------------------

// The bytes a string holds as they stand: ASCII but the controls, the quote
// and the backslash.
constexpr std::array<bool, 256> kPlainByte = [] {
  std::array<bool, 256> plain{};
  for (int c = 0x20; c < 0x80; ++c) {
    plain[size_t(c)] = c != '"' && c != '\\';
  }
  return plain;
}();

// Reads JSON as RFC 8259 writes it, the values of interest into what the
// callers give, everything else checked and dropped. The first fault stops
// the reading at its offset.
class Parser {
public:
  explicit Parser(Source &source) : src_(source) {}

  qint64 errorAt() const { return errorAt_; }
  bool fail() {
    if (errorAt_ < 0) {
      errorAt_ = src_.offset();
    }
    return false;
  }

  void blanks() {
    // Compact JSON has none: told at once.
    if (const char *p = src_.at(); p != src_.end() && uchar(*p) > ' ') {
      return;
    }
    for (;;) {
      const char *p = src_.at(), *end = src_.end();
      while (p != end && (*p == ' ' || *p == '\n' || *p == '\r' || *p == '\t')) {
        ++p;
      }
      src_.skipTo(p);
      if (p != end || src_.peek() < 0) {
        return;
      }
    }
  }

  // The string at the next byte, its text in UTF-8 handed to `sink`.
  template <typename Sink> bool string(Sink &&sink) {
    if (src_.peek() != '"') {
      return fail();
    }
    src_.skip();
    for (;;) {
      // The run of plain ASCII bytes, handed over at once.
      const char *p = src_.at(), *end = src_.end(), *from = p;
      while (p != end && kPlainByte[uchar(*p)]) {
        ++p;
      }
      sink.put(from, p - from);
      src_.skipTo(p);
      const int c = src_.peek();
      if (c < 0 || c < 0x20) {
        return fail();
      }
      if (c == '"') {
        src_.skip();
        return true;
      }
      if (c == '\\') {
        src_.skip();
        if (!escape(sink)) {
          return false;
        }
      } else if (c >= 0x80 && !utf8(sink)) {
        return false;
      }
    }
  }

  // A number: its value (infinite when out of range), and its text in
  // `*written` when given (empty when longer than the buffer).
  bool number(double *value, QByteArray *written = nullptr) {
    char text[64];
    int n = 0;
    bool longer = false;
    const auto take = [&](int c) {
      if (n < int(sizeof text) - 1) {
        text[n++] = char(c);
      } else {
        longer = true;
      }
      src_.skip();
    };
    const auto digits = [&] {
      int count = 0;
      for (int c = src_.peek(); c >= '0' && c <= '9'; c = src_.peek(), ++count) {
        take(c);
      }
      return count;
    };
    if (src_.peek() == '-') {
      take('-');
    }
    if (src_.peek() == '0') {
      take('0');
    } else if (digits() == 0) {
      return fail();
    }
    if (src_.peek() == '.') {
      take('.');
      if (digits() == 0) {
        return fail();
      }
    }
    if (const int e = src_.peek(); e == 'e' || e == 'E') {
      take(e);
      if (const int sign = src_.peek(); sign == '+' || sign == '-') {
        take(sign);
      }
      if (digits() == 0) {
        return fail();
      }
    }
    double v = HUGE_VAL;
    if (!longer && std::from_chars(text, text + n, v).ec != std::errc()) {
      v = HUGE_VAL;
    }
    *value = v;
    if (written) {
      *written = longer ? QByteArray() : QByteArray(text, n);
    }
    return true;
  }

  // The items of the list that `open` starts at the next byte and `close`
  // ends, separated by commas: `item(index)` reads each.
  template <typename Item> bool list(int depth, char open, char close, Item &&item) {
    if (depth > kMaxDepth || src_.peek() != open) {
      return fail();
    }
    src_.skip();
    blanks();
    if (src_.peek() == close) {
      src_.skip();
      return true;
    }
    for (qsizetype i = 0;; ++i) {
      blanks();
      if (!item(i)) {
        return false;
      }
      blanks();
      const int c = src_.peek();
      if (c == ',') {
        src_.skip();
      } else if (c == close) {
        src_.skip();
        return true;
      } else {
        return fail();
      }
    }
  }

  // The members of the object at the next byte: `member(key, depth)` reads
  // each value.
  template <typename Member> bool object(int depth, Member &&member) {
    Short key;
    return list(depth, '{', '}', [&](qsizetype) {
      key.clear();
      if (!string(key)) {
        return false;
      }
      blanks();
      if (src_.peek() != ':') {
        return fail();
      }
      src_.skip();
      blanks();
      return member(key, depth + 1);
    });
  }

  // The elements of the array at the next byte: `element(index, depth)`
  // reads each.
  template <typename Element> bool array(int depth, Element &&element) {
    return list(depth, '[', ']', [&](qsizetype i) { return element(i, depth + 1); });
  }

  // The same, when the next value is an object (an array); any other value
  // is skipped.
  template <typename Member> bool objectOrSkip(int depth, Member &&member) {
    return src_.peek() == '{' ? object(depth, member) : skip(depth);
  }
  template <typename Element> bool arrayOrSkip(int depth, Element &&element) {
    return src_.peek() == '[' ? array(depth, element) : skip(depth);
  }

  // Any value, checked and dropped.
  bool skip(int depth) {
    switch (src_.peek()) {
    case '{':
      return object(depth, [this](const Short &, int d) { return skip(d); });
    case '[':
      return array(depth, [this](qsizetype, int d) { return skip(d); });
    case '"':
      return string(Dropped{});
    case 't':
      return literal("true");
    case 'f':
      return literal("false");
    case 'n':
      return literal("null");
    default: {
      double ignored;
      return number(&ignored);
    }
    }
  }

  // The next byte, or -1 at the end.
  int next() { return src_.peek(); }

  // The next value's kind: '{', '[', '"', 'n' (a number), 'l' (a literal).
  int kind() {
    const int c = src_.peek();
    return c == '{' || c == '[' || c == '"' ? c : c == 't' || c == 'f' || c == 'n' ? 'l' : 'n';
  }

  // The string at the next byte into `sink`, or any other value dropped;
  // whether it was a string.
  template <typename Sink> bool stringOrSkip(Sink &&sink, int depth, bool *isString = nullptr) {
    const bool text = src_.peek() == '"';
    if (isString) {
      *isString = text;
    }
    return text ? string(sink) : skip(depth);
  }

private:
  bool literal(const char *word) {
    for (const char *w = word; *w; ++w) {
      if (src_.peek() != uchar(*w)) {
        return fail();
      }
      src_.skip();
    }
    return true;
  }

  template <typename Sink> bool escape(Sink &sink) {
    const int c = src_.peek();
    char one = 0;
    switch (c) {
    case '"':
    case '\\':
    case '/':
      one = char(c);
      break;
    case 'b':
      one = '\b';
      break;
    case 'f':
      one = '\f';
      break;
    case 'n':
      one = '\n';
      break;
    case 'r':
      one = '\r';
      break;
    case 't':
      one = '\t';
      break;
    case 'u': {
      src_.skip();
      int unit = hex4();
      if (unit < 0) {
        return false;
      }
      char32_t code = char32_t(unit);
      if (unit >= 0xD800 && unit < 0xDC00 && src_.peek() == '\\') {
        // A high surrogate, its low one in the next escape.
        src_.skip();
        if (src_.peek() != 'u') {
          return fail();
        }
        src_.skip();
        const int low = hex4();
        if (low < 0) {
          return false;
        }
        code = low >= 0xDC00 && low < 0xE000
                   ? 0x10000 + ((char32_t(unit) - 0xD800) << 10) + (char32_t(low) - 0xDC00)
                   : 0xFFFD;
      } else if (unit >= 0xD800 && unit < 0xE000) {
        code = 0xFFFD;
      }
      putCode(sink, code);
      return true;
    }
    default:
      return fail();
    }
    src_.skip();
    sink.put(&one, 1);
    return true;
  }

  int hex4() {
    int v = 0;
    for (int i = 0; i < 4; ++i) {
      const int c = src_.peek();
      const int d = c >= '0' && c <= '9'   ? c - '0'
                    : c >= 'a' && c <= 'f' ? c - 'a' + 10
                    : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                           : -1;
      if (d < 0) {
        fail();
        return -1;
      }
      src_.skip();
      v = v * 16 + d;
    }
    return v;
  }

  template <typename Sink> static void putCode(Sink &sink, char32_t code) {
    char out[4];
    int n;
    if (code < 0x80) {
      out[0] = char(code), n = 1;
    } else if (code < 0x800) {
      out[0] = char(0xC0 | (code >> 6)), out[1] = char(0x80 | (code & 0x3F)), n = 2;
    } else if (code < 0x10000) {
      out[0] = char(0xE0 | (code >> 12)), out[1] = char(0x80 | ((code >> 6) & 0x3F)),
      out[2] = char(0x80 | (code & 0x3F)), n = 3;
    } else {
      out[0] = char(0xF0 | (code >> 18)), out[1] = char(0x80 | ((code >> 12) & 0x3F)),
      out[2] = char(0x80 | ((code >> 6) & 0x3F)), out[3] = char(0x80 | (code & 0x3F)), n = 4;
    }
    sink.put(out, n);
  }

  // One UTF-8 sequence of two to four bytes, checked (no overlong form, no
  // surrogate, nothing past U+10FFFF).
  template <typename Sink> bool utf8(Sink &sink) {
    char seq[4];
    const int lead = src_.peek();
    int more;
    int low = 0x80, high = 0xBF; // the bounds of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
      more = 1;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      more = 2;
      low = lead == 0xE0 ? 0xA0 : 0x80;
      high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      more = 3;
      low = lead == 0xF0 ? 0x90 : 0x80;
      high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
      return fail();
    }
    seq[0] = char(lead);
    src_.skip();
    for (int i = 1; i <= more; ++i) {
      const int c = src_.peek();
      if (c < (i == 1 ? low : 0x80) || c > (i == 1 ? high : 0xBF)) {
        return fail();
      }
      seq[i] = char(c);
      src_.skip();
    }
    sink.put(seq, more + 1);
    return true;
  }

  Source &src_;
  qint64 errorAt_ = -1;
};

// --- What a FHIR resource holds ------------------------------------------------

// The codes of interest a CodeableConcept holds.
enum Code : quint16 {
  kPanelCode = 1,      // LOINC 85354-9, blood-pressure panel
  kSystolicCode = 2,   // LOINC 8480-6
  kDiastolicCode = 4,  // LOINC 8462-4
  kRateCode = 8,       // LOINC 8867-4, heart rate
  kRhythmCode = 16,    // LOINC 8884-9, heart rate rhythm
  kIrregularCode = 32, // SNOMED CT, an irregular heart beat or pulse
  kOldPanelCode = 64,  // LOINC 55284-4, blood pressure systolic and diastolic
  // The context flags the export writes (system kFhirFlagSystem).
  kMedicationFlag = 128,
  kMovementFlag = 256,
  kCuffFlag = 512,
  kOtherFlags = 1024,
};

const char *const kLoincSystem = "http://loinc.org";
const char *const kSnomedSystem = "http://snomed.info/sct";

// The code bits of a coding (a coding without a system is taken as LOINC).
quint16 CodeOf(const Short &system, bool hasSystem, const Short &code) {
  if (!hasSystem || system.is(QLatin1StringView(kLoincSystem))) {
    for (const auto &[name, bit] :
         {std::pair{"85354-9", kPanelCode}, std::pair{"55284-4", kOldPanelCode},
          std::pair{"8480-6", kSystolicCode}, std::pair{"8462-4", kDiastolicCode},
          std::pair{"8867-4", kRateCode}, std::pair{"8884-9", kRhythmCode}}) {
      if (code.is(QLatin1StringView(name))) {
        return bit;
      }
    }
  }
  // 361137007 "Irregular heart rhythm" (the code the export writes),
  // 271637005 "Pulse irregularly irregular", 271638000 "Pulse regularly
  // irregular": SNOMED CT, as listed in the CSIRO Smart Health Checks value
  // set heart-rhythm-1 and IHE PCC's Pulse.Rhythm.VS.
  if (hasSystem && system.is(QLatin1StringView(kSnomedSystem)) &&
      (code.is("361137007"_L1) || code.is("271637005"_L1) || code.is("271638000"_L1))) {
    return kIrregularCode;
  }
  if (hasSystem && system.is(QLatin1StringView(kFhirFlagSystem))) {
    for (const auto &[name, bit] :
         {std::pair{kFhirFlagMedication, kMedicationFlag},
          std::pair{kFhirFlagMovement, kMovementFlag}, std::pair{kFhirFlagCuff, kCuffFlag},
          std::pair{kFhirFlagOther, kOtherFlags}}) {
      if (code.is(QLatin1StringView(name))) {
        return bit;
      }
    }
  }
  return 0;
}

// A Quantity as read: whether there was one, its value when a number, its
// UCUM code and displayed unit.
struct Quantity {
  bool present = false;
  bool number = false;
  double value = 0;
  QByteArray text; // the number as written, when it is short enough to keep
  Short code, unit;
  void clear() {
    present = number = false;
    code.clear();
    unit.clear();
  }
};

// The number written `text` (JSON's grammar) times multiplier / 10^shift,
// rounded half away from zero from its decimal digits, without a binary
// fraction in between. Anything past ±10^6 gives 10^6, out of every range
// the checks allow.
qint64 RoundDecimalText(QByteArrayView text, qint64 multiplier, int shift) {
  constexpr qint64 kOut = 1000000;
  qsizetype i = 0;
  const bool negative = i < text.size() && text[i] == '-';
  i += negative;
  std::string digits; // the mantissa, most significant first
  qint64 exponent = -shift;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    digits += text[i];
  }
  if (i < text.size() && text[i] == '.') {
    for (++i; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
      digits += text[i];
      --exponent;
    }
  }
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    const bool down = i < text.size() && text[i] == '-';
    i += i < text.size() && (text[i] == '-' || text[i] == '+');
    qint64 e = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
      e = std::min<qint64>(e * 10 + (text[i] - '0'), 100000);
    }
    exponent += down ? -e : e;
  }
  // The mantissa times the multiplier, digit by digit.
  qint64 carry = 0;
  for (auto d = digits.rbegin(); d != digits.rend(); ++d) {
    carry += qint64(*d - '0') * multiplier;
    *d = char('0' + carry % 10);
    carry /= 10;
  }
  for (; carry > 0; carry /= 10) {
    digits.insert(digits.begin(), char('0' + carry % 10));
  }
  const size_t first = digits.find_first_not_of('0');
  if (first == std::string::npos) {
    return 0;
  }
  digits.erase(0, first);
  // The integer part and the first digit after the point.
  const qint64 length = qint64(digits.size());
  const qint64 whole = length + exponent; // digits before the point
  if (whole > 7) {
    return kOut;
  }
  qint64 magnitude = 0;
  for (qint64 k = 0; k < whole; ++k) {
    magnitude = magnitude * 10 + (k < length ? digits[size_t(k)] - '0' : 0);
  }
  const bool up = whole >= 0 && whole < length && digits[size_t(whole)] >= '5';
  magnitude = std::min(magnitude + (up ? 1 : 0), kOut);
  return negative && magnitude != kOut ? -magnitude : magnitude;
}

// A measured value, or why it cannot be one.
struct Value {
  std::optional<qint64> number;
  QString reason;
};

// A Quantity in mm[Hg] (`pressure`) or per minute, rounded half away from
// zero; `name` names it in the reasons ("systolique").
Value Measure(const Quantity &q, bool pressure, const QString &name) {
  if (!q.present) {
    return {std::nullopt, name + (pressure ? u" absente"_s : u" absent"_s)};
  }
  if (!q.number) {
    return {std::nullopt, name + u" illisible"_s};
  }
  // The UCUM code, or the unit as displayed when there is none.
  const Short &unit = q.code.size > 0 || q.code.over ? q.code : q.unit;
  double factor = 0;
  if (pressure) {
    factor = unit.is("mm[Hg]"_L1) || unit.is("mmHg"_L1) ? 1 : unit.is("kPa"_L1) ? kMmHgPerKPa : 0;
  } else if (unit.is("/min"_L1) || unit.is("{beats}/min"_L1) || unit.is("{beat}/min"_L1)) {
    factor = 1;
  }
  if (factor == 0) {
    return {std::nullopt, unit.size == 0 ? name + u" sans unité"_s
                                         : u"unité inconnue : "_s + unit.text().left(20)};
  }
  // From the digits as written: 120.49999999999999999999 is 120, which a
  // double (120.5) would round to 121.
  if (!q.text.isEmpty()) {
    const bool kPa = factor != 1;
    return {RoundDecimalText(q.text, kPa ? kMmHgPerKPaDigits : 1, kPa ? 5 : 0), {}};
  }
  double x = q.value * factor;
  // Out of every range the checks allow, whatever its size.
  if (!std::isfinite(x) || std::fabs(x) > 1e6) {
    x = 1e6;
  }
  return {qint64(std::round(x)), {}};
}

// The fields of one resource that the import uses; reused from resource to
// resource.
struct Resource {
  Short type, status;
  quint16 code = 0;
  Short firstCode; // the code of its first coding, for the reasons
  // effectiveDateTime, effectiveInstant, effectivePeriod.start: whether
  // each is there, and its text (empty when no string).
  std::array<bool, 3> hasTime{};
  std::array<Short, 3> time;
  QByteArray subject;
  Quantity value;
  // The first component of each code: systolic, diastolic, heart rate.
  std::array<bool, 3> hasPart{};
  std::array<Quantity, 3> part;
  bool irregular = false;
  quint8 flags = 0;      // the other ContextFlag bits its components set
  QByteArray otherFlags; // the flags of another program, as written
  QByteArray note;
  // Its id, its first identifier ("system|value"), and the Observations it
  // names in hasMember and derivedFrom.
  QByteArray id, identifier;
  std::vector<QByteArray> references;

  void clear() {
    type.clear();
    status.clear();
    code = 0;
    firstCode.clear();
    hasTime = {};
    subject.resize(0);
    value.clear();
    hasPart = {};
    for (Quantity &q : part) {
      q.clear();
    }
    irregular = false;
    flags = 0;
    otherFlags.resize(0);
    note.resize(0);
    id.resize(0);
    identifier.resize(0);
    references.clear();
  }
  bool observation() const { return type.is("Observation"_L1); }
  bool skipped() const { return status.is("entered-in-error"_L1) || status.is("cancelled"_L1); }
};

// When an Observation was made: its local date and minute, and the instant.
struct When {
  QDate date;
  int minutes = -1;         // since midnight, local; -1 when it has no time
  qint64 ms = 0;            // the instant, since the epoch
  QString reason;           // when it has none
  bool otherOffset = false; // given with an offset the computer's zone did not have then
  bool valid() const { return minutes >= 0; }
};

// The digits at `t[at]`, `n` of them, or -1.
int DigitsAt(QByteArrayView t, qsizetype at, int n) {
  int v = 0;
  for (int i = 0; i < n; ++i) {
    const char c = t[at + i];
    if (c < '0' || c > '9') {
      return -1;
    }
    v = v * 10 + (c - '0');
  }
  return v;
}

// The instant of "2026-03-03T07:40:00+01:00" (a fraction of a second, "Z"
// allowed), the form FHIR servers and Tensiolog write, read by hand, in
// milliseconds since the epoch, and its offset in seconds east of UTC;
// false for any other text.
bool FastInstant(QByteArrayView t, qint64 *ms, int *offsetSeconds) {
  if (t.size() < 20 || t[4] != '-' || t[7] != '-' || t[10] != 'T' || t[13] != ':' || t[16] != ':') {
    return false;
  }
  const int y = DigitsAt(t, 0, 4), mo = DigitsAt(t, 5, 2), d = DigitsAt(t, 8, 2),
            h = DigitsAt(t, 11, 2), mi = DigitsAt(t, 14, 2), sec = DigitsAt(t, 17, 2);
  if (y < 1000 || mo < 0 || d < 0 || h < 0 || h > 23 || mi < 0 || mi > 59 || sec < 0 || sec > 59) {
    return false;
  }
  const QDate date(y, mo, d);
  if (!date.isValid()) {
    return false;
  }
  qsizetype at = 19;
  int millis = 0;
  if (t[at] == '.') {
    int scale = 100, n = 0;
    for (++at; at < t.size() && t[at] >= '0' && t[at] <= '9'; ++at, ++n) {
      millis += (t[at] - '0') * scale;
      scale /= 10;
    }
    if (n == 0) {
      return false;
    }
  }
  int offset = 0; // seconds east of UTC
  if (at + 1 == t.size() && t[at] == 'Z') {
    offset = 0;
  } else if (at + 6 == t.size() && (t[at] == '+' || t[at] == '-') && t[at + 3] == ':') {
    const int oh = DigitsAt(t, at + 1, 2), om = DigitsAt(t, at + 4, 2);
    if (oh < 0 || oh > 14 || om < 0 || om > 59) {
      return false;
    }
    offset = (t[at] == '-' ? -1 : 1) * (oh * 3600 + om * 60);
  } else {
    return false;
  }
  constexpr qint64 kUnixEpochDay = 2440588;
  const qint64 seconds = (date.toJulianDay() - kUnixEpochDay) * 86400 + h * 3600 + mi * 60 + sec;
  *ms = (seconds - offset) * 1000 + millis;
  *offsetSeconds = offset;
  return true;
}

// The time of an effectiveDateTime text; `clock` gives the local time of
// an instant.
When TimeOfText(QByteArrayView bytes, LocalTimeConverter &clock) {
  const auto floorSeconds = [](qint64 ms) { return ms >= 0 ? ms / 1000 : -((-ms + 999) / 1000); };
  qint64 instant = 0;
  if (int offset = 0; FastInstant(bytes, &instant, &offset)) {
    const WallTime wall = WallTimeOf(floorSeconds(instant), offset, clock);
    return {wall.date, wall.minutes, instant, {}, wall.otherOffset};
  }
  const QString text = QString::fromUtf8(bytes);
  // "2026", "2026-03", "2026-03-02": a day at most, no time of day.
  if (!text.isEmpty() && text.size() <= 10 &&
      std::all_of(text.begin(), text.end(), [](QChar c) { return c.isDigit() || c == u'-'; })) {
    return {{}, -1, 0, u"heure absente"_s};
  }
  const QDateTime at = QDateTime::fromString(text, Qt::ISODate);
  if (!at.isValid()) {
    return {{}, -1, 0, u"date et heure illisibles"_s};
  }
  // A time without an offset (which FHIR does not allow) is taken as it is
  // written, in local time.
  if (at.timeSpec() == Qt::LocalTime) {
    const qint64 wall = QDateTime(at.date(), at.time(), Qt::UTC).toMSecsSinceEpoch();
    return {at.date(),
            at.time().hour() * 60 + at.time().minute(),
            wall - qint64(ComputerOffsetOfWallClock(at.date(), at.time())) * 1000,
            {}};
  }
  const qint64 ms = at.toMSecsSinceEpoch();
  const WallTime wall = WallTimeOf(floorSeconds(ms), at.offsetFromUtc(), clock);
  return {wall.date, wall.minutes, ms, {}, wall.otherOffset};
}

// An identifier without its last part ("…|42-bp" gives "…|42"), or empty
// when its value has no part to drop: what a panel and its heart rate share
// when a program names them after the same reading.
QByteArrayView IdentifierBase(QByteArrayView identifier) {
  const qsizetype bar = identifier.indexOf('|');
  qsizetype cut = -1;
  for (qsizetype i = identifier.size() - 1; i > bar + 1; --i) {
    if (const char c = identifier[i]; c == '-' || c == '_' || c == '.' || c == ':' || c == '/') {
      cut = i;
      break;
    }
  }
  return cut < 0 ? QByteArrayView() : identifier.first(cut);
}

// A fullUrl, a reference, an id or an identifier's base, as one number
// (FNV-1a, 64 bits; 0 for none): a bundle holds hundreds of thousands, and
// numbers keep the pairing's memory and time small. Two texts of one bundle
// giving the same number is a chance in about 10^8 for a million of them.
using LinkKey = quint64;
// `prefix` then `text`, as the key of their concatenation.
LinkKey KeyOf(QByteArrayView text, QByteArrayView prefix = {}) {
  if (text.isEmpty()) {
    return 0;
  }
  quint64 h = 14695981039346656037ull;
  for (const QByteArrayView part : {prefix, text}) {
    for (const char c : part) {
      h = (h ^ uchar(c)) * 1099511628211ull;
    }
  }
  return h ? h : 1;
}

// The Observation a reference names: "Observation/<id>" as it stands, or
// the end of an absolute URL ("https://host/fhir/Observation/7/_history/2").
QByteArrayView ReferenceKey(QByteArrayView reference) {
  const qsizetype at = reference.lastIndexOf("/Observation/");
  if (at < 0) {
    return reference;
  }
  QByteArrayView key = reference.sliced(at + 1);
  if (const qsizetype history = key.indexOf("/_history/"); history >= 0) {
    key.truncate(history);
  }
  return key;
}

// A reference as written and as the Observation it names (ReferenceKey).
struct Reference {
  LinkKey written = 0, named = 0;
};

// What names an Observation in its bundle, and the Observations it names.
struct Links {
  LinkKey url = 0;      // its entry's fullUrl
  LinkKey urlNamed = 0; // the Observation the fullUrl names (ReferenceKey)
  LinkKey id = 0;       // "Observation/<id>"
  LinkKey base = 0;     // IdentifierBase of its first identifier
  // Nearly always one reference or none: the first kept in place, the
  // others apart.
  Reference first;
  quint8 count = 0;
  std::unique_ptr<std::vector<Reference>> more;

  void add(Reference r) {
    if (count == 0) {
      first = r;
      count = 1;
      return;
    }
    if (!more) {
      more = std::make_unique<std::vector<Reference>>();
    }
    more->push_back(r);
  }
  template <typename Fn> void forEach(Fn &&fn) const {
    if (count > 0) {
      fn(first);
    }
    if (more) {
      for (const Reference &r : *more) {
        fn(r);
      }
    }
  }
};

// A blood-pressure panel, as the checks need it.
struct Panel {
  qsizetype entry;
  When when;
  QByteArray subject;
  Value s, d;
  std::optional<Value> p; // its own heart-rate component
  ReadingContext context;
  Links links;
};

// A heart-rate Observation, for the panel that names it or is near it.
struct Rate {
  qint64 ms; // the instant, since the epoch
  qsizetype entry;
  QByteArray subject;
  Value value;
  Links links;
};

// The reading of a Bundle (or of one Observation) into panels and rates.
class FhirReader {
public:
  explicit FhirReader(Source &source) : source_(source), parser_(source) {}

  // False on a fault of the JSON (parser().errorAt()).
  bool read() {
    parser_.blanks();
    bool ok;
    if (parser_.kind() == '{') {
      ok = parser_.object(0, [this](const Short &key, int depth) {
        if (key.is("entry"_L1)) {
          // Only the last of twice the same name counts.
          panels_.clear();
          rates_.clear();
          matches_ = 0;
          return parser_.arrayOrSkip(depth, [this](qsizetype i, int d) { return entry(i, d); });
        }
        if (key.is("total"_L1)) {
          hasTotal_ = parser_.kind() == 'n';
          return hasTotal_ ? parser_.number(&total_) : parser_.skip(depth);
        }
        if (key.is("link"_L1)) {
          return parser_.arrayOrSkip(depth, [this](qsizetype, int d) { return link(d); });
        }
        if (key.is("resourceType"_L1)) {
          topType_.clear();
          return parser_.stringOrSkip(topType_, depth);
        }
        return member(top_, key, depth);
      });
    } else {
      // An array, a number: JSON, but no FHIR.
      ok = parser_.skip(0);
      notFhir_ = true;
    }
    parser_.blanks();
    if (ok && source_.peek() >= 0) {
      return parser_.fail(); // something after the value
    }
    if (!ok) {
      return false;
    }
    if (topType_.is("Observation"_L1)) {
      panels_.clear();
      rates_.clear();
      top_.type = topType_;
      take(top_, 0);
    } else if (!topType_.is("Bundle"_L1)) {
      notFhir_ = true;
    }
    return true;
  }

  Parser &parser() { return parser_; }
  bool notFhir() const { return notFhir_; }
  // A Bundle that is one page of a search: the results it announces
  // (-1 when it does not say), and whether it links to a next page.
  bool page() const { return topType_.is("Bundle"_L1) && (next_ || results() > matches_); }
  qint64 results() const { return hasTotal_ && total_ >= 0 && total_ < 1e15 ? qint64(total_) : -1; }
  qint64 matches() const { return matches_; }
  std::vector<Panel> &panels() { return panels_; }
  std::vector<Rate> &rates() { return rates_; }

private:
  bool entry(qsizetype index, int depth) {
    if (parser_.kind() != '{') {
      return parser_.skip(depth);
    }
    resource_.clear();
    entryUrl_.resize(0);
    bool any = false, match = true;
    if (!parser_.object(depth, [&](const Short &key, int d) {
          if (key.is("search"_L1) && parser_.kind() == '{') {
            // An included resource or an outcome is no result of the search.
            return parser_.object(d, [&](const Short &k, int dd) {
              if (!k.is("mode"_L1)) {
                return parser_.skip(dd);
              }
              Short mode;
              const bool ok = parser_.stringOrSkip(mode, dd);
              match = !mode.is("include"_L1) && !mode.is("outcome"_L1);
              return ok;
            });
          }
          if (key.is("fullUrl"_L1)) {
            entryUrl_.resize(0);
            return parser_.stringOrSkip(Kept{&entryUrl_, kMaxNameBytes}, d);
          }
          if (!key.is("resource"_L1)) {
            return parser_.skip(d);
          }
          resource_.clear();
          any = parser_.kind() == '{';
          return any ? parser_.object(
                           d, [this](const Short &k, int dd) { return member(resource_, k, dd); })
                     : parser_.skip(d);
        })) {
      return false;
    }
    if (any) {
      take(resource_, index);
    }
    matches_ += match;
    return true;
  }

  // One of the Bundle's links: whether it is to the next page.
  bool link(int depth) {
    return parser_.objectOrSkip(depth, [&](const Short &k, int d) {
      if (!k.is("relation"_L1)) {
        return parser_.skip(d);
      }
      Short relation;
      const bool ok = parser_.stringOrSkip(relation, d);
      next_ = next_ || relation.is("next"_L1);
      return ok;
    });
  }

  // One member of a resource.
  bool member(Resource &r, const Short &key, int depth) {
    if (key.is("resourceType"_L1)) {
      r.type.clear();
      return parser_.stringOrSkip(r.type, depth);
    }
    if (key.is("status"_L1)) {
      r.status.clear();
      return parser_.stringOrSkip(r.status, depth);
    }
    if (key.is("code"_L1)) {
      r.code = 0;
      r.firstCode.clear();
      return codeable(&r.code, depth, &r.firstCode);
    }
    for (int i = 0; i < 3; ++i) {
      static const QLatin1StringView kTimes[] = {"effectiveDateTime"_L1, "effectiveInstant"_L1,
                                                 "effectivePeriod"_L1};
      if (!key.is(kTimes[i])) {
        continue;
      }
      r.time[size_t(i)].clear();
      if (i < 2) {
        r.hasTime[size_t(i)] = true;
        return parser_.stringOrSkip(r.time[size_t(i)], depth);
      }
      r.hasTime[2] = false;
      return parser_.objectOrSkip(depth, [&](const Short &k, int d) {
        if (!k.is("start"_L1)) {
          return parser_.skip(d);
        }
        r.hasTime[2] = true;
        r.time[2].clear();
        return parser_.stringOrSkip(r.time[2], d);
      });
    }
    if (key.is("subject"_L1)) {
      r.subject.resize(0);
      return parser_.objectOrSkip(depth, [&](const Short &k, int d) {
        if (!k.is("reference"_L1)) {
          return parser_.skip(d);
        }
        r.subject.resize(0);
        return parser_.stringOrSkip(Kept{&r.subject, 4096}, d);
      });
    }
    if (key.is("valueQuantity"_L1)) {
      return quantity(r.value, depth);
    }
    if (key.is("id"_L1)) {
      r.id.resize(0);
      return parser_.stringOrSkip(Kept{&r.id, kMaxNameBytes}, depth);
    }
    if (key.is("identifier"_L1)) {
      r.identifier.resize(0);
      return parser_.arrayOrSkip(depth,
                                 [&](qsizetype, int d) { return identifier(r.identifier, d); });
    }
    if (key.is("hasMember"_L1) || key.is("derivedFrom"_L1)) {
      return parser_.arrayOrSkip(depth, [&](qsizetype, int d) {
        return parser_.objectOrSkip(d, [&](const Short &k, int dd) {
          if (!k.is("reference"_L1) || parser_.kind() != '"' ||
              r.references.size() >= kMaxReferences) {
            return parser_.skip(dd);
          }
          QByteArray &reference = r.references.emplace_back();
          return parser_.string(Kept{&reference, kMaxNameBytes});
        });
      });
    }
    if (key.is("component"_L1)) {
      r.hasPart = {};
      return parser_.arrayOrSkip(depth, [&](qsizetype, int d) { return component(r, d); });
    }
    if (key.is("interpretation"_L1)) {
      return parser_.arrayOrSkip(depth, [&](qsizetype, int d) {
        quint16 code = 0;
        const bool ok = codeable(&code, d);
        r.irregular = r.irregular || (code & kIrregularCode);
        return ok;
      });
    }
    if (key.is("note"_L1)) {
      r.note.resize(0);
      return parser_.arrayOrSkip(depth, [&](qsizetype, int d) {
        return parser_.objectOrSkip(d, [&](const Short &k, int dd) {
          if (!k.is("text"_L1) || parser_.kind() != '"') {
            return parser_.skip(dd);
          }
          if (!r.note.isEmpty()) {
            r.note.append(' ');
          }
          return parser_.string(Kept{&r.note, kMaxNoteBytes});
        });
      });
    }
    return parser_.skip(depth);
  }

  // One Identifier: "system|value" into `out` when it holds none yet.
  bool identifier(QByteArray &out, int depth) {
    if (parser_.kind() != '{') {
      return parser_.skip(depth);
    }
    QByteArray system, value;
    const bool ok = parser_.object(depth, [&](const Short &k, int d) {
      if (k.is("system"_L1) || k.is("value"_L1)) {
        QByteArray &into = k.is("system"_L1) ? system : value;
        into.resize(0);
        return parser_.stringOrSkip(Kept{&into, kMaxNameBytes}, d);
      }
      return parser_.skip(d);
    });
    if (out.isEmpty() && !value.isEmpty()) {
      out = system + '|' + value;
    }
    return ok;
  }

  // A CodeableConcept: the code bits of its codings into `*code`.
  // `first`, when given, gets the code of its first coding.
  bool codeable(quint16 *code, int depth, Short *first = nullptr) {
    return parser_.objectOrSkip(depth, [&](const Short &key, int d) {
      if (!key.is("coding"_L1)) {
        return parser_.skip(d);
      }
      *code = 0;
      return parser_.arrayOrSkip(d, [&](qsizetype, int dd) {
        if (parser_.kind() != '{') {
          return parser_.skip(dd);
        }
        Short system, value;
        bool hasSystem = false;
        const bool ok = parser_.object(dd, [&](const Short &k, int ddd) {
          if (k.is("system"_L1)) {
            hasSystem = true;
            system.clear();
            return parser_.stringOrSkip(system, ddd);
          }
          if (k.is("code"_L1)) {
            value.clear();
            return parser_.stringOrSkip(value, ddd);
          }
          return parser_.skip(ddd);
        });
        *code |= CodeOf(system, hasSystem, value);
        if (first && first->size == 0 && !first->over) {
          *first = value;
        }
        return ok;
      });
    });
  }

  bool quantity(Quantity &q, int depth) {
    q.clear();
    q.present = true;
    return parser_.objectOrSkip(depth, [&](const Short &key, int d) {
      if (key.is("value"_L1)) {
        q.number = parser_.kind() == 'n';
        return q.number ? parser_.number(&q.value, &q.text) : parser_.skip(d);
      }
      if (key.is("code"_L1)) {
        q.code.clear();
        return parser_.stringOrSkip(q.code, d);
      }
      if (key.is("unit"_L1)) {
        q.unit.clear();
        return parser_.stringOrSkip(q.unit, d);
      }
      return parser_.skip(d);
    });
  }

  // One component: the first of each value's code is kept; a heart-rate
  // rhythm whose value is an irregular beat flags the reading.
  bool component(Resource &r, int depth) {
    if (parser_.kind() != '{') {
      return parser_.skip(depth);
    }
    quint16 code = 0, valueCode = 0;
    bool yes = false;
    part_.clear();
    text_.resize(0);
    const bool ok = parser_.object(depth, [&](const Short &key, int d) {
      if (key.is("valueBoolean"_L1)) {
        yes = parser_.next() == 't';
        return parser_.skip(d);
      }
      if (key.is("valueString"_L1)) {
        text_.resize(0);
        return parser_.stringOrSkip(Kept{&text_, kMaxNoteBytes}, d);
      }
      if (key.is("code"_L1)) {
        code = 0;
        return codeable(&code, d);
      }
      if (key.is("valueQuantity"_L1)) {
        return quantity(part_, d);
      }
      if (key.is("valueCodeableConcept"_L1)) {
        valueCode = 0;
        return codeable(&valueCode, d);
      }
      return parser_.skip(d);
    });
    const quint16 bits[] = {kSystolicCode, kDiastolicCode, kRateCode};
    for (size_t i = 0; i < 3; ++i) {
      if ((code & bits[i]) && !r.hasPart[i]) {
        r.hasPart[i] = true;
        r.part[i] = part_;
      }
    }
    if ((code & kRhythmCode) && (valueCode & kIrregularCode)) {
      r.irregular = true;
    }
    for (const auto &[bit, flag] : {std::pair{kMedicationFlag, ContextFlag::Medication},
                                    std::pair{kMovementFlag, ContextFlag::Movement},
                                    std::pair{kCuffFlag, ContextFlag::CuffMisplaced}}) {
      if ((code & bit) && yes) {
        r.flags |= quint8(flag);
      }
    }
    if ((code & kOtherFlags) && !text_.isEmpty() && r.otherFlags.isEmpty()) {
      r.otherFlags = text_;
    }
    return ok;
  }

  // The time an Observation was made; a panel and its heart rate usually
  // give the same text, read once.
  When effective(const Resource &r) {
    const size_t i = r.hasTime[0] ? 0 : r.hasTime[1] ? 1 : 2;
    if (!r.hasTime[i]) {
      return {{}, -1, 0, u"date et heure absentes"_s};
    }
    const QByteArrayView text = r.time[i].view();
    if (!text.isEmpty() && !r.time[i].over && text == QByteArrayView(lastText_)) {
      return lastWhen_;
    }
    lastText_.resize(text.size());
    std::memcpy(lastText_.data(), text.data(), size_t(text.size()));
    lastWhen_ = r.time[i].over ? TimeOfText("?", clock_) : TimeOfText(text, clock_);
    return lastWhen_;
  }

  // A resource read whole: a panel or a heart rate kept.
  void take(const Resource &r, qsizetype index) {
    if (!r.observation() || r.skipped()) {
      return;
    }
    if (r.code & (kPanelCode | kOldPanelCode)) {
      // A component of the code without a value counts as none.
      const auto part = [&r](size_t i) { return r.hasPart[i] ? r.part[i] : Quantity{}; };
      Panel panel{index,
                  effective(r),
                  subjectOf(r),
                  Measure(part(0), true, u"systolique"_s),
                  Measure(part(1), true, u"diastolique"_s),
                  std::nullopt,
                  {},
                  linksOf(r)};
      if (r.hasPart[2] && r.part[2].present) {
        panel.p = Measure(r.part[2], false, u"pouls"_s);
      }
      if (!r.note.isEmpty()) {
        panel.context.note = CleanNote(QString::fromUtf8(r.note));
      }
      panel.context.set(ContextFlag::Irregular, r.irregular);
      panel.context.flags |= r.flags;
      if (!r.otherFlags.isEmpty()) {
        // One line, as the context file keeps it.
        panel.context.otherFlags = CleanNote(QString::fromUtf8(r.otherFlags));
      }
      panels_.push_back(std::move(panel));
    } else if (r.code & kRateCode) {
      if (When when = effective(r); when.valid()) {
        rates_.push_back(
            {when.ms, index, subjectOf(r), Measure(r.value, false, u"pouls"_s), linksOf(r)});
      }
    } else if (r.hasPart[0] || r.hasPart[1]) {
      // Systolic and diastolic values under a code this program does not
      // know as a panel's: refused, and said why, rather than passed over.
      const QString reason =
          r.firstCode.size > 0 || r.firstCode.over
              ? u"tension sous un code inconnu : "_s + r.firstCode.text().left(20)
              : u"tension sans code connu"_s;
      panels_.push_back({index, When{{}, -1, 0, reason}, {}, {}, {}, std::nullopt, {}, {}});
    }
  }

  Links linksOf(const Resource &r) const {
    Links links;
    links.url = KeyOf(entryUrl_);
    links.urlNamed = KeyOf(ReferenceKey(entryUrl_));
    links.id = KeyOf(r.id, "Observation/");
    links.base = KeyOf(IdentifierBase(r.identifier));
    for (const QByteArray &reference : r.references) {
      links.add({KeyOf(reference), KeyOf(ReferenceKey(reference))});
    }
    return links;
  }

  // The subject of a resource, shared with the one before when the same
  // (a bundle usually names one patient).
  const QByteArray &subjectOf(const Resource &r) {
    if (r.subject != lastSubject_) {
      lastSubject_ = r.subject;
    }
    return lastSubject_;
  }

  Source &source_;
  Parser parser_;
  LocalTimeConverter clock_;
  QByteArray lastSubject_;
  Short topType_;
  Resource top_, resource_;
  Quantity part_;
  QByteArray text_; // a component's valueString
  QByteArray entryUrl_;
  bool notFhir_ = false;
  bool next_ = false, hasTotal_ = false;
  double total_ = 0;
  qint64 matches_ = 0; // entries that are results of a search
  std::vector<Panel> panels_;
  std::vector<Rate> rates_;
  QByteArray lastText_;
  When lastWhen_;
};

// Positions 0 to n - 1 of a list, some taken: the free one nearest to a
// position on either side in near-constant time (each search shortens the
// jumps over the taken ones it made).
class FreeSlots {
public:
  explicit FreeSlots(qsizetype n) : right_(size_t(n) + 1), left_(size_t(n) + 1) {
    for (size_t i = 0; i <= size_t(n); ++i) {
      right_[i] = left_[i] = qsizetype(i);
    }
  }
  // The first free position at or after `i`, or n.
  qsizetype rightOf(qsizetype i) { return root(right_, i); }
  // The last free position at or before `i`, or -1.
  qsizetype leftOf(qsizetype i) { return root(left_, i + 1) - 1; }
  void take(qsizetype i) {
    right_[size_t(i)] = i + 1;
    left_[size_t(i) + 1] = i;
  }

private:
  static qsizetype root(std::vector<qsizetype> &up, qsizetype i) {
    while (up[size_t(i)] != i) {
      up[size_t(i)] = up[size_t(up[size_t(i)])];
      i = up[size_t(i)];
    }
    return i;
  }
  std::vector<qsizetype> right_, left_;
};

// The heart rates not given to a panel yet, in order of time (then of place
// in the file), all of them and by subject, so that a panel finds the
// nearest in logarithmic time whatever the number of rates at one instant
// or of subjects.
class RateIndex {
public:
  // `rates` in order of time, then of entry.
  explicit RateIndex(const std::vector<Rate> &rates)
      : rates_(rates), all_(rates.size()), place_(rates.size()) {
    for (size_t i = 0; i < rates.size(); ++i) {
      all_.rates[i] = qsizetype(i);
      List &list = bySubject_[rates[i].subject];
      place_[i] = qsizetype(list.rates.size());
      list.rates.push_back(qsizetype(i));
    }
    for (List &list : bySubject_) {
      list.free = FreeSlots(qsizetype(list.rates.size()));
    }
  }

  // The rate `i` is given to a panel: no other panel gets it.
  void take(qsizetype i) {
    all_.free.take(i);
    bySubject_[rates_[size_t(i)].subject].free.take(place_[size_t(i)]);
  }

  // The nearest free heart rate in time, of the same subject when both name
  // one; between rates as near, the one nearest in the file (a panel's own
  // rate follows it), then the first. -1 when none is within kPulseWindowMs.
  qsizetype nearest(qint64 ms, qsizetype entry, const QByteArray &subject) {
    if (subject.isEmpty()) {
      return nearestIn(all_, ms, entry);
    }
    qsizetype named = -1, anonymous = -1;
    if (const auto it = bySubject_.find(subject); it != bySubject_.end()) {
      named = nearestIn(*it, ms, entry);
    }
    if (const auto it = bySubject_.find(QByteArray()); it != bySubject_.end()) {
      anonymous = nearestIn(*it, ms, entry);
    }
    return better(named, anonymous, ms, entry) ? named : anonymous;
  }

private:
  struct List {
    explicit List(size_t n = 0) : rates(n), free(qsizetype(n)) {}
    std::vector<qsizetype> rates; // into rates_, in its order
    FreeSlots free;
  };

  // Whether rate `a` is nearer than `b` (or as near and first); -1 never.
  bool better(qsizetype a, qsizetype b, qint64 ms, qsizetype entry) const {
    if (a < 0 || b < 0) {
      return a >= 0;
    }
    const auto farness = [&](qsizetype i) {
      const Rate &r = rates_[size_t(i)];
      return std::tuple(std::abs(r.ms - ms), std::abs(r.entry - entry), r.ms, r.entry);
    };
    return farness(a) < farness(b);
  }

  // The best free rate of `list` at the instant `at`, the nearest in the file.
  qsizetype nearestAt(List &list, qint64 at, qint64 ms, qsizetype entry) const {
    const auto begin = list.rates.begin(), end = list.rates.end();
    const auto first = std::lower_bound(
        begin, end, at, [this](qsizetype i, qint64 t) { return rates_[size_t(i)].ms < t; });
    const auto last = std::upper_bound(
        first, end, at, [this](qint64 t, qsizetype i) { return t < rates_[size_t(i)].ms; });
    const qsizetype from = first - begin, to = last - begin;
    const qsizetype middle =
        std::lower_bound(first, last, entry,
                         [this](qsizetype i, qsizetype e) { return rates_[size_t(i)].entry < e; }) -
        begin;
    const qsizetype after = list.free.rightOf(middle), before = list.free.leftOf(middle - 1);
    const qsizetype next = after < to ? list.rates[size_t(after)] : -1;
    const qsizetype previous = before >= from ? list.rates[size_t(before)] : -1;
    return better(previous, next, ms, entry) ? previous : next;
  }

  qsizetype nearestIn(List &list, qint64 ms, qsizetype entry) const {
    const auto at = std::lower_bound(list.rates.begin(), list.rates.end(), std::pair(ms, entry),
                                     [this](qsizetype i, const std::pair<qint64, qsizetype> &key) {
                                       const Rate &r = rates_[size_t(i)];
                                       return std::pair(r.ms, r.entry) < key;
                                     });
    const qsizetype place = at - list.rates.begin();
    const qsizetype n = qsizetype(list.rates.size());
    qsizetype best = -1;
    if (const qsizetype later = list.free.rightOf(place); later < n) {
      const qint64 t = rates_[size_t(list.rates[size_t(later)])].ms;
      if (t - ms <= kPulseWindowMs) {
        best = nearestAt(list, t, ms, entry);
      }
    }
    if (const qsizetype earlier = list.free.leftOf(place - 1); earlier >= 0) {
      const qint64 t = rates_[size_t(list.rates[size_t(earlier)])].ms;
      if (ms - t <= kPulseWindowMs) {
        if (const qsizetype other = nearestAt(list, t, ms, entry); better(other, best, ms, entry)) {
          best = other;
        }
      }
    }
    return best;
  }

  const std::vector<Rate> &rates_;
  List all_;
  std::vector<qsizetype> place_; // each rate's place in its subject's list
  QHash<QByteArray, List> bySubject_;
};

// The heart rate of each panel that has none of its own, as an index into
// `rates` (in order of time, then of entry), or -1: first the rate the
// panel names (or that names it), then the one of the same instant whose
// identifier has the same base, then the nearest in time within five
// minutes. Each rate goes to one panel at most, a panel's own component
// aside. Hash maps and the index keep this in proportion to the bundle.
std::vector<qsizetype> PairRates(const std::vector<Panel> &panels, const std::vector<Rate> &rates) {
  std::vector<qsizetype> pulse(panels.size(), -1);
  std::vector<bool> taken(rates.size(), false);
  // The names of the rates, or of the panels, only when the other side
  // names any (most bundles link one way, or not at all).
  const auto names = [](const auto &observations, const auto &named) {
    QHash<LinkKey, qsizetype> map;
    bool any = false;
    for (const auto &o : named) {
      any = any || o.links.count > 0;
    }
    if (!any) {
      return map;
    }
    map.reserve(qsizetype(observations.size()) * 2);
    for (size_t i = 0; i < observations.size(); ++i) {
      const Links &links = observations[i].links;
      for (const LinkKey key : {links.url, links.urlNamed, links.id}) {
        if (key != 0 && !map.contains(key)) {
          map.insert(key, qsizetype(i));
        }
      }
    }
    return map;
  };
  const auto find = [](const QHash<LinkKey, qsizetype> &map, const Reference &reference) {
    const auto it = map.constFind(reference.written);
    return it != map.constEnd() ? *it : map.value(reference.named, -1);
  };
  const QHash<LinkKey, qsizetype> rateNamed = names(rates, panels);
  const QHash<LinkKey, qsizetype> panelNamed = names(panels, rates);
  // A rate named by a panel with a pulse of its own is that panel's too,
  // and no other's.
  const auto give = [&](size_t panel, qsizetype rate) {
    taken[size_t(rate)] = true;
    if (!panels[panel].p) {
      pulse[panel] = rate;
    }
  };
  for (size_t i = 0; i < panels.size() && !rateNamed.isEmpty(); ++i) {
    panels[i].links.forEach([&](const Reference &reference) {
      if (const qsizetype r = find(rateNamed, reference);
          r >= 0 && !taken[size_t(r)] && pulse[i] < 0) {
        give(i, r);
      }
    });
  }
  for (size_t r = 0; r < rates.size() && !panelNamed.isEmpty(); ++r) {
    rates[r].links.forEach([&](const Reference &reference) {
      if (const qsizetype p = find(panelNamed, reference);
          p >= 0 && !taken[r] && pulse[size_t(p)] < 0) {
        give(size_t(p), qsizetype(r));
      }
    });
  }
  // The same instant and the same identifier but its last part: the rates
  // of one (base, instant) chained in file order from the first.
  const auto sameReading = [](LinkKey base, qint64 ms) {
    return base ^ (quint64(ms) * 0x9E3779B97F4A7C15ull);
  };
  std::vector<qsizetype> nextOfReading; // the next rate of the same reading, or -1
  {
    QHash<quint64, std::pair<qsizetype, qsizetype>> chain; // its first and last rate
    for (size_t r = 0; r < rates.size(); ++r) {
      if (rates[r].links.base == 0 || taken[r]) {
        continue;
      }
      if (nextOfReading.empty()) {
        nextOfReading.assign(rates.size(), -1);
        chain.reserve(qsizetype(rates.size()));
      }
      const quint64 key = sameReading(rates[r].links.base, rates[r].ms);
      const auto it = chain.find(key);
      if (it == chain.end()) {
        chain.insert(key, {qsizetype(r), qsizetype(r)});
      } else {
        nextOfReading[size_t(it->second)] = qsizetype(r);
        it->second = qsizetype(r);
      }
    }
    for (size_t i = 0; i < panels.size() && !chain.isEmpty(); ++i) {
      const LinkKey base = panels[i].links.base;
      if (panels[i].p || pulse[i] >= 0 || base == 0 || !panels[i].when.valid()) {
        continue;
      }
      const auto it = chain.constFind(sameReading(base, panels[i].when.ms));
      for (qsizetype r = it == chain.constEnd() ? -1 : it->first; r >= 0;
           r = nextOfReading[size_t(r)]) {
        if (!taken[size_t(r)] && rates[size_t(r)].links.base == base &&
            rates[size_t(r)].ms == panels[i].when.ms) {
          give(i, r);
          break;
        }
      }
    }
  }
  RateIndex index(rates);
  for (size_t r = 0; r < rates.size(); ++r) {
    if (taken[r]) {
      index.take(qsizetype(r));
    }
  }
  for (size_t i = 0; i < panels.size(); ++i) {
    const Panel &panel = panels[i];
    if (panel.p || pulse[i] >= 0 || !panel.when.valid()) {
      continue;
    }
    if (const qsizetype r = index.nearest(panel.when.ms, panel.entry, panel.subject); r >= 0) {
      index.take(r);
      pulse[i] = r;
    }
  }
  return pulse;
}

// The readings of the panels through `import`, each with its pulse.
void ImportPanels(FhirReader &reader, ImportSink &import) {
  std::vector<Rate> &rates = reader.rates();
  // In time order; rates at one instant keep their order in the file.
  std::stable_sort(rates.begin(), rates.end(),
                   [](const Rate &a, const Rate &b) { return a.ms < b.ms; });
  const std::vector<Panel> &panels = reader.panels();
  const std::vector<qsizetype> pulses = PairRates(panels, rates);
  qint64 otherOffsets = 0;
  for (size_t k = 0; k < panels.size(); ++k) {
    const Panel &panel = panels[k];
    const qsizetype i = panel.entry;
    const When &when = panel.when;
    const QString place = u"entrée %1"_s.arg(i + 1);
    if (!when.valid()) {
      import.reject(place, when.reason);
      continue;
    }
    const Value &s = panel.s, &d = panel.d;
    const Value p = panel.p          ? *panel.p
                    : pulses[k] >= 0 ? rates[size_t(pulses[k])].value
                                     : Value{std::nullopt, u"pouls absent"_s};
    if (!s.number || !d.number || !p.number) {
      import.reject(place, !s.number ? s.reason : !d.number ? d.reason : p.reason);
      continue;
    }
    import.addReading(when.date, when.minutes, *s.number, *d.number, *p.number, place,
                      panel.context);
    otherOffsets += when.otherOffset;
  }
  if (otherOffsets > 0) {
    import.addOtherOffsets(otherOffsets);
  }
}

FhirRead Read(Source &source, ImportSink &import, const std::function<bool()> &parsed) {
  FhirRead read;
  // A byte-order mark first is no JSON, and allowed.
  for (const char b : {'\xEF', '\xBB', '\xBF'}) {
    if (source.peek() != uchar(b)) {
      break;
    }
    source.skip();
  }
  FhirReader reader(source);
  const bool ok = reader.read();
  if (source.cancelled()) {
    read.cancelled = true;
    return read;
  }
  if (!source.readError().isEmpty()) {
    read.error.reason = source.readError();
    return read;
  }
  if (!ok) {
    read.error.reason = u"JSON illisible"_s;
    read.error.offset = reader.parser().errorAt();
    return read;
  }
  if (reader.notFhir()) {
    read.error.reason = u"ce fichier JSON n'est ni un Bundle ni une Observation FHIR"_s;
    return read;
  }
  if (parsed && !parsed()) {
    read.cancelled = true;
    return read;
  }
  if (reader.page()) {
    const qint64 announced = reader.results(), present = reader.matches();
    import.addNote(u"Ce fichier n'est qu'une page d'une recherche plus large : "_s +
                   (announced > present
                        ? u"%1 résultat%2 annoncé%2, %3 présent%4."_s.arg(announced)
                              .arg(announced > 1 ? u"s"_s : QString())
                              .arg(present)
                              .arg(present > 1 ? u"s"_s : QString())
                        : u"les pages suivantes (lien « next ») ne sont pas importées."_s));
  }
  ImportPanels(reader, import);
  return read;
}

} // namespace

WallTime WallTimeOf(qint64 utcSeconds, int offsetSeconds, LocalTimeConverter &clock) {
  constexpr qint64 kDay = 86400, kUnixEpochDay = 2440588;
  const auto floorDiv = [](qint64 a, qint64 b) { return a / b - (a % b != 0 && a < 0); };
  // The computer's offset at an instant: its local time less the instant,
  // to the minute.
  const auto computer = [&](qint64 utc, WallTime *local) {
    ImportWhen when;
    when.kind = ImportWhen::Kind::Instant;
    when.epochSeconds = utc;
    clock.toLocal(when);
    if (local) {
      *local = {when.date, when.minutes, false};
    }
    return (when.date.toJulianDay() - kUnixEpochDay) * kDay + when.minutes * 60 -
           floorDiv(utc, 60) * 60;
  };
  WallTime local;
  const qint64 here = computer(utcSeconds, &local);
  if (offsetSeconds == 0) {
    return local; // UTC: the time of the computer's clock then
  }
  const qint64 wall = utcSeconds + offsetSeconds;
  const qint64 day = floorDiv(wall, kDay);
  // An offset the computer's zone has within three hours of the instant is
  // its own: the offset before the change, which the export writes for a
  // time the clocks skip.
  constexpr qint64 kNear = 3 * 3600;
  const bool other = offsetSeconds != here &&
                     offsetSeconds != computer(utcSeconds - kNear, nullptr) &&
                     offsetSeconds != computer(utcSeconds + kNear, nullptr);
  return {QDate::fromJulianDay(kUnixEpochDay + day), int((wall - day * kDay) / 60), other};
}

FhirRead ReadFhir(QByteArrayView bytes, ImportSink &import, const std::function<bool()> &parsed) {
  Source source(bytes);
  return Read(source, import, parsed);
}

FhirRead ReadFhir(QIODevice &device, ImportSink &import,
                  const std::function<bool(qint64 read)> &progress,
                  const std::function<bool()> &parsed) {
  Source source(device, progress);
  return Read(source, import, parsed);
}

ImportOutcome AppendFhirFile(Logbook &book, const QString &path, const ImportProgress &progress,
                             bool dryRun) {
  ImportOutcome outcome;
  QFile file;
  if ((outcome.error = OpenForReading(path, file))) {
    return outcome;
  }
  const qint64 total = file.size();
  if (total > kMaxFhirFileBytes) {
    outcome.error = {path, u"fichier FHIR de plus de 512 Mio, trop grand pour être importé"_s};
    return outcome;
  }
  // Progress: two thirds for the bytes read and parsed (a chunk at a time),
  // the last third for the readings taken.
  const auto step = [&](qint64 done) { return !progress || progress(done, total); };
  ImportSink import(book.lists());
  const FhirRead read = ReadFhir(
      file, import, [&](qint64 done) { return step(std::min(done, total) * 2 / 3); },
      [&] { return step(2 * total / 3); });
  if (read.error) {
    outcome.error = read.error;
    outcome.error.path = path;
    return outcome;
  }
  if (read.cancelled || !step(total)) {
    outcome.cancelled = true;
    return outcome;
  }
  FinishImport(book, import, dryRun, outcome);
  return outcome;
}

} // namespace tl
