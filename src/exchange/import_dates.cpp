#include "exchange/import_dates.h"

#include "common/wall_clock.h"
#include "exchange/csv_reader.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace tl {

namespace {

// The Julian day of 1970-01-01 and of Excel's day 0.
constexpr qint64 kEpochDay = 2440588;
const QDate kExcelDayZero(1899, 12, 30);
// Excel's serial of 9999-12-31: a larger number is no Excel date.
constexpr qint64 kLastSerial = 2958465;

// A character of a text or a byte of ASCII, as a UTF-16 unit.
char16_t Unit(QChar c) { return c.unicode(); }
char16_t Unit(char c) { return char16_t(uchar(c)); }

bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }
bool IsBlank(char16_t c) { return c == u' ' || c == u'\t' || c == 0xA0; }
// What may stand between the parts of a date written with a month name.
bool IsDateSeparator(char16_t c) {
  return IsBlank(c) || c == u',' || c == u'.' || c == u'-' || c == u'/';
}

qint64 FloorDiv(qint64 a, qint64 b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

bool IsAscii(QByteArrayView bytes) {
  uchar any = 0;
  for (const char c : bytes) {
    any |= uchar(c);
  }
  return any < 0x80;
}

// Whether the folded name (ended by 0) is `candidate`.
bool SameName(const char *candidate, const char *name) {
  for (; *candidate && *candidate == *name; ++candidate, ++name) {
  }
  return *candidate == *name;
}

// Up to `max` digits at `*at`: their value, their count in `*count`.
template <typename View> qint64 Digits(View t, qsizetype *at, int max, int *count) {
  qint64 v = 0;
  int n = 0;
  while (*at < t.size() && n < max && IsDigit(Unit(t[*at]))) {
    v = v * 10 + (Unit(t[*at]) - u'0');
    ++*at;
    ++n;
  }
  *count = n;
  return v;
}

template <typename View> qsizetype Skip(View t, qsizetype at, bool (*what)(char16_t)) {
  while (at < t.size() && what(Unit(t[at]))) {
    ++at;
  }
  return at;
}

// "a/b/c" with one of "/", "." or "-" twice, at `at`.
struct NumericDate {
  int a = 0, b = 0, c = 0;
  int na = 0, nb = 0, nc = 0; // digit counts
  qsizetype end = 0;
};
template <typename View> std::optional<NumericDate> NumericDateAt(View t, qsizetype at) {
  NumericDate n;
  n.a = int(Digits(t, &at, 4, &n.na));
  if (n.na == 0 || at >= t.size()) {
    return std::nullopt;
  }
  const char16_t sep = Unit(t[at]);
  if (sep != u'/' && sep != u'.' && sep != u'-') {
    return std::nullopt;
  }
  ++at;
  n.b = int(Digits(t, &at, 2, &n.nb));
  if (n.nb == 0 || at >= t.size() || Unit(t[at]) != sep) {
    return std::nullopt;
  }
  ++at;
  n.c = int(Digits(t, &at, 4, &n.nc));
  if (n.nc == 0 || (at < t.size() && IsDigit(Unit(t[at])))) {
    return std::nullopt;
  }
  n.end = at;
  return n;
}

// A letter folded to lower-case ASCII (accents dropped), or 0.
char FoldedLetter(char16_t c) {
  if (c >= u'a' && c <= u'z') {
    return char(c);
  }
  if (c >= u'A' && c <= u'Z') {
    return char(c - u'A' + u'a');
  }
  switch (c) {
  case 0xE9:
  case 0xE8:
  case 0xEA:
  case 0xEB:
  case 0xC9:
  case 0xC8:
  case 0xCA:
  case 0xCB:
    return 'e';
  case 0xFB:
  case 0xF9:
  case 0xFC:
  case 0xDB:
  case 0xD9:
  case 0xDC:
    return 'u';
  case 0xF4:
  case 0xD4:
    return 'o';
  case 0xE0:
  case 0xE2:
  case 0xC0:
  case 0xC2:
    return 'a';
  case 0xEE:
  case 0xEF:
  case 0xCE:
  case 0xCF:
    return 'i';
  case 0xE7:
  case 0xC7:
    return 'c';
  default:
    return 0;
  }
}

// Month names in French and English, full and abbreviated, folded, by
// month.
constexpr const char *kMonthNames[12][5] = {
    {"jan", "janv", "janvier", "january", nullptr},
    {"fev", "fevr", "fevrier", "feb", "february"},
    {"mar", "mars", "march", nullptr, nullptr},
    {"avr", "avril", "apr", "april", nullptr},
    {"mai", "may", nullptr, nullptr, nullptr},
    {"juin", "jun", "june", nullptr, nullptr},
    {"juil", "juillet", "jul", "july", nullptr},
    {"aou", "aout", "aug", "august", nullptr},
    {"sep", "sept", "septembre", "september", nullptr},
    {"oct", "octobre", "october", nullptr, nullptr},
    {"nov", "novembre", "november", nullptr, nullptr},
    {"dec", "decembre", "december", nullptr, nullptr},
};

constexpr quint32 Prefix(const char *p) {
  return quint32(uchar(p[0])) << 16 | quint32(uchar(p[1])) << 8 | uchar(p[2]);
}

// The months whose names start with these three letters (two for "jui").
std::pair<int, int> MonthsOfPrefix(quint32 prefix) {
  switch (prefix) {
  case Prefix("jan"):
    return {1, 0};
  case Prefix("fev"):
  case Prefix("feb"):
    return {2, 0};
  case Prefix("mar"):
    return {3, 0};
  case Prefix("avr"):
  case Prefix("apr"):
    return {4, 0};
  case Prefix("mai"):
  case Prefix("may"):
    return {5, 0};
  case Prefix("jun"):
    return {6, 0};
  case Prefix("jui"):
    return {6, 7};
  case Prefix("jul"):
    return {7, 0};
  case Prefix("aou"):
  case Prefix("aug"):
    return {8, 0};
  case Prefix("sep"):
    return {9, 0};
  case Prefix("oct"):
    return {10, 0};
  case Prefix("nov"):
    return {11, 0};
  case Prefix("dec"):
    return {12, 0};
  default:
    return {0, 0};
  }
}

// The month named by the letters at `*at` (moved past them), or 0.
template <typename View> int MonthAt(View t, qsizetype *at) {
  char name[16];
  int n = 0;
  qsizetype i = *at;
  for (; i < t.size(); ++i) {
    const char c = FoldedLetter(Unit(t[i]));
    if (!c) {
      break;
    }
    if (n == 15) {
      return 0;
    }
    name[n++] = c;
  }
  if (n < 3) {
    return 0;
  }
  name[n] = 0;
  const auto [first, second] = MonthsOfPrefix(Prefix(name));
  for (const int month : {first, second}) {
    if (month == 0) {
      break;
    }
    for (const char *candidate : kMonthNames[month - 1]) {
      if (candidate && SameName(candidate, name)) {
        *at = i;
        return month;
      }
    }
  }
  return 0;
}

// A day of the month with its ordinal ending ("1er", "2nd", "8th"), or -1.
template <typename View> int DayAt(View t, qsizetype *at) {
  int n = 0;
  const int day = int(Digits(t, at, 2, &n));
  if (n == 0 || (*at < t.size() && IsDigit(Unit(t[*at])))) {
    return -1;
  }
  if (*at + 1 < t.size()) {
    const char a = FoldedLetter(Unit(t[*at])), b = FoldedLetter(Unit(t[*at + 1]));
    const bool end = *at + 2 == t.size() || !FoldedLetter(Unit(t[*at + 2]));
    if (end && ((a == 'e' && b == 'r') || (a == 's' && b == 't') || (a == 'n' && b == 'd') ||
                (a == 'r' && b == 'd') || (a == 't' && b == 'h'))) {
      *at += 2;
    }
  }
  return day;
}

// A date at `at` (invalid when none); where it ends in `*end`.
template <typename View> QDate DateAt(View t, qsizetype at, DateOrder order, qsizetype *end) {
  if (const std::optional<NumericDate> n = NumericDateAt(t, at)) {
    int y, m, d;
    if (n->na == 4 && n->nc <= 2) {
      y = n->a, m = n->b, d = n->c;
    } else if ((n->nc == 4 || n->nc == 2) && n->na <= 2) {
      // A two-digit year is of 2000 to 2099 ("03/05/24").
      y = n->nc == 2 ? 2000 + n->c : n->c;
      m = order == DateOrder::DayMonth ? n->b : n->a;
      d = order == DateOrder::DayMonth ? n->a : n->b;
    } else {
      return {};
    }
    const QDate date(y, m, d);
    if (!date.isValid()) {
      return {};
    }
    *end = n->end;
    return date;
  }
  // "Dec 08 2026", "December 8, 2026" or "8 déc. 2026", "08-Dec-2026".
  qsizetype i = at;
  int day, month;
  if ((month = MonthAt(t, &i))) {
    const qsizetype from = i;
    i = Skip(t, i, IsDateSeparator);
    if (i == from || (day = DayAt(t, &i)) < 0) {
      return {};
    }
  } else {
    if ((day = DayAt(t, &i)) < 0) {
      return {};
    }
    const qsizetype from = i;
    i = Skip(t, i, IsDateSeparator);
    if (i == from || !(month = MonthAt(t, &i))) {
      return {};
    }
  }
  const qsizetype from = i;
  i = Skip(t, i, IsDateSeparator);
  int n = 0;
  const int year = int(Digits(t, &i, 4, &n));
  if (i == from || n != 4 || (i < t.size() && IsDigit(Unit(t[i])))) {
    return {};
  }
  const QDate date(year, month, day);
  if (!date.isValid()) {
    return {};
  }
  *end = i;
  return date;
}

// Excel serial days, with or without a fraction ("46364", "46364.3368",
// "46364,3368"), the whole text.
template <typename View> bool SerialOf(View t, qint64 *days, double *fraction) {
  qsizetype at = 0;
  int n = 0;
  *days = Digits(t, &at, 7, &n);
  if (n == 0 || *days < 1 || *days > kLastSerial) {
    return false;
  }
  *fraction = 0;
  if (at < t.size() && (Unit(t[at]) == u'.' || Unit(t[at]) == u',')) {
    ++at;
    double scale = 0.1;
    int digits = 0;
    while (at < t.size() && IsDigit(Unit(t[at])) && digits < 15) {
      *fraction += scale * (Unit(t[at]) - u'0');
      scale /= 10;
      ++at;
      ++digits;
    }
    if (digits == 0) {
      return false;
    }
  }
  return at == t.size();
}

// A time at `at`: minutes since midnight, or -1; where it ends in `*end`.
template <typename View> int MinutesAt(View t, qsizetype at, qsizetype *end) {
  int n = 0;
  const int h = int(Digits(t, &at, 2, &n));
  if (n == 0 || at >= t.size() || Unit(t[at]) != u':') {
    return -1;
  }
  ++at;
  const int m = int(Digits(t, &at, 2, &n));
  if (n != 2 || m > 59) {
    return -1;
  }
  if (at < t.size() && Unit(t[at]) == u':') {
    ++at;
    const int s = int(Digits(t, &at, 2, &n));
    if (n != 2 || s > 59) {
      return -1;
    }
    if (at + 1 < t.size() && Unit(t[at]) == u'.' && IsDigit(Unit(t[at + 1]))) {
      at = Skip(t, at + 1, IsDigit);
    }
  }
  // "AM", "pm", "a.m.": a 12-hour clock.
  qsizetype i = Skip(t, at, IsBlank);
  const char half = i < t.size() ? FoldedLetter(Unit(t[i])) : 0;
  if (half == 'a' || half == 'p') {
    ++i;
    if (i < t.size() && Unit(t[i]) == u'.') {
      ++i;
    }
    if (i >= t.size() || FoldedLetter(Unit(t[i])) != 'm') {
      return -1;
    }
    ++i;
    if (i < t.size() && Unit(t[i]) == u'.') {
      ++i;
    }
    if (i < t.size() && FoldedLetter(Unit(t[i]))) {
      return -1;
    }
    if (h < 1 || h > 12) {
      return -1;
    }
    *end = i;
    return ((h % 12) + (half == 'p' ? 12 : 0)) * 60 + m;
  }
  if (h > 23) {
    return -1;
  }
  *end = at;
  return h * 60 + m;
}

// A UTC offset, the whole text from `at`: "Z", "UTC", "GMT", "+02:00",
// "+0200", "+2", "UTC+1", "GMT-05:00".
template <typename View> std::optional<int> OffsetOf(View t, qsizetype at) {
  if (at < t.size() && t.size() - at >= 3) {
    const char a = FoldedLetter(Unit(t[at])), b = FoldedLetter(Unit(t[at + 1])),
               c = FoldedLetter(Unit(t[at + 2]));
    if ((a == 'u' && b == 't' && c == 'c') || (a == 'g' && b == 'm' && c == 't')) {
      at = Skip(t, at + 3, IsBlank);
      if (at == t.size()) {
        return 0;
      }
    }
  }
  if (at + 1 == t.size() && (Unit(t[at]) == u'Z' || Unit(t[at]) == u'z')) {
    return 0;
  }
  if (at >= t.size()) {
    return std::nullopt;
  }
  const char16_t sign = Unit(t[at]);
  if (sign != u'+' && sign != u'-' && sign != 0x2212) {
    return std::nullopt;
  }
  at = Skip(t, at + 1, IsBlank);
  int n = 0;
  const int h = int(Digits(t, &at, 2, &n));
  int m = 0;
  if (n == 0) {
    return std::nullopt;
  }
  if (at < t.size()) {
    const bool colon = Unit(t[at]) == u':';
    if (!colon && n != 2) {
      return std::nullopt;
    }
    at += colon ? 1 : 0;
    m = int(Digits(t, &at, 2, &n));
    if (n != 2 || at != t.size()) {
      return std::nullopt;
    }
  }
  if (h > 14 || m > 59 || h * 60 + m > 14 * 60) {
    return std::nullopt;
  }
  const int seconds = (h * 60 + m) * 60;
  return sign == u'+' ? seconds : -seconds;
}

// A zone cell's offset written as a signed whole number: hours up to 14,
// minutes up to 14 hours ("-240"), or seconds ("-18000"), each in steps of
// a quarter of an hour beyond the hours.
template <typename View> std::optional<int> NumericOffsetOf(View t) {
  qsizetype at = 0;
  const bool negative = at < t.size() && (Unit(t[at]) == u'-' || Unit(t[at]) == 0x2212);
  if (negative || (at < t.size() && Unit(t[at]) == u'+')) {
    ++at;
  }
  int n = 0;
  const qint64 v = Digits(t, &at, 6, &n);
  if (n == 0 || at != t.size()) {
    return std::nullopt;
  }
  qint64 seconds = -1;
  if (v <= 14) {
    seconds = v * 3600;
  } else if (v <= 14 * 60 && v % 15 == 0) {
    seconds = v * 60;
  } else if (v <= 14 * 3600 && v % 900 == 0) {
    seconds = v;
  }
  if (seconds < 0) {
    return std::nullopt;
  }
  return int(negative ? -seconds : seconds);
}

template <typename View> DateOrderHint HintOf(View t) {
  const std::optional<NumericDate> n = NumericDateAt(t, 0);
  if (!n || (n->nc != 4 && n->nc != 2) || n->na > 2 || n->a < 1 || n->b < 1) {
    return DateOrderHint::None;
  }
  if (n->end < t.size() && !IsBlank(Unit(t[n->end])) && Unit(t[n->end]) != u'T' &&
      Unit(t[n->end]) != u',') {
    return DateOrderHint::None;
  }
  if (n->a > 12 && n->b > 12) {
    return DateOrderHint::None;
  }
  if (n->a > 12) {
    return n->a <= 31 ? DateOrderHint::DayMonth : DateOrderHint::None;
  }
  if (n->b > 12) {
    return n->b <= 31 ? DateOrderHint::MonthDay : DateOrderHint::None;
  }
  return DateOrderHint::Ambiguous;
}

// The date of the whole text, or an invalid one.
template <typename View> QDate DateOf(View t, DateOrder order, bool serial) {
  qsizetype end = 0;
  if (const QDate date = DateAt(t, 0, order, &end); date.isValid() && end == t.size()) {
    return date;
  }
  qint64 days;
  double fraction;
  if (serial && SerialOf(t, &days, &fraction)) {
    return kExcelDayZero.addDays(days);
  }
  return {};
}

std::optional<QDate> Valid(const QDate &date) {
  return date.isValid() ? std::optional<QDate>(date) : std::nullopt;
}

template <typename View> int MinutesOf(View t) {
  qsizetype end = 0;
  const int minutes = MinutesAt(t, 0, &end);
  return minutes >= 0 && end == t.size() ? minutes : -1;
}

template <typename View> std::optional<ImportWhen> WhenOf(View t, DateOrder order, bool serial) {
  ImportWhen when;
  // A number: Excel serial days (where the column says date, by range) or
  // Unix time.
  qsizetype at = 0;
  int n = 0;
  const qint64 number = Digits(t, &at, 18, &n);
  if (n > 0 && at == t.size() && !(serial && number <= kLastSerial)) {
    // Milliseconds from 10^11 on (after 1973 in milliseconds, after the
    // year 5000 in seconds).
    when.kind = ImportWhen::Kind::Instant;
    when.epochSeconds = number >= 100000000000LL ? number / 1000 : number;
    return when;
  }
  qint64 days;
  double fraction;
  if (serial && SerialOf(t, &days, &fraction)) {
    const qint64 minutes = std::llround(fraction * 1440);
    when.date = kExcelDayZero.addDays(days + minutes / 1440);
    when.minutes = int(minutes % 1440);
    return when;
  }
  qsizetype end = 0;
  const QDate date = DateAt(t, 0, order, &end);
  if (!date.isValid() || end == t.size()) {
    return std::nullopt;
  }
  // "T", blanks, a comma or "à" between the date and the time.
  at = end;
  if (Unit(t[at]) == u'T') {
    ++at;
  } else {
    at = Skip(t, at, [](char16_t c) { return IsBlank(c) || c == u','; });
    if (at + 1 < t.size() && Unit(t[at]) == 0xE0 && IsBlank(Unit(t[at + 1]))) {
      at = Skip(t, at + 1, IsBlank);
    }
  }
  const int minutes = MinutesAt(t, at, &end);
  if (minutes < 0) {
    return std::nullopt;
  }
  when.date = date;
  when.minutes = minutes;
  if (end < t.size()) {
    const std::optional<int> offset = OffsetOf(t, Skip(t, end, IsBlank));
    if (!offset) {
      return std::nullopt;
    }
    when.kind = ImportWhen::Kind::Offset;
    when.offsetSeconds = *offset;
  }
  return when;
}

qint64 WallSeconds(const ImportWhen &when) {
  return (when.date.toJulianDay() - kEpochDay) * 86400 + qint64(when.minutes) * 60;
}

} // namespace

QString DateOrderText(DateOrder order) {
  return order == DateOrder::DayMonth ? QStringLiteral("jour/mois") : QStringLiteral("mois/jour");
}

DateOrderHint DateOrderHintOf(QStringView text) { return HintOf(text.trimmed()); }
DateOrderHint DateOrderHintOf(QByteArrayView bytes) {
  return IsAscii(bytes) ? HintOf(bytes.trimmed()) : DateOrderHintOf(DecodeCsvField(bytes));
}

bool DateOrderDecision::add(DateOrderHint hint, qint64 at) {
  if (decided()) {
    return true;
  }
  switch (hint) {
  case DateOrderHint::None:
    return basis == Basis::NoDates && ++others >= kOtherFormsLooked;
  case DateOrderHint::Ambiguous:
    basis = Basis::AllAmbiguous;
    break;
  case DateOrderHint::DayMonth:
  case DateOrderHint::MonthDay:
    order = hint == DateOrderHint::DayMonth ? DateOrder::DayMonth : DateOrder::MonthDay;
    basis = Basis::Date;
    line = at;
    return true;
  }
  return false;
}

std::optional<QDate> ParseImportDate(QStringView text, DateOrder order, bool serial) {
  return Valid(DateOf(text.trimmed(), order, serial));
}

std::optional<QTime> ParseImportTime(QStringView text) {
  const int minutes = MinutesOf(text.trimmed());
  return minutes < 0 ? std::nullopt : std::optional<QTime>(QTime(minutes / 60, minutes % 60));
}

std::optional<ImportWhen> ParseImportWhen(QStringView text, DateOrder order, bool serial) {
  text = text.trimmed();
  if (std::optional<ImportWhen> when = WhenOf(text, order, serial)) {
    return when;
  }
  // The other ISO 8601 forms Qt reads ("2026-03-02", week dates).
  QString iso = text.toString();
  iso.replace(u' ', u'T');
  const QDateTime at = QDateTime::fromString(iso, Qt::ISODate);
  if (!at.isValid()) {
    return std::nullopt;
  }
  ImportWhen when;
  when.date = at.date();
  when.minutes = at.time().hour() * 60 + at.time().minute();
  if (at.timeSpec() != Qt::LocalTime) {
    when.kind = ImportWhen::Kind::Offset;
    when.offsetSeconds = at.offsetFromUtc();
  }
  return when;
}

std::optional<QDateTime> ParseImportDateTime(QStringView text, DateOrder order, bool serial) {
  std::optional<ImportWhen> when = ParseImportWhen(text, order, serial);
  if (!when) {
    return std::nullopt;
  }
  LocalTimeConverter().toLocal(*when);
  return QDateTime(when->date, QTime(when->minutes / 60, when->minutes % 60));
}

std::optional<QDate> ParseImportDateAscii(QByteArrayView ascii, DateOrder order, bool serial) {
  return IsAscii(ascii) ? Valid(DateOf(ascii.trimmed(), order, serial)) : std::nullopt;
}

int ParseImportMinutesAscii(QByteArrayView ascii) {
  return IsAscii(ascii) ? MinutesOf(ascii.trimmed()) : -1;
}

std::optional<ImportWhen> ParseImportWhenAscii(QByteArrayView ascii, DateOrder order, bool serial) {
  return IsAscii(ascii) ? WhenOf(ascii.trimmed(), order, serial) : std::nullopt;
}

std::optional<ImportZone> ParseImportZone(QStringView text) {
  text = text.trimmed();
  if (const std::optional<int> offset = OffsetOf(text, 0)) {
    return ImportZone{true, *offset, {}};
  }
  if (const std::optional<int> offset = NumericOffsetOf(text)) {
    return ImportZone{true, *offset, {}};
  }
  // Only the names of the zone list: a cell is never taken for a path.
  const QByteArray id = text.toLatin1();
  const bool plain = !text.isEmpty() && text.size() <= 64 && !id.contains("..") &&
                     std::all_of(text.begin(), text.end(), [](QChar c) {
                       return (c.isLetterOrNumber() && c.unicode() < 0x80) || c == u'/' ||
                              c == u'_' || c == u'-' || c == u'+';
                     });
  if (!plain || !QTimeZone::isTimeZoneIdAvailable(id)) {
    return std::nullopt;
  }
  const QTimeZone zone(id);
  if (!zone.isValid()) {
    return std::nullopt;
  }
  return ImportZone{false, 0, zone};
}

std::optional<ImportZone> ParseImportZoneAscii(QByteArrayView ascii) {
  if (!IsAscii(ascii)) {
    return std::nullopt;
  }
  if (const std::optional<int> offset = OffsetOf(ascii.trimmed(), 0)) {
    return ImportZone{true, *offset, {}};
  }
  if (const std::optional<int> offset = NumericOffsetOf(ascii.trimmed())) {
    return ImportZone{true, *offset, {}};
  }
  return std::nullopt;
}

int LocalTimeConverter::Offsets::at(qint64 seconds) {
  if (seconds >= from && seconds < to) {
    return offset;
  }
  if (!zone.isValid()) {
    zone = ComputerTimeZone();
  }
  // The offset holds from the transition before to the one after.
  const QDateTime utc = QDateTime::fromSecsSinceEpoch(seconds, Qt::UTC);
  offset = zone.offsetFromUtc(utc);
  from = std::numeric_limits<qint64>::min();
  to = std::numeric_limits<qint64>::max();
  if (zone.hasTransitions()) {
    const QTimeZone::OffsetData before = zone.previousTransition(utc.addSecs(1));
    const QTimeZone::OffsetData after = zone.nextTransition(utc);
    if (before.atUtc.isValid()) {
      from = before.atUtc.toSecsSinceEpoch();
    }
    if (after.atUtc.isValid()) {
      to = after.atUtc.toSecsSinceEpoch();
    }
    if (from > seconds || to <= seconds) {
      from = to = seconds; // transitions that do not frame it: asked each time
    }
  } else {
    from = to = seconds;
  }
  return offset;
}

bool LocalTimeConverter::toWallClock(ImportWhen &when, const ImportZone *zone, bool utcTimes) {
  if (when.kind != ImportWhen::Kind::Instant && !when.date.isValid()) {
    return false; // no day to convert: the caller refuses the reading
  }
  const qint64 written = when.date.isValid() ? WallSeconds(when) : 0;
  // The instant, when the cell or the file tells it.
  std::optional<qint64> utc;
  switch (when.kind) {
  case ImportWhen::Kind::Local:
    if (utcTimes) {
      utc = written;
    }
    break;
  case ImportWhen::Kind::Offset:
    utc = written - when.offsetSeconds;
    break;
  case ImportWhen::Kind::Instant:
    utc = when.epochSeconds;
    break;
  }
  // The offset of the place: the zone column's, else a cell's own offset;
  // one of zero ("UTC", "Z") tells the instant, not the place.
  const bool utcZone = zone && zone->fixed && zone->offsetSeconds == 0;
  if (utcZone && !utc) {
    utc = written;
  }
  std::optional<int> place;
  if (utcZone) {
    if (when.kind == ImportWhen::Kind::Offset && when.offsetSeconds != 0) {
      place = when.offsetSeconds;
    }
  } else if (zone && zone->fixed) {
    place = zone->offsetSeconds;
  } else if (zone) {
    if (named_.zone != zone->zone) {
      named_ = Offsets{zone->zone};
    }
    if (utc) {
      place = named_.at(*utc);
    } else {
      // A time written in the zone: its offset then.
      const int first = named_.at(written);
      const int second = named_.at(written - first);
      place = second;
    }
  } else if (when.kind == ImportWhen::Kind::Offset && when.offsetSeconds != 0) {
    place = when.offsetSeconds;
  }
  if (!place) {
    if (utc) {
      when.kind = ImportWhen::Kind::Instant;
      when.epochSeconds = *utc;
      toLocal(when);
    }
    when.kind = ImportWhen::Kind::Local;
    return false;
  }
  if (!utc) {
    utc = written - *place; // written at the place: kept as written
  }
  const qint64 wall = *utc + *place;
  const qint64 day = FloorDiv(wall, 86400);
  when.date = QDate::fromJulianDay(kEpochDay + day);
  when.minutes = int((wall - day * 86400) / 60);
  when.kind = ImportWhen::Kind::Local;
  return *place != local_.at(*utc);
}

void LocalTimeConverter::toLocal(ImportWhen &when, const ImportZone *zone) {
  qint64 utc = 0;
  switch (when.kind) {
  case ImportWhen::Kind::Local:
    if (!zone) {
      return;
    }
    if (zone->fixed) {
      utc = WallSeconds(when) - zone->offsetSeconds;
    } else {
      if (named_.zone != zone->zone) {
        named_ = Offsets{zone->zone};
      }
      const qint64 wall = WallSeconds(when);
      const int first = named_.at(wall);
      utc = wall - first;
      if (const int second = named_.at(utc); second != first) {
        utc = wall - second;
      }
    }
    break;
  case ImportWhen::Kind::Offset:
    utc = WallSeconds(when) - when.offsetSeconds;
    break;
  case ImportWhen::Kind::Instant:
    utc = when.epochSeconds;
    break;
  }
  const qint64 local = utc + local_.at(utc);
  const qint64 day = FloorDiv(local, 86400);
  when.date = QDate::fromJulianDay(kEpochDay + day);
  when.minutes = int((local - day * 86400) / 60);
  when.kind = ImportWhen::Kind::Local;
}

} // namespace tl
