#include "exchange/csv_import.h"

#include "exchange/csv_reader.h"
#include "exchange/import_presets.h"
#include "measurements/classification.h"
#include "measurements/period_list_model.h"

#include <QLocale>
#include <cmath>
#include <iterator>
#include <type_traits>

namespace tl {

namespace {

// The words of a header, folded: split at blanks, punctuation and
// underscores, where a lower-case letter meets an upper-case one
// ("pulsePressure") and where letters meet digits ("Pouls2").
QStringList HeaderWords(const QString &name) {
  QStringList words;
  QString word;
  QChar previous;
  for (const QChar c : name) {
    if (!c.isLetterOrNumber() && c.category() != QChar::Mark_NonSpacing) {
      if (!word.isEmpty()) {
        words << Folded(word);
        word.clear();
      }
    } else {
      if (!word.isEmpty() && c.isLetterOrNumber() &&
          ((previous.isLower() && c.isUpper()) || (previous.isDigit() != c.isDigit()))) {
        words << Folded(word);
        word.clear();
      }
      word += c;
    }
    previous = c;
  }
  if (!word.isEmpty()) {
    words << Folded(word);
  }
  return words;
}

// Whether the words hold one of `phrases` ("a b|c"), word for word.
bool HasPhrase(const QStringList &words, const char *phrases) {
  for (const QString &phrase : QString::fromLatin1(phrases).split(u'|')) {
    const QStringList wanted = phrase.split(u' ');
    for (qsizetype i = 0; i + wanted.size() <= words.size(); ++i) {
      if (std::equal(wanted.begin(), wanted.end(), words.begin() + i)) {
        return true;
      }
    }
  }
  return false;
}

// The words of each role, folded (no accents, lower case).
constexpr const char *kExcludedWords =
    "pression pulsee|pulse pressure|pulsepressure|pp|hrv|modification|modifie|modified|saisie|"
    "created|creation|updated";
constexpr const char *kTimeZoneWords =
    "fuseau|fuseau horaire|time zone|timezone|tz|utc offset|offset|decalage|decalage horaire|zone";
constexpr const char *kPeriodWords = "periode|period";
// Looked for before the values: "Pouls irrégulier" is no pulse.
constexpr const char *kIrregularWords =
    "irregulier|irreguliers|irreguliere|irregular|irregularity|irregularite|arythmie|arrhythmia|"
    "arrhythmie|"
    "ihb";
constexpr const char *kMedicationWords =
    "traitement pris|traitement|medicament|medicaments|medication|medications|medicine|"
    "treatment";
constexpr const char *kMovementWords = "mouvement|mouvements|movement|body movement|motion";
constexpr const char *kCuffWords =
    "brassard mal place|brassard decale|cuff misplaced|misplaced cuff|cuff error|"
    "cuff placement|cuff wrap|cuff fit";
constexpr const char *kOtherFlagsWords =
    "autres indications|autres indicateurs|autres mentions|other flags|other indications";
constexpr const char *kNoteWords =
    "remarque|remarques|note|notes|commentaire|commentaires|comment|comments|annotation";
constexpr const char *kDateTimeWords = "date et heure|date heure|date time|date and time|datetime|"
                                       "timestamp|time stamp|horodatage";
constexpr const char *kDateWords = "date|datum";
constexpr const char *kTimeWords = "heure|time|hour|uhrzeit|zeit";
constexpr const char *kSystolicWords =
    "systolique|systolic|sys|pas|systole|sbp|tas|pression systolique";
constexpr const char *kDiastolicWords = "diastolique|diastolic|dia|pad|diastole|dbp|tad";
constexpr const char *kPulseWords = "pouls|pulse|bpm|fc|frequence cardiaque|heart rate|heartrate|"
                                    "hr|rythme cardiaque|pulsations|pulse rate|puls";

// Each role's name in the selector and what the warning of a column
// ignored says it resembles, in the order of ColumnRole.
struct RoleTexts {
  const char *name;
  const char *resemblance;
};
constexpr RoleTexts kRoleTexts[] = {
    {"Ignorer", nullptr},
    {"Date", "à la date"},
    {"Heure", "à l'heure"},
    {"Date et heure", "à la date et l'heure"},
    {"Systolique", "à la systolique"},
    {"Diastolique", "à la diastolique"},
    {"Pouls", "au pouls"},
    {"Période", "à la période"},
    {"Fuseau horaire", "au fuseau horaire"},
    {"Remarque", "à la remarque"},
    {"Pouls irrégulier", "au pouls irrégulier"},
    {"Traitement pris", "au traitement pris"},
    {"Mouvement", "au mouvement"},
    {"Brassard décalé", "au brassard mal placé"}, // short enough for the preview's selector
    {"Autres mentions", "aux autres indications"},
};
static_assert(std::size(kRoleTexts) == size_t(ColumnRole::OtherFlags) + 1);

QString RoleResemblance(ColumnRole role) {
  const char *text = kRoleTexts[size_t(role)].resemblance;
  return text ? QString::fromUtf8(text) : QString();
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

// A byte of plain ASCII, as a UTF-16 unit.
char16_t Unit(char c) { return char16_t(uchar(c)); }

// Two decimal digits at `text[at]`, or -1.
template <typename View> int TwoDigits(View text, qsizetype at) {
  const char16_t a = Unit(text[at]), b = Unit(text[at + 1]);
  if (a < u'0' || a > u'9' || b < u'0' || b > u'9') {
    return -1;
  }
  return (a - u'0') * 10 + (b - u'0');
}

// The month of a three-letter name, English or French, any case ("Dec",
// "fév" aside: ASCII only), as the month names of ParseImportDate read it;
// 0 for any other letters.
int MonthOfThreeLetters(char16_t a, char16_t b, char16_t c) {
  const auto lower = [](char16_t x) -> quint32 {
    return x >= u'A' && x <= u'Z' ? x - u'A' + u'a' : x >= u'a' && x <= u'z' ? x : 0;
  };
  const auto key = [](const char *n) {
    return quint32(uchar(n[0])) << 16 | quint32(uchar(n[1])) << 8 | uchar(n[2]);
  };
  const quint32 k = lower(a) << 16 | lower(b) << 8 | lower(c);
  static const char *const kNames[][2] = {{"jan", nullptr}, {"feb", "fev"},   {"mar", nullptr},
                                          {"apr", "avr"},   {"may", "mai"},   {"jun", nullptr},
                                          {"jul", nullptr}, {"aug", "aou"},   {"sep", nullptr},
                                          {"oct", nullptr}, {"nov", nullptr}, {"dec", nullptr}};
  for (int m = 0; m < 12; ++m) {
    for (const char *name : kNames[m]) {
      if (name && key(name) == k) {
        return m + 1;
      }
    }
  }
  return 0;
}

// "Mmm dd yyyy" ("Dec 08 2026", OMRON connect's dates) read by hand.
template <typename View> std::optional<QDate> FastMonthNameDate(View text) {
  const auto at = [&text](qsizetype i) { return Unit(text[i]); };
  if (text.size() != 11 || at(3) != u' ' || at(6) != u' ') {
    return std::nullopt;
  }
  const int m = MonthOfThreeLetters(at(0), at(1), at(2));
  const int d = TwoDigits(text, 4), y1 = TwoDigits(text, 7), y2 = TwoDigits(text, 9);
  if (m == 0 || d < 0 || y1 < 0 || y2 < 0) {
    return std::nullopt;
  }
  const QDate date(y1 * 100 + y2, m, d);
  return date.isValid() ? std::optional<QDate>(date) : std::nullopt;
}

// "dd/MM/yyyy", "dd.MM.yyyy" (or month first, by `order`), "yyyy-MM-dd" and
// "Mmm dd yyyy" read by hand (the common forms, by far); nothing for any
// other text.
template <typename View> std::optional<QDate> FastDate(View text, DateOrder order) {
  if (text.size() == 11) {
    return FastMonthNameDate(text);
  }
  if (text.size() != 10) {
    return std::nullopt;
  }
  const auto at = [&text](qsizetype i) { return Unit(text[i]); };
  int y1, y2, m, d;
  if ((at(2) == u'/' && at(5) == u'/') || (at(2) == u'.' && at(5) == u'.')) {
    d = TwoDigits(text, 0), m = TwoDigits(text, 3), y1 = TwoDigits(text, 6),
    y2 = TwoDigits(text, 8);
    if (order == DateOrder::MonthDay) {
      std::swap(d, m);
    }
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
std::optional<QDate> DateOf(const QString &field, const ColumnMapping &m) {
  return ParseImportDate(field, m.dateOrder, m.serialDates);
}
std::optional<QDate> DateOf(QByteArrayView field, const ColumnMapping &m) {
  const QByteArrayView ascii = TrimmedAscii(field);
  if (const std::optional<QDate> date = FastDate(ascii, m.dateOrder)) {
    return date;
  }
  if (const std::optional<QDate> date = ParseImportDateAscii(ascii, m.dateOrder, m.serialDates)) {
    return date;
  }
  return DateOf(DecodeCsvField(field), m);
}

std::optional<int> MinutesOf(const QString &field) {
  if (const std::optional<QTime> time = ParseImportTime(field)) {
    return time->hour() * 60 + time->minute();
  }
  return std::nullopt;
}
std::optional<int> MinutesOf(QByteArrayView field) {
  const QByteArrayView ascii = TrimmedAscii(field);
  if (const int minutes = FastMinutes(ascii); minutes >= 0) {
    return minutes;
  }
  if (const int minutes = ParseImportMinutesAscii(ascii); minutes >= 0) {
    return minutes;
  }
  return MinutesOf(DecodeCsvField(field));
}

std::optional<ImportWhen> WhenOf(const QString &field, const ColumnMapping &m) {
  return ParseImportWhen(field, m.dateOrder, m.serialDates);
}
std::optional<ImportWhen> WhenOf(QByteArrayView field, const ColumnMapping &m) {
  if (std::optional<ImportWhen> when =
          ParseImportWhenAscii(TrimmedAscii(field), m.dateOrder, m.serialDates)) {
    return when;
  }
  return WhenOf(DecodeCsvField(field), m);
}

// The reason for a date the mapping's order cannot read: the other order's
// date, or an unreadable one.
template <typename Field>
QString DateProblem(const Field &field, DateOrder order, const char *unreadable) {
  const DateOrderHint hint = DateOrderHintOf(field);
  if ((order == DateOrder::DayMonth && hint == DateOrderHint::MonthDay) ||
      (order == DateOrder::MonthDay && hint == DateOrderHint::DayMonth)) {
    return QStringLiteral("date contraire à l'ordre %1 du fichier").arg(DateOrderText(order));
  }
  return QString::fromLatin1(unreadable);
}

// What exports write for a value they do not have.
bool IsNoValue(QStringView text) {
  static constexpr std::u16string_view kNone[] = {u"-",   u"--", u"\u2014", u"null",
                                                  u"n/a", u"na", u"nan"};
  for (const std::u16string_view none : kNone) {
    if (text.compare(QStringView(none.data(), qsizetype(none.size())), Qt::CaseInsensitive) == 0) {
      return true;
    }
  }
  return false;
}

bool IsBlank(const QString &field) {
  const QStringView text = QStringView(field).trimmed();
  return text.isEmpty() || IsNoValue(text);
}
// Read for every cell of every row: no allocation for the cells that are
// plainly values (a digit or a letter first, as nearly all are).
bool IsBlank(QByteArrayView field) {
  const QByteArrayView rest = TrimmedAscii(field);
  if (rest.isEmpty()) {
    return true;
  }
  if (uchar(rest.front()) >= 0x80) {
    // A dash or a blank of Unicode (an em dash, a no-break space): short.
    return rest.size() <= 16 && IsBlank(DecodeCsvField(field));
  }
  // The ASCII markers all begin with "-" or "n", and have four letters at most.
  if ((rest.front() != '-' && (rest.front() | 0x20) != 'n') || rest.size() > 4) {
    return false;
  }
  char folded[4];
  for (qsizetype i = 0; i < rest.size(); ++i) {
    if (uchar(rest[i]) >= 0x80) {
      return IsBlank(DecodeCsvField(field));
    }
    folded[i] = char(rest[i] | (rest[i] >= 'A' && rest[i] <= 'Z' ? 0x20 : 0));
  }
  const QByteArrayView text(folded, rest.size());
  return text == "-" || text == "--" || text == "null" || text == "n/a" || text == "na" ||
         text == "nan";
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

// The text of a note cell, as kept; none for an empty marker ("-").
QString NoteOf(const QString &field) { return IsBlank(field) ? QString() : CleanNote(field); }
QString NoteOf(QByteArrayView field) {
  return IsBlank(field) ? QString() : CleanNote(DecodeCsvField(field));
}

bool IsYes(const QString &field) { return IsYesCell(field); }
bool IsYes(QByteArrayView field) {
  // An empty cell, the usual one, is read at once.
  const QByteArrayView text = field.isEmpty() ? field : TrimmedAscii(field);
  return !text.isEmpty() && text.size() <= 4 && IsYesCell(QString::fromLatin1(text));
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

// The texts of a record's fields.
QStringList Texts(std::span<const QString> fields) {
  return QStringList(fields.begin(), fields.end());
}
QStringList Texts(std::span<const QByteArrayView> fields) {
  QStringList texts;
  texts.reserve(qsizetype(fields.size()));
  for (const QByteArrayView field : fields) {
    texts << DecodeCsvField(field);
  }
  return texts;
}

// Whether a record names columns rather than giving values: two texts at
// least, none a number, a date or a time, one naming a column's role.
bool IsHeaderRecord(const QStringList &cells) {
  int texts = 0, named = 0;
  for (const QString &cell : cells) {
    if (IsBlank(cell)) {
      continue;
    }
    if (DecimalNumber(cell) || ParseImportTime(cell) ||
        ParseImportWhen(cell, DateOrder::DayMonth) || ParseImportWhen(cell, DateOrder::MonthDay) ||
        ParseImportDate(cell, DateOrder::DayMonth) || ParseImportDate(cell, DateOrder::MonthDay)) {
      return false;
    }
    ++texts;
    named += RoleOfHeader(cell) != ColumnRole::Ignore;
  }
  return texts >= 2 && named > 0;
}

// The text of a record that is one text alone, without digits (a section's
// title, "Poids"), or none.
std::optional<QString> TitleOf(const QStringList &cells) {
  std::optional<QString> title;
  for (const QString &cell : cells) {
    if (IsBlank(cell)) {
      continue;
    }
    if (title || IsTotalsField(cell) ||
        std::any_of(cell.begin(), cell.end(), [](QChar c) { return c.isDigit(); })) {
      return std::nullopt;
    }
    title = cell.trimmed();
  }
  return title;
}

// A section's name: the first column of its header that is no role
// ("Poids (kg)"), without its unit ("Poids").
QString SectionName(const QStringList &header, const QList<ColumnRole> &roles) {
  for (qsizetype i = 0; i < header.size(); ++i) {
    const QString name = header[i].section(u'(', 0, 0).trimmed();
    if (roles.value(i) == ColumnRole::Ignore && !name.isEmpty()) {
      return name;
    }
  }
  return header.value(0).trimmed();
}

// One mmHg is 133.322 Pa.
constexpr double kMmHgPerKPa = 7.50062;

} // namespace

QString Folded(const QString &name) {
  const QString decomposed = name.trimmed().toLower().normalized(QString::NormalizationForm_D);
  QString out;
  for (QChar c : decomposed) {
    if (c.category() != QChar::Mark_NonSpacing) {
      out += c;
    }
  }
  return out;
}

QString ColumnRoleText(ColumnRole role) { return QString::fromUtf8(kRoleTexts[size_t(role)].name); }

bool IsYesCell(QStringView text) {
  text = text.trimmed();
  for (const char *yes : {"oui", "yes", "1", "true", "x"}) {
    if (text.compare(QLatin1StringView(yes), Qt::CaseInsensitive) == 0) {
      return true;
    }
  }
  return false;
}

bool ColumnMapping::complete() const {
  const bool when = roles.contains(ColumnRole::DateTime) ||
                    (roles.contains(ColumnRole::Date) && roles.contains(ColumnRole::Time));
  return when && roles.contains(ColumnRole::Systolic) && roles.contains(ColumnRole::Diastolic) &&
         (roles.contains(ColumnRole::Pulse) || !format.isEmpty());
}

ColumnRole RoleOfHeader(const QString &name) {
  const QStringList words = HeaderWords(name);
  if (words.isEmpty() || HasPhrase(words, kExcludedWords)) {
    return ColumnRole::Ignore;
  }
  if (HasPhrase(words, kTimeZoneWords)) {
    return ColumnRole::TimeZone;
  }
  if (HasPhrase(words, kPeriodWords)) {
    return ColumnRole::Period;
  }
  const bool date = HasPhrase(words, kDateWords), time = HasPhrase(words, kTimeWords);
  if (HasPhrase(words, kDateTimeWords) || (date && time)) {
    return ColumnRole::DateTime;
  }
  if (date) {
    return ColumnRole::Date;
  }
  if (time) {
    return ColumnRole::Time;
  }
  if (HasPhrase(words, kIrregularWords)) {
    return ColumnRole::Irregular;
  }
  for (const auto &[role, phrases] : {std::pair{ColumnRole::OtherFlags, kOtherFlagsWords},
                                      std::pair{ColumnRole::Medication, kMedicationWords},
                                      std::pair{ColumnRole::Movement, kMovementWords},
                                      std::pair{ColumnRole::CuffMisplaced, kCuffWords}}) {
    if (HasPhrase(words, phrases)) {
      return role;
    }
  }
  if (HasPhrase(words, kNoteWords)) {
    return ColumnRole::Note;
  }
  // One value named, or none: "Systolique/Diastolique" is no one value.
  ColumnRole found = ColumnRole::Ignore;
  int named = 0;
  for (const auto &[role, phrases] : {std::pair{ColumnRole::Systolic, kSystolicWords},
                                      std::pair{ColumnRole::Diastolic, kDiastolicWords},
                                      std::pair{ColumnRole::Pulse, kPulseWords}}) {
    if (HasPhrase(words, phrases)) {
      found = role;
      ++named;
    }
  }
  return named == 1 ? found : ColumnRole::Ignore;
}

void KeepFirstRoles(QList<ColumnRole> &roles, const QStringList *names,
                    QList<ColumnWarning> *warnings) {
  QSet<int> taken;
  const auto has = [&taken](ColumnRole r) { return taken.contains(int(r)); };
  for (qsizetype i = 0; i < roles.size(); ++i) {
    const ColumnRole role = roles[i];
    if (role == ColumnRole::Ignore) {
      continue;
    }
    // The role of the earlier column this one would steal from.
    ColumnRole earlier = ColumnRole::Ignore;
    if (has(role)) {
      earlier = role;
    } else if (role == ColumnRole::DateTime && (has(ColumnRole::Date) || has(ColumnRole::Time))) {
      earlier = has(ColumnRole::Date) ? ColumnRole::Date : ColumnRole::Time;
    } else if ((role == ColumnRole::Date || role == ColumnRole::Time) &&
               has(ColumnRole::DateTime)) {
      earlier = ColumnRole::DateTime;
    }
    if (earlier == ColumnRole::Ignore) {
      taken.insert(int(role));
      continue;
    }
    roles[i] = ColumnRole::Ignore;
    if (names && warnings) {
      warnings->append(
          {i, QStringLiteral("La colonne « %1 » ressemble aussi %2 : elle est ignorée.")
                  .arg(names->value(i).trimmed(), RoleResemblance(role))});
    }
  }
}

ColumnMapping GuessMapping(const QStringList &first, const QStringList &next) {
  ColumnMapping mapping;
  for (const QString &name : first) {
    mapping.roles.append(RoleOfHeader(name));
  }
  mapping.header = std::any_of(mapping.roles.begin(), mapping.roles.end(),
                               [](ColumnRole r) { return r != ColumnRole::Ignore; });
  if (mapping.header) {
    KeepFirstRoles(mapping.roles, &first, &mapping.warnings);
    const qsizetype date = mapping.roles.indexOf(ColumnRole::Date);
    const qsizetype dateTime = mapping.roles.indexOf(ColumnRole::DateTime);
    const qsizetype dated = date >= 0 ? date : dateTime;
    mapping.serialDates = dated >= 0 && HeaderWords(first[dated]).contains(u"date");
    // "Timestamp (GMT)", "Date (UTC)": times in UTC.
    const qsizetype time = mapping.roles.indexOf(ColumnRole::Time);
    for (const qsizetype column : {dated, time}) {
      if (column >= 0) {
        const QStringList words = HeaderWords(first[column]);
        mapping.utcTimes = mapping.utcTimes || words.contains(u"utc") || words.contains(u"gmt");
      }
    }
    // A "Date" column holding the time as well, without a time column.
    if (date >= 0 && date < next.size() && !mapping.roles.contains(ColumnRole::Time)) {
      for (DateOrder order : {DateOrder::DayMonth, DateOrder::MonthDay}) {
        // A date alone, or a whole Excel day, is no date and time.
        const bool dateOnly =
            ParseImportDate(next[date], order) || (mapping.serialDates && WholeNumber(next[date]));
        if (!dateOnly && ParseImportWhen(next[date], order, mapping.serialDates)) {
          mapping.roles[date] = ColumnRole::DateTime;
          break;
        }
      }
    }
    return mapping;
  }
  // No names: a date (and time) first, then the first three whole numbers
  // are the systolic, diastolic and pulse values.
  mapping.roles.fill(ColumnRole::Ignore);
  const ColumnRole values[] = {ColumnRole::Systolic, ColumnRole::Diastolic, ColumnRole::Pulse};
  const auto either = [](const auto &parse, const QString &field) {
    return bool(parse(field, DateOrder::DayMonth)) || bool(parse(field, DateOrder::MonthDay));
  };
  const auto date = [](const QString &f, DateOrder o) { return ParseImportDate(f, o); };
  const auto dateTime = [](const QString &f, DateOrder o) { return ParseImportWhen(f, o); };
  int nextValue = 0;
  for (qsizetype i = 0; i < first.size(); ++i) {
    const QString &field = first[i];
    if (nextValue == 0 && !WholeNumber(field) && either(dateTime, field) && !either(date, field)) {
      mapping.roles[i] = ColumnRole::DateTime;
    } else if (nextValue == 0 && either(date, field)) {
      mapping.roles[i] = ColumnRole::Date;
    } else if (nextValue == 0 && ParseImportTime(field)) {
      mapping.roles[i] = ColumnRole::Time;
    } else if (nextValue < 3 && WholeNumber(field)) {
      mapping.roles[i] = values[nextValue++];
    }
  }
  KeepFirstRoles(mapping.roles);
  return mapping;
}

CsvImport::CsvImport(const PeriodLists &existing, ColumnMapping mapping)
    : ImportSink(existing), mapping_(std::move(mapping)),
      skipPending_(mapping_.skipRecords + (mapping_.header ? 1 : 0)) {
  KeepFirstRoles(mapping_.roles);
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
  if ((section_ != Section::Readings || !header_.isEmpty() || titleLine_ > 0) &&
      !sectionRecord(Texts(fields), line)) {
    return;
  }
  std::optional<QDate> date;
  std::optional<DayPeriod> period;
  std::optional<int> time; // minutes since midnight
  ImportWhen::Kind kind = ImportWhen::Kind::Local;
  int offset = 0;
  qint64 instant = 0;
  const ImportZone *zone = nullptr;
  std::array<std::optional<qint64>, 3> values;
  std::array<bool, 3> present{};
  ReadingContext context;
  QString problem;
  const Field none{};
  for (qsizetype i = 0; i < mapping_.roles.size() && problem.isEmpty(); ++i) {
    const Field &field = size_t(i) < fields.size() ? fields[size_t(i)] : none;
    switch (mapping_.roles[i]) {
    case ColumnRole::Date:
      if (!(date = DateOf(field, mapping_)) && !IsBlank(field)) {
        problem = DateProblem(field, mapping_.dateOrder, "date illisible");
      }
      break;
    case ColumnRole::Time:
      if (!(time = MinutesOf(field)) && !IsBlank(field)) {
        problem = QStringLiteral("heure illisible");
      }
      break;
    case ColumnRole::DateTime:
      if (const std::optional<ImportWhen> at = WhenOf(field, mapping_)) {
        date = at->date;
        time = at->minutes;
        kind = at->kind;
        offset = at->offsetSeconds;
        instant = at->epochSeconds;
      } else if (!IsBlank(field)) {
        problem = DateProblem(field, mapping_.dateOrder, "date et heure illisibles");
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
    case ColumnRole::Note:
      context.note = NoteOf(field);
      break;
    case ColumnRole::Irregular:
      context.set(ContextFlag::Irregular, IsYes(field));
      break;
    case ColumnRole::Medication:
      context.set(ContextFlag::Medication, IsYes(field));
      break;
    case ColumnRole::Movement:
      context.set(ContextFlag::Movement, IsYes(field));
      break;
    case ColumnRole::CuffMisplaced:
      context.set(ContextFlag::CuffMisplaced, IsYes(field));
      break;
    case ColumnRole::OtherFlags:
      if (!field.isEmpty()) {
        context.otherFlags = NoteOf(field);
      }
      break;
    case ColumnRole::TimeZone:
      // The zone of the row before, the common case; a blank cell: the time
      // is local.
      if constexpr (std::is_same_v<Field, QByteArrayView>) {
        if (zone_ && !zoneBytes_.isEmpty() && field == zoneBytes_) {
          zone = &*zone_;
          break;
        }
      }
      if (!IsBlank(field) && !(zone = zoneOf(field))) {
        problem = QStringLiteral("fuseau horaire illisible");
      }
      break;
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
  if (!problem.isEmpty()) {
    // A header starts a section; a title may name the one under it.
    const QStringList cells = Texts(fields);
    if (IsHeaderRecord(cells)) {
      beginSection(cells, line);
      return;
    }
    if (const std::optional<QString> title = TitleOf(cells)) {
      titleLine_ = line;
      title_ = *title;
      titleProblem_ = problem;
      return;
    }
    if (!date && std::any_of(fields.begin(), fields.end(),
                             [](const Field &f) { return IsTotalsField(f); })) {
      problem = QStringLiteral("ligne de moyenne ou de total, pas un relevé");
    }
    reject(QStringLiteral("ligne %1").arg(line), problem);
    return;
  }
  // A time at an offset, a Unix time, or a time with a zone column: at the
  // clock time of its place when that is known, else in local time.
  bool otherOffset = false;
  if (kind != ImportWhen::Kind::Local || zone || mapping_.utcTimes) {
    ImportWhen when{*date, *time, kind, offset, instant};
    otherOffset = clock_.toWallClock(when, zone, mapping_.utcTimes);
    date = when.date;
    time = when.minutes;
  }
  if (addReading(*date, *time, *values[0], *values[1], *values[2], line, period, context) &&
      otherOffset) {
    addOtherOffsets(1);
  }
}

void CsvImport::beginSection(const QStringList &header, qint64 line) {
  ColumnMapping mapping = GuessFileMapping({header});
  const qint64 first = titleLine_ > 0 ? titleLine_ : line;
  const QString name = titleLine_ > 0 ? title_ : SectionName(header, mapping.roles);
  titleLine_ = 0;
  header_.clear();
  if (mapping.roles.contains(ColumnRole::Systolic) &&
      mapping.roles.contains(ColumnRole::Diastolic)) {
    section_ = Section::Readings;
    header_ = header;
    mapping.dateOrder = mapping_.dateOrder;
    mapping.dateOrderGiven = mapping_.dateOrderGiven;
    mapping_ = std::move(mapping);
    KeepFirstRoles(mapping_.roles);
    return;
  }
  section_ = Section::Skipped;
  skipReason_ =
      QStringLiteral("section « %1 » ignorée, ce ne sont pas des mesures de tension").arg(name);
  skipLines(first, line, skipReason_);
}

bool CsvImport::sectionRecord(const QStringList &cells, qint64 line) {
  if (IsHeaderRecord(cells)) {
    beginSection(cells, line);
    return false;
  }
  if (titleLine_ > 0) {
    // A text alone with no header under it: a record refused.
    reject(QStringLiteral("ligne %1").arg(titleLine_), titleProblem_);
    titleLine_ = 0;
  }
  if (section_ == Section::Skipped) {
    skipLines(line, line, skipReason_);
    return false;
  }
  if (!header_.isEmpty()) {
    // The first record under a header of readings: the mapping seen with it.
    ColumnMapping mapping = GuessFileMapping({header_, cells});
    header_.clear();
    mapping.dateOrder = mapping_.dateOrder;
    mapping.dateOrderGiven = mapping_.dateOrderGiven;
    mapping_ = std::move(mapping);
    KeepFirstRoles(mapping_.roles);
  }
  return true;
}

template <typename Field> const ImportZone *CsvImport::zoneOf(const Field &field) {
  if constexpr (std::is_same_v<Field, QByteArrayView>) {
    if (const std::optional<ImportZone> fixed = ParseImportZoneAscii(field)) {
      zone_ = fixed;
      zoneText_.clear();
      zoneBytes_ = field.toByteArray();
      return &*zone_;
    }
    zoneBytes_.clear();
    return zoneOf(DecodeCsvField(field));
  } else {
    const QString text = field.trimmed();
    if (text != zoneText_ || text.isEmpty()) {
      zoneText_ = text;
      zoneBytes_.clear();
      zone_ = ParseImportZone(text);
    }
    return zone_ ? &*zone_ : nullptr;
  }
}

} // namespace tl
