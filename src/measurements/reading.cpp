#include "measurements/reading.h"

#include "measurements/classification.h"
#include "measurements/parse.h"

#include <QTime>
#include <algorithm>
#include <cstring>
#include <limits>
#include <type_traits>

namespace tl {

namespace {

constexpr qint64 kJulianDayOf1970 = 2440588;
// "dd/MM/yyyy" has four year digits and QDate no year 0.
constexpr int kFirstYear = 1;
// Two bits of kind per cell; the high bit of a pair marks a text.
constexpr quint16 kTextBits = 0xAAA;

struct Civil {
  int year;
  int month;
  int day;
};

// Days since 1970-01-01 of a date of the proleptic Gregorian calendar, and
// back (H. Hinnant's algorithms), as QDate counts them.
constexpr qint64 DaysFromCivil(int y, int m, int d) {
  y -= m <= 2;
  const int era = (y >= 0 ? y : y - 399) / 400;
  const int yoe = y - era * 400;
  const int doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return qint64(era) * 146097 + doe - 719468;
}

constexpr Civil CivilFromDays(qint64 z) {
  z += 719468;
  const qint64 era = (z >= 0 ? z : z - 146096) / 146097;
  const int doe = int(z - era * 146097);
  const int yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int mp = (5 * doy + 2) / 153;
  const int d = doy - (153 * mp + 2) / 5 + 1;
  const int m = mp < 10 ? mp + 3 : mp - 9;
  return {int(yoe + era * 400) + (m <= 2), m, d};
}

static_assert(DaysFromCivil(1970, 1, 1) == 0);
static_assert(CivilFromDays(DaysFromCivil(2024, 2, 29)).day == 29);

constexpr int DaysInMonth(int y, int m) {
  constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (m == 2 && y % 4 == 0 && (y % 100 != 0 || y % 400 == 0)) {
    return 29;
  }
  return days[m - 1];
}

// The digit a character stands for, or -1; for UTF-8 bytes and UTF-16 units.
template <typename Ch> int Digit(Ch c) {
  return c >= Ch('0') && c <= Ch('9') ? int(c - Ch('0')) : -1;
}

template <typename Ch> int TwoDigits(const Ch *s) {
  const int a = Digit(s[0]);
  const int b = Digit(s[1]);
  return a < 0 || b < 0 ? -1 : a * 10 + b;
}

// The Julian day of a "dd/MM/yyyy" text naming a real date, or -1.
template <typename Ch> qint64 CanonicalDate(const Ch *s, qsizetype n) {
  if (n != 10 || s[2] != Ch('/') || s[5] != Ch('/')) {
    return -1;
  }
  const int d = TwoDigits(s);
  const int m = TwoDigits(s + 3);
  const int y1 = TwoDigits(s + 6);
  const int y2 = TwoDigits(s + 8);
  if (d < 0 || m < 0 || y1 < 0 || y2 < 0) {
    return -1;
  }
  const int y = y1 * 100 + y2;
  if (y < kFirstYear || m < 1 || m > 12 || d < 1 || d > DaysInMonth(y, m)) {
    return -1;
  }
  return DaysFromCivil(y, m, d) + kJulianDayOf1970;
}

// Minutes since midnight of an "hh:mm" text from 00:00 to 23:59, or -1.
template <typename Ch> int CanonicalTime(const Ch *s, qsizetype n) {
  if (n != 5 || s[2] != Ch(':')) {
    return -1;
  }
  const int h = TwoDigits(s);
  const int m = TwoDigits(s + 3);
  if (h < 0 || m < 0 || h > 23 || m > 59) {
    return -1;
  }
  return h * 60 + m;
}

// The integer a text is the decimal form of: an optional "-", then digits
// without a leading zero ("0" alone; never "-0"), within 64 bits.
template <typename Ch> std::optional<qint64> CanonicalInteger(const Ch *s, qsizetype n) {
  const bool negative = n > 0 && s[0] == Ch('-');
  const qsizetype first = negative ? 1 : 0;
  const qsizetype digits = n - first;
  if (digits < 1 || digits > 19 || Digit(s[first]) < 0) {
    return std::nullopt;
  }
  if (s[first] == Ch('0')) {
    return digits == 1 && !negative ? std::optional<qint64>(0) : std::nullopt;
  }
  quint64 v = 0;
  for (qsizetype i = first; i < n; ++i) {
    const int digit = Digit(s[i]);
    if (digit < 0) {
      return std::nullopt;
    }
    v = v * 10 + quint64(digit); // 19 digits cannot overflow 64 unsigned bits
  }
  const quint64 limit = quint64(std::numeric_limits<qint64>::max()) + (negative ? 1 : 0);
  if (v > limit) {
    return std::nullopt;
  }
  return negative ? qint64(0 - v) : qint64(v);
}

char *WriteTwoDigits(char *out, int v) {
  out[0] = char('0' + v / 10);
  out[1] = char('0' + v % 10);
  return out + 2;
}

char *WriteInteger(char *out, int v) {
  unsigned u = unsigned(v);
  if (v < 0) {
    *out++ = '-';
    u = 0u - u;
  }
  char digits[10];
  int n = 0;
  do {
    digits[n++] = char('0' + u % 10);
    u /= 10;
  } while (u != 0);
  while (n > 0) {
    *out++ = digits[--n];
  }
  return out;
}

template <size_t N> char *WriteLiteral(char *out, const char (&text)[N]) {
  std::memcpy(out, text, N - 1);
  return out + (N - 1);
}

char *WriteDate(char *out, qint32 julianDay) {
  const Civil c = CivilFromDays(julianDay - kJulianDayOf1970);
  out = WriteTwoDigits(out, c.day);
  *out++ = '/';
  out = WriteTwoDigits(out, c.month);
  *out++ = '/';
  out = WriteTwoDigits(out, c.year / 100);
  return WriteTwoDigits(out, c.year % 100);
}

char *WriteTime(char *out, int minutes) {
  out = WriteTwoDigits(out, minutes / 60);
  *out++ = ':';
  return WriteTwoDigits(out, minutes % 60);
}

// The ASCII part of the diagnosis sentence: everything before the label,
// with two numbers of the compact range ("-32768" is the longest).
constexpr qsizetype kLongestValue = 6;
constexpr qsizetype kSentenceAsciiMax =
    qsizetype(sizeof kSentenceStart - 1) + qsizetype(sizeof kSentenceMiddle - 1) +
    qsizetype(sizeof kSentenceBeforeLabel - 1) + 2 * kLongestValue;
char *WriteSentenceStart(char *out, int s, int d) {
  out = WriteLiteral(out, kSentenceStart);
  out = WriteInteger(out, s);
  out = WriteLiteral(out, kSentenceMiddle);
  out = WriteInteger(out, d);
  return WriteLiteral(out, kSentenceBeforeLabel);
}

// Whether a text is exactly the diagnosis sentence of s and d; `label` is
// the label of their class in the text's own encoding.
template <typename Ch>
bool IsSentence(const Ch *text, qsizetype n, int s, int d, const Ch *label, qsizetype labelSize) {
  char start[kSentenceAsciiMax];
  const qsizetype k = WriteSentenceStart(start, s, d) - start;
  if (n != k + labelSize) {
    return false;
  }
  if constexpr (std::is_same_v<Ch, char>) {
    return std::memcmp(text, start, size_t(k)) == 0 &&
           std::memcmp(text + k, label, size_t(labelSize)) == 0;
  } else {
    for (qsizetype i = 0; i < k; ++i) {
      if (text[i] != Ch(start[i])) {
        return false;
      }
    }
    return std::equal(label, label + labelSize, text + k);
  }
}

bool FitsValue(qint64 v) {
  return v >= std::numeric_limits<qint16>::min() && v <= std::numeric_limits<qint16>::max();
}

} // namespace

static_assert(sizeof(Reading) <= 24, "a reading held as numbers stays this small");

Reading::Reading(const Reading &other)
    : day_(other.day_), values_(other.values_), minutes_(other.minutes_), kinds_(other.kinds_),
      class_(other.class_),
      texts_(other.texts_ ? std::make_unique<Texts>(*other.texts_) : nullptr) {}

Reading::Reading(Reading &&other) noexcept
    : day_(other.day_), values_(other.values_), minutes_(other.minutes_), kinds_(other.kinds_),
      class_(other.class_), texts_(std::move(other.texts_)) {
  other.reset();
}

void Reading::copyNumbers(const Reading &other) {
  day_ = other.day_;
  values_ = other.values_;
  minutes_ = other.minutes_;
  kinds_ = other.kinds_;
  class_ = other.class_;
}

Reading &Reading::operator=(Reading &&other) noexcept {
  if (this != &other) {
    copyNumbers(other);
    texts_ = std::move(other.texts_);
    other.reset();
  }
  return *this;
}

void Reading::reset() {
  day_ = 0;
  values_ = {};
  minutes_ = 0;
  kinds_ = 0;
  class_ = 0;
  texts_.reset();
}

Reading &Reading::operator=(const Reading &other) {
  if (this != &other) {
    copyNumbers(other);
    if (other.texts_) {
      texts_ = std::make_unique<Texts>(*other.texts_);
    } else {
      texts_.reset();
    }
  }
  return *this;
}

const QString Reading::operator[](int cell) const {
  if (cell < 0 || cell >= kCellCount) {
    return QString();
  }
  switch (kind(cell)) {
  case Kind::Empty:
    return QString();
  case Kind::Text:
    return texts_->cells[size_t(cell)];
  case Kind::Number:
    break;
  }
  if (cell == Diagnosis) {
    char start[kSentenceAsciiMax];
    const char *end = WriteSentenceStart(start, values_[0], values_[1]);
    QString sentence = QString::fromLatin1(start, end - start);
    sentence += ClassLabel(BpClass(class_));
    return sentence;
  }
  char buffer[16];
  const char *end = writeUtf8(cell, buffer);
  return QString::fromLatin1(buffer, end - buffer);
}

void Reading::set(int cell, const QString &text) {
  if (cell < 0 || cell >= kCellCount) {
    return;
  }
  // The diagnosis sentence is held against the pressures: it keeps its text
  // when one of them changes (and is held as a class again if it matches).
  if ((cell == Systolic || cell == Diastolic) && kind(Diagnosis) != Kind::Empty) {
    const QString sentence = (*this)[Diagnosis];
    assign(cell, text);
    assign(Diagnosis, sentence);
    return;
  }
  assign(cell, text);
}

void Reading::assign(int cell, const QString &text) {
  dropText(cell);
  clearNumber(cell);
  if (text.isEmpty()) {
    return;
  }
  const char16_t *s = reinterpret_cast<const char16_t *>(text.utf16());
  const qsizetype n = text.size();
  bool canonical = false;
  switch (cell) {
  case Date:
    if (const qint64 day = CanonicalDate(s, n); day >= 0) {
      day_ = qint32(day);
      canonical = true;
    }
    break;
  case Time:
    if (const int m = CanonicalTime(s, n); m >= 0) {
      minutes_ = quint16(m);
      canonical = true;
    }
    break;
  case Systolic:
  case Diastolic:
  case Pulse:
    if (const auto v = CanonicalInteger(s, n); v && FitsValue(*v)) {
      values_[size_t(cell - Systolic)] = qint16(*v);
      canonical = true;
    }
    break;
  case Diagnosis:
    if (kind(Systolic) == Kind::Number && kind(Diastolic) == Kind::Number) {
      const BpClass c = ClassOf(values_[0], values_[1]);
      const QString label = ClassLabel(c);
      if (IsSentence(s, n, values_[0], values_[1],
                     reinterpret_cast<const char16_t *>(label.utf16()), label.size())) {
        class_ = quint8(c);
        canonical = true;
      }
    }
    break;
  }
  if (canonical) {
    setKind(cell, Kind::Number);
  } else {
    storeText(cell, text);
  }
}

bool Reading::assignCanonicalUtf8(int cell, QByteArrayView bytes) {
  if (kind(cell) != Kind::Empty) {
    dropText(cell);
    clearNumber(cell);
  }
  if (bytes.isEmpty()) {
    return true;
  }
  const char *s = bytes.data();
  const qsizetype n = bytes.size();
  switch (cell) {
  case Date:
    if (const qint64 day = CanonicalDate(s, n); day >= 0) {
      day_ = qint32(day);
      break;
    }
    return false;
  case Time:
    if (const int m = CanonicalTime(s, n); m >= 0) {
      minutes_ = quint16(m);
      break;
    }
    return false;
  case Systolic:
  case Diastolic:
  case Pulse:
    if (const auto v = CanonicalInteger(s, n); v && FitsValue(*v)) {
      values_[size_t(cell - Systolic)] = qint16(*v);
      break;
    }
    return false;
  case Diagnosis:
    if (kind(Systolic) == Kind::Number && kind(Diastolic) == Kind::Number) {
      const BpClass c = ClassOf(values_[0], values_[1]);
      const QByteArrayView label = ClassLabelUtf8(c);
      if (IsSentence(s, n, values_[0], values_[1], label.data(), label.size())) {
        class_ = quint8(c);
        break;
      }
    }
    return false;
  default:
    return true;
  }
  setKind(cell, Kind::Number);
  return true;
}

void Reading::storeText(int cell, QString text) {
  if (text.isEmpty()) {
    return; // an empty cell needs no text
  }
  if (!texts_) {
    texts_ = std::make_unique<Texts>();
  }
  texts_->cells[size_t(cell)] = std::move(text);
  setKind(cell, Kind::Text);
}

void Reading::dropText(int cell) {
  if (kind(cell) != Kind::Text) {
    return;
  }
  setKind(cell, Kind::Empty);
  if ((kinds_ & kTextBits) == 0) {
    texts_.reset();
  } else {
    texts_->cells[size_t(cell)] = QString();
  }
}

void Reading::clearNumber(int cell) {
  if (kind(cell) != Kind::Number) {
    return;
  }
  setKind(cell, Kind::Empty);
  switch (cell) {
  case Date:
    day_ = 0;
    break;
  case Time:
    minutes_ = 0;
    break;
  case Diagnosis:
    class_ = 0;
    break;
  default:
    values_[size_t(cell - Systolic)] = 0;
    break;
  }
}

qint64 Reading::valueOfOther(int cell) const {
  if (cell < 0 || cell >= kCellCount) {
    return 0;
  }
  switch (kind(cell)) {
  case Kind::Empty:
    return 0;
  case Kind::Text:
    return ParseLeadingInteger(texts_->cells[size_t(cell)]);
  case Kind::Number:
    break;
  }
  // What ParseLeadingInteger reads from the canonical texts: the day of
  // "dd/MM/yyyy", the hour of "hh:mm", the integer, and no digit at the
  // start of the sentence.
  switch (cell) {
  case Date:
    return CivilFromDays(day_ - kJulianDayOf1970).day;
  case Time:
    return minutes_ / 60;
  case Diagnosis:
    return 0;
  default:
    return values_[size_t(cell - Systolic)];
  }
}

std::optional<QDate> Reading::date() const {
  if (kind(Date) != Kind::Number) {
    return std::nullopt;
  }
  return QDate::fromJulianDay(day_);
}

std::optional<int> Reading::minutes() const {
  if (kind(Time) != Kind::Number) {
    return std::nullopt;
  }
  return int(minutes_);
}

std::optional<qint64> Reading::number(int cell) const {
  if (cell < Systolic || cell > Pulse) {
    return std::nullopt;
  }
  switch (kind(cell)) {
  case Kind::Number:
    return values_[size_t(cell - Systolic)];
  case Kind::Text: {
    // Canonical integers too large for the compact field are held as text.
    const QString &text = texts_->cells[size_t(cell)];
    return CanonicalInteger(reinterpret_cast<const char16_t *>(text.utf16()), text.size());
  }
  case Kind::Empty:
    break;
  }
  return std::nullopt;
}

bool Reading::sameKeyCells(const Reading &other) const {
  for (int cell = Date; cell <= Pulse; ++cell) {
    const Kind k = kind(cell);
    if (k != other.kind(cell)) {
      return false; // a canonical text is always held as its number
    }
    if (k == Kind::Text && texts_->cells[size_t(cell)] != other.texts_->cells[size_t(cell)]) {
      return false;
    }
  }
  return day_ == other.day_ && minutes_ == other.minutes_ && values_ == other.values_;
}

size_t Reading::hashKeyCells(size_t seed) const {
  seed = qHashMulti(seed, kinds_ & 0x3FFu, day_, minutes_, values_[0], values_[1], values_[2]);
  if (texts_) {
    for (int cell = Date; cell <= Pulse; ++cell) {
      if (kind(cell) == Kind::Text) {
        seed = qHash(texts_->cells[size_t(cell)], seed);
      }
    }
  }
  return seed;
}

bool Reading::operator==(const Reading &other) const {
  for (int cell = 0; cell < kCellCount; ++cell) {
    const Kind k = kind(cell);
    if (k != other.kind(cell)) {
      if ((*this)[cell] != other[cell]) {
        return false;
      }
      continue;
    }
    switch (k) {
    case Kind::Empty:
      break;
    case Kind::Text:
      if (texts_->cells[size_t(cell)] != other.texts_->cells[size_t(cell)]) {
        return false;
      }
      break;
    case Kind::Number:
      // Equal pressures give equal sentences, so held diagnoses are equal.
      if ((cell == Date && day_ != other.day_) || (cell == Time && minutes_ != other.minutes_) ||
          (cell >= Systolic && cell <= Pulse &&
           values_[size_t(cell - Systolic)] != other.values_[size_t(cell - Systolic)])) {
        return false;
      }
      break;
    }
  }
  return true;
}

qsizetype Reading::utf8SizeBound(int cell) const {
  switch (kind(cell)) {
  case Kind::Empty:
    return 0;
  case Kind::Text:
    return texts_->cells[size_t(cell)].size() * 3; // at most 3 bytes per UTF-16 unit
  case Kind::Number:
    break;
  }
  switch (cell) {
  case Date:
    return 10;
  case Time:
    return 5;
  case Diagnosis:
    return kSentenceAsciiMax + ClassLabelUtf8(BpClass(class_)).size();
  default:
    return kLongestValue;
  }
}

char *Reading::writeUtf8(int cell, char *out) const {
  switch (kind(cell)) {
  case Kind::Empty:
    return out;
  case Kind::Text: {
    const QString &text = texts_->cells[size_t(cell)];
    const char16_t *s = reinterpret_cast<const char16_t *>(text.utf16());
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n && s[i] < 0x80) {
      ++i;
    }
    if (i == n) {
      for (qsizetype k = 0; k < n; ++k) {
        out[k] = char(s[k]);
      }
      return out + n;
    }
    const QByteArray utf8 = text.toUtf8();
    std::memcpy(out, utf8.constData(), size_t(utf8.size()));
    return out + utf8.size();
  }
  case Kind::Number:
    break;
  }
  switch (cell) {
  case Date:
    return WriteDate(out, day_);
  case Time:
    return WriteTime(out, minutes_);
  case Diagnosis: {
    out = WriteSentenceStart(out, values_[0], values_[1]);
    const QByteArrayView label = ClassLabelUtf8(BpClass(class_));
    std::memcpy(out, label.data(), size_t(label.size()));
    return out + label.size();
  }
  default:
    return WriteInteger(out, values_[size_t(cell - Systolic)]);
  }
}

namespace {

// Two digits of `n` (0 to 99) at `out`.
void PutTwoDigits(QChar *out, int n) {
  out[0] = QChar(u'0' + n / 10);
  out[1] = QChar(u'0' + n % 10);
}

} // namespace

Reading MakeReadingFromValues(QDate date, int minutes, qint64 s, qint64 d, qint64 p) {
  Reading r;
  // A date of four-digit year, a time within the day and values of the
  // compact range: the cells' texts would all be canonical, so the numbers
  // are stored as setting those texts would store them.
  constexpr qint64 kFirstFourDigitDay = DaysFromCivil(1000, 1, 1) + kJulianDayOf1970;
  constexpr qint64 kLastFourDigitDay = DaysFromCivil(9999, 12, 31) + kJulianDayOf1970;
  const qint64 day = date.toJulianDay();
  if (date.isValid() && day >= kFirstFourDigitDay && day <= kLastFourDigitDay && minutes >= 0 &&
      minutes < 24 * 60 && FitsValue(s) && FitsValue(d) && FitsValue(p)) {
    r.day_ = qint32(day);
    r.minutes_ = quint16(minutes);
    r.values_ = {qint16(s), qint16(d), qint16(p)};
    r.class_ = quint8(ClassOf(s, d));
    for (int cell = 0; cell < Reading::kCellCount; ++cell) {
      r.setKind(cell, Reading::Kind::Number);
    }
    return r;
  }
  if (date.isValid() && date.year() >= 1000 && date.year() <= 9999) {
    // "dd/MM/yyyy" by hand: the same text as QDate::toString, many times faster.
    QString text(10, u'/');
    QChar *c = text.data();
    PutTwoDigits(c, date.day());
    PutTwoDigits(c + 3, date.month());
    PutTwoDigits(c + 6, date.year() / 100);
    PutTwoDigits(c + 8, date.year() % 100);
    r.set(Reading::Date, text);
  } else {
    r.set(Reading::Date, date.toString(QStringLiteral("dd/MM/yyyy")));
  }
  if (minutes >= 0 && minutes < 24 * 60) {
    QString text(5, u':');
    PutTwoDigits(text.data(), minutes / 60);
    PutTwoDigits(text.data() + 3, minutes % 60);
    r.set(Reading::Time, text);
  }
  r.set(Reading::Systolic, QString::number(s));
  r.set(Reading::Diastolic, QString::number(d));
  r.set(Reading::Pulse, QString::number(p));
  r.set(Reading::Diagnosis, DiagnosisSentence(s, d));
  return r;
}

} // namespace tl
