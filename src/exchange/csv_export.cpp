#include "exchange/csv_export.h"

#include "measurements/period_list_model.h"

#include <algorithm>
#include <array>
#include <cstring>
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

namespace {

// Writes a cell's text at `p` as CsvField would (room for twice its bound
// plus two quotes); returns the end of what it wrote.
char *WriteCell(const Reading &r, int cell, char *p) {
  char *end = r.writeUtf8(cell, p);
  const QByteArrayView written(p, end - p);
  if (!written.contains(';') && !written.contains('"') && !written.contains('\r') &&
      !written.contains('\n')) {
    return end;
  }
  const QByteArray quoted = CsvField(r[cell]);
  std::memcpy(p, quoted.constData(), size_t(quoted.size()));
  return p + quoted.size();
}

} // namespace

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

  // Sized once for the longest text each row can give (every cell quoted
  // and its quotes doubled), written in place, then cut to what was written.
  std::array<QByteArray, 4> periodNames;
  for (DayPeriod period : kAllPeriods) {
    periodNames[size_t(PeriodIndex(period))] = PeriodInfo(period).name.toUtf8();
  }
  const QByteArrayView head = "\xEF\xBB\xBF";
  qsizetype bound = head.size() + qsizetype(sizeof kCsvHeader) + 2;
  for (const Row &row : rows) {
    bound += 24 + periodNames[size_t(PeriodIndex(row.period))].size() + 7 + 2;
    for (int c = 0; c < Reading::kCellCount; ++c) {
      bound += 2 * row.reading->utf8SizeBound(c) + 2;
    }
  }
  QByteArray out;
  out.resize(bound);
  char *p = out.data();
  const auto put = [&p](QByteArrayView bytes) {
    std::memcpy(p, bytes.data(), size_t(bytes.size()));
    p += bytes.size();
  };
  put(head);
  put(kCsvHeader);
  put("\r\n");
  const QDate firstFourDigitDay(1000, 1, 1), lastFourDigitDay(9999, 12, 31);
  for (const Row &row : rows) {
    const Reading &r = *row.reading;
    if (row.date && *row.date >= firstFourDigitDay && *row.date <= lastFourDigitDay) {
      // yyyy-MM-dd, as Qt::ISODate writes it.
      int y = 0, m = 0, d = 0;
      row.date->getDate(&y, &m, &d); // one calendar conversion, not three
      const char digits[] = {char('0' + y / 1000),
                             char('0' + y / 100 % 10),
                             char('0' + y / 10 % 10),
                             char('0' + y % 10),
                             '-',
                             char('0' + m / 10),
                             char('0' + m % 10),
                             '-',
                             char('0' + d / 10),
                             char('0' + d % 10)};
      put(QByteArrayView(digits, sizeof digits));
    } else if (row.date) {
      put(row.date->toString(Qt::ISODate).toUtf8());
    } else {
      p = WriteCell(r, Reading::Date, p);
    }
    for (int cell : {int(Reading::Time), -1, int(Reading::Systolic), int(Reading::Diastolic),
                     int(Reading::Pulse), int(Reading::Diagnosis)}) {
      *p++ = ';';
      if (cell < 0) {
        put(periodNames[size_t(PeriodIndex(row.period))]);
      } else {
        p = WriteCell(r, cell, p);
      }
    }
    put("\r\n");
  }
  out.truncate(p - out.constData());
  if (count) {
    *count = qsizetype(rows.size());
  }
  return out;
}

} // namespace tl
