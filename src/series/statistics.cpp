#include "series/statistics.h"

#include "measurements/classification.h"

#include <algorithm>
#include <cmath>

namespace tl {

void ValueAccumulator::add(int v) {
  if (count == 0 || v < minimum) {
    minimum = v;
  }
  if (count == 0 || v > maximum) {
    maximum = v;
  }
  ++count;
  sum += v;
  squares += qint64(v) * v;
}

void ValueAccumulator::merge(const ValueAccumulator &other) {
  if (other.count == 0) {
    return;
  }
  minimum = count == 0 ? other.minimum : std::min(minimum, other.minimum);
  maximum = count == 0 ? other.maximum : std::max(maximum, other.maximum);
  count += other.count;
  sum += other.sum;
  squares += other.squares;
}

ValueStatistics ValueAccumulator::result() const {
  ValueStatistics v;
  v.count = count;
  if (count == 0) {
    return v;
  }
  v.minimum = minimum;
  v.maximum = maximum;
  v.mean = double(sum) / double(count);
  if (count >= 2) {
    // Sample variance: (n * sum of squares - sum^2) / (n (n - 1)), exact up
    // to the last division.
    const __int128 spread = __int128(count) * squares - __int128(sum) * sum;
    v.deviation = std::sqrt(double(spread) / (double(count) * double(count - 1)));
  }
  return v;
}

void StatisticsAccumulator::add(const SeriesReading &r) {
  systolic.add(r.systolic);
  diastolic.add(r.diastolic);
  pulse.add(r.pulse);
  if (r.systolic * 10 >= kSystolicThresholdTenths ||
      r.diastolic * 10 >= kDiastolicThresholdTenths) {
    ++atOrAboveThreshold;
  }
  ++classes[size_t(ClassOf(r.systolic, r.diastolic))];
}

void StatisticsAccumulator::merge(const StatisticsAccumulator &other) {
  systolic.merge(other.systolic);
  diastolic.merge(other.diastolic);
  pulse.merge(other.pulse);
  atOrAboveThreshold += other.atOrAboveThreshold;
  for (size_t c = 0; c < classes.size(); ++c) {
    classes[c] += other.classes[c];
  }
}

ReadingStatistics StatisticsAccumulator::result() const {
  ReadingStatistics stats;
  stats.count = systolic.count;
  stats.systolic = systolic.result();
  stats.diastolic = diastolic.result();
  stats.pulse = pulse.result();
  stats.atOrAboveThreshold = atOrAboveThreshold;
  stats.classes = classes;
  if (stats.count > 0) {
    stats.meanPulsePressure = stats.systolic.mean - stats.diastolic.mean;
    stats.shareAtOrAboveThreshold = double(stats.atOrAboveThreshold) / double(stats.count);
  }
  return stats;
}

ReadingStatistics ComputeStatistics(const std::vector<SeriesReading> &readings) {
  StatisticsAccumulator sums;
  for (const SeriesReading &r : readings) {
    sums.add(r);
  }
  return sums.result();
}

std::vector<SeriesReading> CountableReadings(const std::vector<Reading> &list, DayPeriod period,
                                             QDate from, QDate to) {
  std::vector<SeriesReading> out;
  for (const Reading &reading : list) {
    SeriesReading r;
    if (ReadingProblem(reading, period, &r).isEmpty() && r.date >= from && r.date <= to) {
      r.period = PeriodOfMinutes(r.minutes);
      out.push_back(r);
    }
  }
  if (!std::is_sorted(out.begin(), out.end(), EarlierReading)) {
    std::stable_sort(out.begin(), out.end(), EarlierReading);
  }
  return out;
}

} // namespace tl
