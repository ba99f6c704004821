#include "exchange/csv_export.h"

#include "measurements/period_list_model.h"

#include <algorithm>
#include <vector>

namespace tl {

QByteArray CsvField(QStringView text) {
  const bool quoted =
      text.contains(u';') || text.contains(u'"') || text.contains(u'\r') || text.contains(u'\n');
  if (!quoted) {
    return text.toUtf8();
  }
  QString doubled = text.toString();
  doubled.replace(QStringLiteral("\""), QStringLiteral("\"\""));
  return '"' + doubled.toUtf8() + '"';
}

QByteArray ExportCsv(const PeriodLists &lists, std::optional<QDate> from, std::optional<QDate> to,
                     qsizetype *count) {
  struct Row {
    const Reading *reading;
    DayPeriod period;
    std::optional<QDate> date;
    int minutes;
  };
  std::vector<Row> rows;
  for (DayPeriod period : kAllPeriods) {
    for (const Reading &r : lists.list(period).readings()) {
      const std::optional<QDate> date = r.date();
      if ((from || to) && (!date || (from && *date < *from) || (to && *date > *to))) {
        continue;
      }
      rows.push_back({&r, period, date, r.minutes().value_or(24 * 60)});
    }
  }
  // By date, then time; a cell that is no date after every dated reading.
  std::stable_sort(rows.begin(), rows.end(), [](const Row &a, const Row &b) {
    if (a.date.has_value() != b.date.has_value()) {
      return a.date.has_value();
    }
    if (a.date && *a.date != *b.date) {
      return *a.date < *b.date;
    }
    return a.minutes < b.minutes;
  });

  QByteArray out("\xEF\xBB\xBF");
  out.append(kCsvHeader);
  out.append("\r\n");
  for (const Row &row : rows) {
    const Reading &r = *row.reading;
    out.append(row.date ? row.date->toString(Qt::ISODate).toUtf8() : CsvField(r[Reading::Date]));
    for (const QString &field :
         {r[Reading::Time], PeriodInfo(row.period).name, r[Reading::Systolic],
          r[Reading::Diastolic], r[Reading::Pulse], r[Reading::Diagnosis]}) {
      out.append(';');
      out.append(CsvField(field));
    }
    out.append("\r\n");
  }
  if (count) {
    *count = qsizetype(rows.size());
  }
  return out;
}

} // namespace tl
