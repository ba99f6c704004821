#pragma once

// Descriptive statistics of a set of readings, for the doctor's report.

#include "measurements/classification.h"
#include "series/series.h"

#include <QDate>
#include <QString>
#include <array>
#include <optional>
#include <vector>

namespace tl {

struct ValueStatistics {
  qint64 count = 0;
  double mean = 0;
  std::optional<double> deviation; // sample standard deviation, from two readings on
  int minimum = 0, maximum = 0;
};

struct ReadingStatistics {
  qint64 count = 0;
  ValueStatistics systolic, diastolic, pulse;
  double meanPulsePressure = 0;                // systolic - diastolic
  qint64 atOrAboveThreshold = 0;               // systolic >= 135 or diastolic >= 85 (descriptive)
  double shareAtOrAboveThreshold = 0;          // 0 to 1
  std::array<qint64, kBpClassCount> classes{}; // readings by classification class
  qint64 classCount(BpClass c) const { return classes[size_t(c)]; }
};

// Date and time order.
inline bool EarlierReading(const SeriesReading &a, const SeriesReading &b) {
  return a.date != b.date ? a.date < b.date : a.minutes < b.minutes;
}

// Sums of a set of readings in one pass; the values being whole numbers,
// the sums are exact and sets merge without another pass.
struct ValueAccumulator {
  qint64 count = 0, sum = 0;
  __int128 squares = 0;
  int minimum = 0, maximum = 0;
  void add(int v);
  void merge(const ValueAccumulator &other);
  ValueStatistics result() const;
};

struct StatisticsAccumulator {
  ValueAccumulator systolic, diastolic, pulse;
  qint64 atOrAboveThreshold = 0;
  std::array<qint64, kBpClassCount> classes{};
  void add(const SeriesReading &r);
  void merge(const StatisticsAccumulator &other);
  ReadingStatistics result() const;
};

ReadingStatistics ComputeStatistics(const std::vector<SeriesReading> &readings);

// The countable readings of a list dated from `from` to `to` (both included),
// in date and time order (a list in that order already is not sorted again),
// each with the period of its time.
std::vector<SeriesReading> CountableReadings(const std::vector<Reading> &list, DayPeriod period,
                                             QDate from, QDate to);

} // namespace tl
