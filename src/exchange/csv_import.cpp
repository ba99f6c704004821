#include "exchange/csv_import.h"

#include "measurements/classification.h"
#include "measurements/period_list_model.h"

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

QString Key(const Reading &r) {
  return r[Reading::Date] + u'\x1f' + r[Reading::Time] + u'\x1f' + r[Reading::Systolic] + u'\x1f' +
         r[Reading::Diastolic] + u'\x1f' + r[Reading::Pulse];
}

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
  case ColumnRole::Ignore:
    break;
  }
  return QStringLiteral("Ignorer");
}

bool ColumnMapping::complete() const {
  const bool when = roles.contains(ColumnRole::DateTime) ||
                    (roles.contains(ColumnRole::Date) && roles.contains(ColumnRole::Time));
  return when && roles.contains(ColumnRole::Systolic) && roles.contains(ColumnRole::Diastolic) &&
         roles.contains(ColumnRole::Pulse);
}

std::optional<QDate> ParseImportDate(QStringView text) {
  text = text.trimmed();
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
    : mapping_(std::move(mapping)), headerPending_(mapping_.header) {
  for (DayPeriod period : kAllPeriods) {
    for (const Reading &r : existing.list(period).readings()) {
      seen_.insert(Key(r));
    }
  }
}

void CsvImport::add(const QStringList &fields, qint64 line) {
  if (headerPending_) {
    headerPending_ = false;
    return;
  }
  std::optional<QDate> date;
  std::optional<QTime> time;
  std::array<std::optional<qint64>, 3> values;
  std::array<bool, 3> present{};
  QString problem;
  for (qsizetype i = 0; i < mapping_.roles.size() && problem.isEmpty(); ++i) {
    const QString field = fields.value(i);
    switch (mapping_.roles[i]) {
    case ColumnRole::Date:
      if (!(date = ParseImportDate(field))) {
        problem = QStringLiteral("date illisible");
      }
      break;
    case ColumnRole::Time:
      if (!(time = ParseImportTime(field))) {
        problem = QStringLiteral("heure illisible");
      }
      break;
    case ColumnRole::DateTime:
      if (const std::optional<QDateTime> at = ParseImportDateTime(field)) {
        date = at->date();
        time = at->time();
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
                                             "pouls manquant"};
      present[size_t(v)] = true;
      if (field.trimmed().isEmpty()) {
        problem = QString::fromLatin1(kMissing[v]);
      } else if (!(values[size_t(v)] = WholeNumber(field))) {
        problem = QString::fromLatin1(kUnreadable[v]);
      }
      break;
    }
    case ColumnRole::Ignore:
      break;
    }
  }
  if (problem.isEmpty()) {
    if (!date) {
      problem = QStringLiteral("date manquante");
    } else if (!time) {
      problem = QStringLiteral("heure manquante");
    } else if (!present[0] || !present[1] || !present[2]) {
      problem = QStringLiteral("valeur manquante");
    }
  }
  if (problem.isEmpty()) {
    const qint64 s = *values[0], d = *values[1], p = *values[2];
    if (s < 50 || s > 300 || d < 30 || d > 200 || p < 25 || p > 250 || d >= s) {
      problem = QStringLiteral("valeurs invraisemblables");
    }
  }
  if (!problem.isEmpty()) {
    ++rejected_;
    if (reasons_.size() < 20) {
      reasons_ << QStringLiteral("ligne %1 : %2").arg(line).arg(problem);
    }
    return;
  }
  Reading reading = MakeReadingFromValues(*date, time->hour() * 60 + time->minute(), *values[0],
                                          *values[1], *values[2]);
  const QString key = Key(reading);
  if (seen_.contains(key)) {
    ++duplicates_;
    return;
  }
  seen_.insert(key);
  const DayPeriod period = PeriodOfTime(reading[Reading::Time]);
  accepted_[size_t(PeriodIndex(period))].push_back(std::move(reading));
  ++imported_;
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
