#include "series/report_data.h"

#include "measurements/context_texts.h"
#include "measurements/period_list_model.h"

#include <algorithm>

namespace tl {

SeriesLists ListsOf(const PeriodLists &lists) {
  SeriesLists out{};
  for (DayPeriod period : kAllPeriods) {
    out[size_t(PeriodIndex(period))] = &lists.list(period).readings();
  }
  return out;
}

std::optional<std::pair<QDate, QDate>> DefaultReportRange(const PeriodLists &lists) {
  std::optional<QDate> latest;
  for (DayPeriod period : kAllPeriods) {
    for (const Reading &reading : lists.list(period).readings()) {
      SeriesReading r;
      if (ReadingProblem(reading, period, &r).isEmpty() && (!latest || r.date > *latest)) {
        latest = r.date;
      }
    }
  }
  if (!latest) {
    return std::nullopt;
  }
  return std::pair{latest->addDays(-29), *latest};
}

QString MovedNote(qint64 moved) {
  if (moved <= 0) {
    return QString();
  }
  return moved == 1 ? QStringLiteral("1 mesure comptée dans la période de son heure et non dans "
                                     "celle de sa liste.")
                    : QStringLiteral("%1 mesures comptées dans la période de leur heure et non "
                                     "dans celle de leur liste.")
                          .arg(moved);
}

DoctorReportData MakeDoctorReport(const PeriodLists &lists, QDate from, QDate to,
                                  const ReadingContexts *contexts) {
  const ContextLookup lookup(contexts);
  DoctorReportData report;
  report.from = from;
  report.to = to;
  std::array<std::vector<SeriesReading>, 4> byPeriod;
  for (DayPeriod period : kAllPeriods) {
    for (const Reading &reading : lists.list(period).readings()) {
      SeriesReading r;
      const QString problem = ReadingProblem(reading, period, &r);
      if (problem.isEmpty()) {
        if (r.date < from || r.date > to) {
          continue;
        }
        r.period = PeriodOfMinutes(r.minutes);
        report.moved += r.period != period;
        // The context is kept under the list that holds the reading.
        r.context = lookup.find(period, reading);
        report.irregular += r.irregular();
        byPeriod[size_t(PeriodIndex(r.period))].push_back(r);
        continue;
      }
      const std::optional<QDate> date = reading.date();
      if (!date || (*date >= from && *date <= to)) {
        report.unusable.push_back(MakeExcluded(reading, period, problem));
        report.unusable.back().context = lookup.find(period, reading);
      }
    }
  }
  SortExcluded(report.unusable);
  StatisticsAccumulator overall;
  for (DayPeriod period : kAllPeriods) {
    std::vector<SeriesReading> &readings = byPeriod[size_t(PeriodIndex(period))];
    if (!std::is_sorted(readings.begin(), readings.end(), EarlierReading)) {
      std::stable_sort(readings.begin(), readings.end(), EarlierReading);
    }
    StatisticsAccumulator sums;
    for (const SeriesReading &r : readings) {
      sums.add(r);
    }
    report.periods[size_t(PeriodIndex(period))] = sums.result();
    overall.merge(sums);
    // Each period's readings are in order: merging keeps the whole in order
    // in linear time, a tie in date and time keeping the periods in tab order.
    const auto middle =
        report.readings.insert(report.readings.end(), readings.begin(), readings.end());
    std::inplace_merge(report.readings.begin(), middle, report.readings.end(), EarlierReading);
  }
  report.overall = overall.result();
  return report;
}

} // namespace tl
