#include "exchange/import_sink.h"

#include "exchange/import_dates.h"
#include "measurements/classification.h"
#include "measurements/period_list_model.h"

namespace tl {

namespace {

// A whole number and nothing else (blanks around it allowed).
std::optional<qint64> WholeCell(QStringView text) {
  text = text.trimmed();
  if (text.isEmpty() || text.size() > 18 ||
      !std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; })) {
    return std::nullopt;
  }
  return text.toLongLong();
}

// The date, time and three values of a reading packed in one number.
quint64 PackedKey(const QDate &date, int minutes, qint64 s, qint64 d, qint64 p) {
  return (quint64(date.toJulianDay()) << 38) | (quint64(minutes) << 27) | (quint64(s) << 18) |
         (quint64(d) << 9) | quint64(p);
}

// The key of a reading of the lists, read from its cells as an import reads
// them ("0120" is 120, "7:05" is 07:05); none when a cell cannot be read so.
std::optional<quint64> ReadingKey(const Reading &r) {
  std::optional<QDate> date = r.date();
  if (!date) {
    date = ParseImportDate(r[Reading::Date]);
  }
  std::optional<int> minutes = r.minutes();
  if (!minutes) {
    if (const std::optional<QTime> time = ParseImportTime(r[Reading::Time])) {
      minutes = time->hour() * 60 + time->minute();
    }
  }
  const auto number = [&r](int cell) {
    const std::optional<qint64> v = r.number(cell);
    return v ? v : WholeCell(r[cell]);
  };
  const std::optional<qint64> s = number(Reading::Systolic);
  const std::optional<qint64> d = number(Reading::Diastolic);
  const std::optional<qint64> p = number(Reading::Pulse);
  const auto fits = [](const std::optional<qint64> &v) { return v && *v >= 0 && *v < 512; };
  if (!date || !minutes || !fits(s) || !fits(d) || !fits(p) || date->toJulianDay() < 0 ||
      date->toJulianDay() >= (qint64(1) << 26)) {
    return std::nullopt;
  }
  return PackedKey(*date, *minutes, *s, *d, *p);
}

// "1 relevé importé" or "2 relevés importés": French takes the singular for
// 0 and 1.
QString Counted(qint64 n, const char *one, const char *many) {
  return QString::number(n) + u' ' + QString::fromUtf8(n <= 1 ? one : many);
}

} // namespace

ImportSink::ImportSink(const PeriodLists &existing) {
  for (DayPeriod period : kAllPeriods) {
    for (const Reading &r : existing.list(period).readings()) {
      if (const std::optional<quint64> key = ReadingKey(r)) {
        seen_.insert(*key);
      }
    }
  }
}

void ImportSink::reject(const QString &place, const QString &reason) {
  ++rejected_;
  lastRejection_ = reason;
  if (reasons_.size() < 20) {
    reasons_ << place + QStringLiteral(" : ") + reason;
  }
}

void ImportSink::rejectLines(qint64 first, qint64 last, const QString &reason) {
  for (qint64 line = first; line <= last; ++line) {
    reject(QStringLiteral("ligne %1").arg(line), reason);
  }
}

void ImportSink::skipLines(qint64 first, qint64 last, const QString &reason) {
  if (!skipped_.empty() && skipped_.back().reason == reason && skipped_.back().last < first) {
    skipped_.back().last = last;
    return;
  }
  skipped_.push_back({first, last, reason});
}

void ImportSink::addReading(const QDate &date, int minutes, qint64 s, qint64 d, qint64 p,
                            const QString &place, const ReadingContext &context) {
  if (const char *refused = accept(date, minutes, s, d, p, std::nullopt, context)) {
    reject(place, QString::fromLatin1(refused));
  }
}

bool ImportSink::addReading(const QDate &date, int minutes, qint64 s, qint64 d, qint64 p,
                            qint64 line, std::optional<DayPeriod> period,
                            const ReadingContext &context) {
  if (const char *refused = accept(date, minutes, s, d, p, period, context)) {
    reject(QStringLiteral("ligne %1").arg(line), QString::fromLatin1(refused));
    return false;
  }
  return true;
}

const char *ImportSink::accept(const QDate &date, int minutes, qint64 s, qint64 d, qint64 p,
                               std::optional<DayPeriod> period, const ReadingContext &context) {
  if (s < 50 || s > 300 || d < 30 || d > 200 || p < 25 || p > 250 || d >= s) {
    return "valeurs invraisemblables";
  }
  if (minutes < 0 || minutes >= 24 * 60 || date.year() < 1000 || date.year() > 9999) {
    return "date et heure illisibles";
  }
  // Values in range and a date of four-digit year: the key always exists.
  const quint64 key = PackedKey(date, minutes, s, d, p);
  const DayPeriod list = period.value_or(PeriodOfMinutes(minutes));
  const bool duplicate = seen_.contains(key);
  if (!context.isEmpty()) {
    contexts_.push_back(
        {ContextKey::of(list, MakeReadingFromValues(date, minutes, s, d, p)), context});
  }
  if (duplicate) {
    ++duplicates_;
    return nullptr;
  }
  seen_.insert(key);
  accepted_[size_t(PeriodIndex(list))].push_back(MakeReadingFromValues(date, minutes, s, d, p));
  ++imported_;
  return nullptr;
}

QString ImportSink::summary() const {
  QStringList lines;
  lines << Counted(imported_, "relevé importé", "relevés importés") + QStringLiteral(", ") +
               Counted(duplicates_, "doublon ignoré", "doublons ignorés") + QStringLiteral(", ") +
               Counted(rejected_, "ligne rejetée", "lignes rejetées") + u'.';
  if (otherOffsets_ > 0) {
    lines << (otherOffsets_ == 1
                  ? QStringLiteral("1 relevé portait un autre décalage horaire que celui de "
                                   "l'ordinateur : il est classé à l'heure de son lieu de mesure.")
                  : QStringLiteral("%1 relevés portaient un autre décalage horaire que celui de "
                                   "l'ordinateur : ils sont classés à l'heure de leur lieu de "
                                   "mesure.")
                        .arg(otherOffsets_));
  }
  lines += notes_;
  for (const Skipped &s : skipped_) {
    lines << (s.first == s.last
                  ? QStringLiteral("ligne %1 : %2").arg(s.first).arg(s.reason)
                  : QStringLiteral("lignes %1 à %2 : %3").arg(s.first).arg(s.last).arg(s.reason));
  }
  lines += reasons_;
  return lines.join(u'\n');
}

} // namespace tl
