#include "series/statistics.h"

#include "measurements/classification.h"

#include <algorithm>
#include <cmath>

namespace tl {

namespace {

ValueStatistics Describe(const std::vector<SeriesReading> &readings, int SeriesReading::*value) {
  ValueStatistics v;
  v.count = qint64(readings.size());
  if (readings.empty()) {
    return v;
  }
  v.minimum = v.maximum = readings.front().*value;
  qint64 sum = 0;
  for (const SeriesReading &r : readings) {
    sum += r.*value;
    v.minimum = std::min(v.minimum, r.*value);
    v.maximum = std::max(v.maximum, r.*value);
  }
  v.mean = double(sum) / double(v.count);
  if (v.count >= 2) {
    double squares = 0;
    for (const SeriesReading &r : readings) {
      const double d = double(r.*value) - v.mean;
      squares += d * d;
    }
    v.deviation = std::sqrt(squares / double(v.count - 1));
  }
  return v;
}

} // namespace

ReadingStatistics ComputeStatistics(const std::vector<SeriesReading> &readings) {
  ReadingStatistics stats;
  stats.count = qint64(readings.size());
  stats.systolic = Describe(readings, &SeriesReading::systolic);
  stats.diastolic = Describe(readings, &SeriesReading::diastolic);
  stats.pulse = Describe(readings, &SeriesReading::pulse);
  if (readings.empty()) {
    return stats;
  }
  stats.meanPulsePressure = stats.systolic.mean - stats.diastolic.mean;
  for (const SeriesReading &r : readings) {
    if (r.systolic * 10 >= kSystolicThresholdTenths ||
        r.diastolic * 10 >= kDiastolicThresholdTenths) {
      ++stats.atOrAboveThreshold;
    }
    ++stats.classes[ClassifyReading(r.systolic, r.diastolic)];
  }
  stats.shareAtOrAboveThreshold = double(stats.atOrAboveThreshold) / double(stats.count);
  return stats;
}

std::vector<SeriesReading> CountableReadings(const std::vector<Reading> &list, DayPeriod period,
                                             QDate from, QDate to) {
  std::vector<SeriesReading> out;
  for (const Reading &reading : list) {
    SeriesReading r;
    if (ReadingProblem(reading, period, &r).isEmpty() && r.date >= from && r.date <= to) {
      out.push_back(r);
    }
  }
  std::stable_sort(out.begin(), out.end(), EarlierReading);
  return out;
}

} // namespace tl
