#include "exchange/csv_import.h"

#include "exchange/csv_reader.h"
#include "measurements/classification.h"
#include "measurements/period_list_model.h"

#include <QLocale>
#include <cmath>

namespace tl {

namespace {

// Lower case, no accents, no surrounding blanks.
QString Folded(const QString &name) {
  QString decomposed = name.trimmed().toLower().normalized(QString::NormalizationForm_D);
  QString out;
  for (QChar c : decomposed) {
    if (c.category() != QChar::Mark_NonSpacing) {
      out += c;
    }
  }
  return out;
}

ColumnRole RoleOfName(const QString &name) {
  const QString n = Folded(name);
  const bool date = n.contains(QStringLiteral("date")) || n == QStringLiteral("jour") ||
                    n == QStringLiteral("day");
  const bool time = n.contains(QStringLiteral("heure")) || n.contains(QStringLiteral("time")) ||
                    n.contains(QStringLiteral("hour"));
  if (n.contains(QStringLiteral("timestamp")) || (date && time)) {
    return ColumnRole::DateTime;
  }
  if (date) {
    return ColumnRole::Date;
  }
  if (time) {
    return ColumnRole::Time;
  }
  if (n.startsWith(QStringLiteral("diag"))) {
    return ColumnRole::Ignore; // "Diagnostic" is no diastolic value
  }
  if (n.startsWith(QStringLiteral("sys"))) {
    return ColumnRole::Systolic;
  }
  if (n.startsWith(QStringLiteral("dia"))) {
    return ColumnRole::Diastolic;
  }
  if (n.startsWith(QStringLiteral("pul")) || n.startsWith(QStringLiteral("pouls")) ||
      n == QStringLiteral("bpm") || n == QStringLiteral("fc") ||
      n.contains(QStringLiteral("heart"))) {
    return ColumnRole::Pulse;
  }
  return ColumnRole::Ignore;
}

// A whole number and nothing else (blanks around it allowed).
std::optional<qint64> WholeNumber(QStringView text) {
  text = text.trimmed();
  if (text.isEmpty() || text.size() > 18) {
    return std::nullopt;
  }
  for (QChar c : text) {
    if (c < u'0' || c > u'9') {
      return std::nullopt;
    }
  }
  return text.toLongLong();
}

// The date, time and three values of a reading packed in one number; none
// when a cell is no canonical number (such a reading cannot match one an
// import makes, which are canonical throughout).
std::optional<quint64> ReadingKey(const Reading &r) {
  const std::optional<QDate> date = r.date();
  const std::optional<int> minutes = r.minutes();
  const std::optional<qint64> s = r.number(Reading::Systolic);
  const std::optional<qint64> d = r.number(Reading::Diastolic);
  const std::optional<qint64> p = r.number(Reading::Pulse);
  const auto fits = [](const std::optional<qint64> &v) { return v && *v >= 0 && *v < 512; };
  if (!date || !minutes || !fits(s) || !fits(d) || !fits(p) || date->toJulianDay() < 0 ||
      date->toJulianDay() >= (qint64(1) << 26)) {
    return std::nullopt;
  }
  return (quint64(date->toJulianDay()) << 38) | (quint64(*minutes) << 27) | (quint64(*s) << 18) |
         (quint64(*d) << 9) | quint64(*p);
}

// A character of a text or a byte of plain ASCII, as a UTF-16 unit.
char16_t Unit(QChar c) { return c.unicode(); }
char16_t Unit(char c) { return char16_t(uchar(c)); }

// Two decimal digits at `text[at]`, or -1.
template <typename View> int TwoDigits(View text, qsizetype at) {
  const char16_t a = Unit(text[at]), b = Unit(text[at + 1]);
  if (a < u'0' || a > u'9' || b < u'0' || b > u'9') {
    return -1;
  }
  return (a - u'0') * 10 + (b - u'0');
}

// "dd/MM/yyyy", "dd.MM.yyyy" and "yyyy-MM-dd" read by hand (the common
// forms, by far); nothing for any other text.
template <typename View> std::optional<QDate> FastDate(View text) {
  if (text.size() != 10) {
    return std::nullopt;
  }
  const auto at = [&text](qsizetype i) { return Unit(text[i]); };
  int y1, y2, m, d;
  if ((at(2) == u'/' && at(5) == u'/') || (at(2) == u'.' && at(5) == u'.')) {
    d = TwoDigits(text, 0), m = TwoDigits(text, 3), y1 = TwoDigits(text, 6),
    y2 = TwoDigits(text, 8);
  } else if (at(4) == u'-' && at(7) == u'-') {
    y1 = TwoDigits(text, 0), y2 = TwoDigits(text, 2), m = TwoDigits(text, 5),
    d = TwoDigits(text, 8);
  } else {
    return std::nullopt;
  }
  if (y1 < 0 || y2 < 0 || m < 0 || d < 0) {
    return std::nullopt;
  }
  const QDate date(y1 * 100 + y2, m, d);
  return date.isValid() ? std::optional<QDate>(date) : std::nullopt;
}

// The period of a time of day, as PeriodOfTime gives it for "hh:mm".
DayPeriod PeriodOfMinutes(int minutes) {
  if (minutes <= 6 * 60) {
    return DayPeriod::Nuit;
  }
  if (minutes <= 12 * 60) {
    return DayPeriod::Matin;
  }
  return minutes <= 18 * 60 ? DayPeriod::Jour : DayPeriod::Soir;
}

// "hh:mm" read by hand: minutes since midnight, or -1.
template <typename View> int FastMinutes(View text) {
  if (text.size() != 5 || Unit(text[2]) != u':') {
    return -1;
  }
  const int h = TwoDigits(text, 0), m = TwoDigits(text, 3);
  return h >= 0 && h < 24 && m >= 0 && m < 60 ? h * 60 + m : -1;
}

// The blanks QStringView::trimmed removes, among ASCII bytes.
QByteArrayView TrimmedAscii(QByteArrayView bytes) {
  const auto blank = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
  qsizetype from = 0, to = bytes.size();
  while (from < to && blank(bytes[from])) {
    ++from;
  }
  while (to > from && blank(bytes[to - 1])) {
    --to;
  }
  return bytes.sliced(from, to - from);
}

// What the checks read from a field: from its text, or from its bytes, the
// common forms straight from the bytes (ASCII, read as the same text) and
// any other through the text. Blanks around a field of other bytes (a
// no-break space) are left to the text.
std::optional<QDate> DateOf(const QString &field) { return ParseImportDate(field); }
std::optional<QDate> DateOf(QByteArrayView field) {
  if (const std::optional<QDate> date = FastDate(TrimmedAscii(field))) {
    return date;
  }
  return ParseImportDate(DecodeCsvField(field));
}

std::optional<int> MinutesOf(const QString &field) {
  if (const std::optional<QTime> time = ParseImportTime(field)) {
    return time->hour() * 60 + time->minute();
  }
  return std::nullopt;
}
std::optional<int> MinutesOf(QByteArrayView field) {
  if (const int minutes = FastMinutes(TrimmedAscii(field)); minutes >= 0) {
    return minutes;
  }
  return MinutesOf(DecodeCsvField(field));
}

std::optional<QDateTime> DateTimeOf(const QString &field) { return ParseImportDateTime(field); }
std::optional<QDateTime> DateTimeOf(QByteArrayView field) {
  return ParseImportDateTime(DecodeCsvField(field));
}

// What exports write for a value they do not have.
bool IsNoValue(QStringView text) {
  for (const char *none : {"-", "--", "null", "n/a", "nan"}) {
    if (text.compare(QLatin1StringView(none), Qt::CaseInsensitive) == 0) {
      return true;
    }
  }
  return false;
}

bool IsBlank(const QString &field) {
  const QStringView text = QStringView(field).trimmed();
  return text.isEmpty() || IsNoValue(text);
}
bool IsBlank(QByteArrayView field) {
  const QByteArrayView rest = TrimmedAscii(field);
  const bool ascii = std::all_of(rest.begin(), rest.end(), [](char c) { return uchar(c) < 0x80; });
  return rest.isEmpty() || (ascii && rest.size() <= 4 && IsNoValue(QString::fromLatin1(rest))) ||
         (!ascii && IsBlank(DecodeCsvField(field)));
}

// A value: a whole number, or a decimal one with a point or a comma
// ("120.0", "120,5"), blanks around it allowed.
std::optional<double> DecimalNumber(QStringView text) {
  text = text.trimmed();
  if (text.isEmpty() || text.size() > 18) {
    return std::nullopt;
  }
  qsizetype point = -1;
  for (qsizetype i = 0; i < text.size(); ++i) {
    const QChar c = text[i];
    if ((c == u'.' || c == u',') && point < 0 && i > 0 && i + 1 < text.size()) {
      point = i;
    } else if (c < u'0' || c > u'9') {
      return std::nullopt;
    }
  }
  QString number = text.toString();
  if (point >= 0) {
    number[point] = u'.';
  }
  return QLocale::c().toDouble(number);
}

std::optional<double> NumberOf(const QString &field) { return DecimalNumber(field); }
std::optional<double> NumberOf(QByteArrayView field) {
  const QByteArrayView digits = TrimmedAscii(field);
  if (digits.isEmpty() || digits.size() > 18) {
    return NumberOf(DecodeCsvField(field));
  }
  qint64 v = 0;
  for (const char c : digits) {
    if (c < '0' || c > '9') {
      return NumberOf(DecodeCsvField(field));
    }
    v = v * 10 + (c - '0');
  }
  return double(v);
}

// The list a "Période" cell names (case and accents aside), or none.
std::optional<DayPeriod> PeriodOf(const QString &field) {
  const QString name = Folded(field);
  for (DayPeriod period : kAllPeriods) {
    if (name == Folded(PeriodInfo(period).name)) {
      return period;
    }
  }
  return std::nullopt;
}
std::optional<DayPeriod> PeriodOf(QByteArrayView field) {
  // The names as the export writes them, read from the bytes.
  static const std::array<QByteArray, 4> kNames = [] {
    std::array<QByteArray, 4> names;
    for (DayPeriod period : kAllPeriods) {
      names[size_t(PeriodIndex(period))] = PeriodInfo(period).name.toUtf8();
    }
    return names;
  }();
  const QByteArrayView name = TrimmedAscii(field);
  for (DayPeriod period : kAllPeriods) {
    if (name.compare(kNames[size_t(PeriodIndex(period))], Qt::CaseInsensitive) == 0) {
      return period;
    }
  }
  return PeriodOf(DecodeCsvField(field));
}

// A spreadsheet's line of averages or totals ("Moyenne", "Total").
bool IsTotalsField(const QString &field) {
  const QString n = Folded(field);
  for (const char *word : {"moyenne", "moy.", "total", "somme", "average", "mean"}) {
    if (n.startsWith(QLatin1StringView(word))) {
      return true;
    }
  }
  return false;
}
bool IsTotalsField(QByteArrayView field) { return IsTotalsField(DecodeCsvField(field)); }

// One mmHg is 133.322 Pa.
constexpr double kMmHgPerKPa = 7.50062;

} // namespace

QString ColumnRoleText(ColumnRole role) {
  switch (role) {
  case ColumnRole::Date:
    return QStringLiteral("Date");
  case ColumnRole::Time:
    return QStringLiteral("Heure");
  case ColumnRole::DateTime:
    return QStringLiteral("Date et heure");
  case ColumnRole::Systolic:
    return QStringLiteral("Systolique");
  case ColumnRole::Diastolic:
    return QStringLiteral("Diastolique");
  case ColumnRole::Pulse:
    return QStringLiteral("Pouls");
  case ColumnRole::Period:
    return QStringLiteral("Période");
  case ColumnRole::TimeZone:
    return QStringLiteral("Fuseau horaire");
  case ColumnRole::Ignore:
    break;
  }
  return QStringLiteral("Ignorer");
}

bool ColumnMapping::complete() const {
  const bool when = roles.contains(ColumnRole::DateTime) ||
                    (roles.contains(ColumnRole::Date) && roles.contains(ColumnRole::Time));
  return when && roles.contains(ColumnRole::Systolic) && roles.contains(ColumnRole::Diastolic) &&
         (roles.contains(ColumnRole::Pulse) || !format.isEmpty());
}

std::optional<QDate> ParseImportDate(QStringView text) {
  text = text.trimmed();
  if (const std::optional<QDate> date = FastDate(text)) {
    return date;
  }
  for (const char *mask : {"dd/MM/yyyy", "yyyy-MM-dd", "dd.MM.yyyy", "d/M/yyyy", "d.M.yyyy"}) {
    const QDate date = QDate::fromString(text.toString(), QString::fromLatin1(mask));
    if (date.isValid()) {
      return date;
    }
  }
  return std::nullopt;
}

std::optional<QTime> ParseImportTime(QStringView text) {
  text = text.trimmed();
  if (const int minutes = FastMinutes(text); minutes >= 0) {
    return QTime(minutes / 60, minutes % 60); // "hh:mm" by hand, the common form
  }
  for (const char *mask : {"HH:mm", "H:mm", "HH:mm:ss", "H:mm:ss"}) {
    const QTime time = QTime::fromString(text.toString(), QString::fromLatin1(mask));
    if (time.isValid()) {
      return time;
    }
  }
  return std::nullopt;
}

std::optional<QDateTime> ParseImportDateTime(QStringView text) {
  text = text.trimmed();
  if (const std::optional<qint64> number = WholeNumber(text)) {
    // Unix time: milliseconds from 10^11 on (that is after 1973 in
    // milliseconds, after the year 5000 in seconds).
    const qint64 ms = *number >= 100000000000LL ? *number : *number * 1000;
    return QDateTime::fromMSecsSinceEpoch(ms).toLocalTime();
  }
  QString iso = text.toString();
  iso.replace(u' ', u'T');
  QDateTime at = QDateTime::fromString(iso, Qt::ISODate);
  if (at.isValid()) {
    // Without an offset the time is local already; with one it is converted.
    return at.timeSpec() == Qt::LocalTime ? at : at.toLocalTime();
  }
  const qsizetype blank = text.indexOf(u' ');
  if (blank > 0) {
    const std::optional<QDate> date = ParseImportDate(text.first(blank));
    const std::optional<QTime> time = ParseImportTime(text.sliced(blank + 1));
    if (date && time) {
      return QDateTime(*date, *time);
    }
  }
  return std::nullopt;
}

ColumnMapping GuessMapping(const QStringList &first) {
  ColumnMapping mapping;
  for (const QString &name : first) {
    mapping.roles.append(RoleOfName(name));
  }
  mapping.header = std::any_of(mapping.roles.begin(), mapping.roles.end(),
                               [](ColumnRole r) { return r != ColumnRole::Ignore; });
  if (mapping.header) {
    return mapping;
  }
  // No names: a date (and time) first, then the first three whole numbers
  // are the systolic, diastolic and pulse values.
  mapping.roles.fill(ColumnRole::Ignore);
  const ColumnRole values[] = {ColumnRole::Systolic, ColumnRole::Diastolic, ColumnRole::Pulse};
  int nextValue = 0;
  for (qsizetype i = 0; i < first.size(); ++i) {
    const QString &field = first[i];
    if (nextValue == 0 && !WholeNumber(field) && ParseImportDateTime(field)) {
      mapping.roles[i] = ColumnRole::DateTime;
    } else if (nextValue == 0 && ParseImportDate(field)) {
      mapping.roles[i] = ColumnRole::Date;
    } else if (nextValue == 0 && ParseImportTime(field)) {
      mapping.roles[i] = ColumnRole::Time;
    } else if (nextValue < 3 && WholeNumber(field)) {
      mapping.roles[i] = values[nextValue++];
    }
  }
  return mapping;
}

CsvImport::CsvImport(const PeriodLists &existing, ColumnMapping mapping)
    : mapping_(std::move(mapping)), skipPending_(mapping_.skipRecords + (mapping_.header ? 1 : 0)) {
  for (DayPeriod period : kAllPeriods) {
    for (const Reading &r : existing.list(period).readings()) {
      if (const std::optional<quint64> key = ReadingKey(r)) {
        seen_.insert(*key);
      }
    }
  }
}

void CsvImport::add(const QStringList &fields, qint64 line) {
  addFields(std::span<const QString>(fields.constData(), size_t(fields.size())), line);
}

void CsvImport::addPlain(std::span<const QByteArrayView> fields, qint64 line) {
  addFields(fields, line);
}

template <typename Field> void CsvImport::addFields(std::span<const Field> fields, qint64 line) {
  if (skipPending_ > 0) {
    --skipPending_;
    return;
  }
  // A row of empty cells (a spreadsheet's blank line) holds nothing.
  if (!fields.empty() &&
      std::all_of(fields.begin(), fields.end(), [](const Field &f) { return IsBlank(f); })) {
    return;
  }
  std::optional<QDate> date;
  std::optional<DayPeriod> period;
  std::optional<int> time; // minutes since midnight
  std::array<std::optional<qint64>, 3> values;
  std::array<bool, 3> present{};
  QString problem;
  const Field none{};
  for (qsizetype i = 0; i < mapping_.roles.size() && problem.isEmpty(); ++i) {
    const Field &field = size_t(i) < fields.size() ? fields[size_t(i)] : none;
    switch (mapping_.roles[i]) {
    case ColumnRole::Date:
      if (!(date = DateOf(field))) {
        problem = QStringLiteral("date illisible");
      }
      break;
    case ColumnRole::Time:
      if (!(time = MinutesOf(field))) {
        problem = QStringLiteral("heure illisible");
      }
      break;
    case ColumnRole::DateTime:
      if (const std::optional<QDateTime> at = DateTimeOf(field)) {
        date = at->date();
        time = at->time().hour() * 60 + at->time().minute();
      } else {
        problem = QStringLiteral("date et heure illisibles");
      }
      break;
    case ColumnRole::Systolic:
    case ColumnRole::Diastolic:
    case ColumnRole::Pulse: {
      const int v = int(mapping_.roles[i]) - int(ColumnRole::Systolic);
      static const char *const kUnreadable[] = {"systolique illisible", "diastolique illisible",
                                                "pouls illisible"};
      static const char *const kMissing[] = {"systolique manquante", "diastolique manquante",
                                             "pouls absent"};
      present[size_t(v)] = true;
      if (IsBlank(field)) {
        problem = QString::fromLatin1(kMissing[v]);
      } else if (const std::optional<double> read = NumberOf(field); read && *read < 1e15) {
        // Pressures named as kPa converted (never the pulse); then rounded
        // half away from zero.
        const bool kPa = v < 2 && mapping_.kPaColumns.contains(i);
        values[size_t(v)] = std::llround(kPa ? *read * kMmHgPerKPa : *read);
      } else {
        problem = QString::fromLatin1(kUnreadable[v]);
      }
      break;
    }
    case ColumnRole::Period:
      period = PeriodOf(field);
      break;
    case ColumnRole::TimeZone:
    case ColumnRole::Ignore:
      break;
    }
  }
  if (problem.isEmpty()) {
    if (!date) {
      problem = QStringLiteral("date manquante");
    } else if (!time) {
      problem = QStringLiteral("heure manquante");
    } else if (!present[0] || !present[1]) {
      problem = QStringLiteral("valeur manquante");
    } else if (!present[2]) {
      problem = QStringLiteral("pouls absent"); // an export without pulse column
    }
  }
  if (!date &&
      std::any_of(fields.begin(), fields.end(), [](const Field &f) { return IsTotalsField(f); })) {
    problem = QStringLiteral("ligne de moyenne ou de total, pas un relevé");
  }
  if (!problem.isEmpty()) {
    reject(QStringLiteral("ligne %1").arg(line), problem);
    return;
  }
  if (const char *refused = accept(*date, *time, *values[0], *values[1], *values[2], period)) {
    reject(QStringLiteral("ligne %1").arg(line), QString::fromLatin1(refused));
  }
}

void CsvImport::reject(const QString &place, const QString &reason) {
  ++rejected_;
  if (reasons_.size() < 20) {
    reasons_ << place + QStringLiteral(" : ") + reason;
  }
}

void CsvImport::rejectLines(qint64 first, qint64 last, const QString &reason) {
  for (qint64 line = first; line <= last; ++line) {
    reject(QStringLiteral("ligne %1").arg(line), reason);
  }
}

void CsvImport::addReading(const QDate &date, int minutes, qint64 s, qint64 d, qint64 p,
                           const QString &place) {
  if (const char *refused = accept(date, minutes, s, d, p)) {
    reject(place, QString::fromLatin1(refused));
  }
}

const char *CsvImport::accept(const QDate &date, int minutes, qint64 s, qint64 d, qint64 p,
                              std::optional<DayPeriod> period) {
  if (s < 50 || s > 300 || d < 30 || d > 200 || p < 25 || p > 250 || d >= s) {
    return "valeurs invraisemblables";
  }
  if (minutes < 0 || minutes >= 24 * 60 || date.year() < 1000 || date.year() > 9999) {
    return "date et heure illisibles";
  }
  // Values in range and a date of four-digit year: the key always exists.
  const quint64 key = (quint64(date.toJulianDay()) << 38) | (quint64(minutes) << 27) |
                      (quint64(s) << 18) | (quint64(d) << 9) | quint64(p);
  if (seen_.contains(key)) {
    ++duplicates_;
    return nullptr;
  }
  seen_.insert(key);
  accepted_[size_t(PeriodIndex(period.value_or(PeriodOfMinutes(minutes))))].push_back(
      MakeReadingFromValues(date, minutes, s, d, p));
  ++imported_;
  return nullptr;
}

QString CsvImport::summary() const {
  QStringList lines;
  lines << QStringLiteral("%1 relevés importés, %2 doublons ignorés, %3 lignes rejetées.")
               .arg(imported_)
               .arg(duplicates_)
               .arg(rejected_);
  lines += reasons_;
  return lines.join(u'\n');
}

} // namespace tl
