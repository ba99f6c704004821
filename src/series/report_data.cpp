#include "series/report_data.h"

#include "measurements/period_list_model.h"

#include <algorithm>

namespace tl {

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

DoctorReportData MakeDoctorReport(const PeriodLists &lists, QDate from, QDate to) {
  DoctorReportData report;
  report.from = from;
  report.to = to;
  for (DayPeriod period : kAllPeriods) {
    std::vector<SeriesReading> readings =
        CountableReadings(lists.list(period).readings(), period, from, to);
    report.periods[size_t(PeriodIndex(period))] = ComputeStatistics(readings);
    report.readings.insert(report.readings.end(), readings.begin(), readings.end());
  }
  // Each period's readings are in order already: one stable sort merges them,
  // a tie in date and time keeping the periods in tab order.
  std::stable_sort(report.readings.begin(), report.readings.end(), EarlierReading);
  report.overall = ComputeStatistics(report.readings);
  return report;
}

} // namespace tl
