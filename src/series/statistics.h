#pragma once

// Descriptive statistics of a set of readings, for the doctor's report.

#include "series/series.h"

#include <QDate>
#include <QMap>
#include <QString>
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
  double meanPulsePressure = 0;       // systolic - diastolic
  qint64 atOrAboveThreshold = 0;      // systolic >= 135 or diastolic >= 85 (descriptive)
  double shareAtOrAboveThreshold = 0; // 0 to 1
  QMap<QString, qint64> classes;      // classification label -> readings
};

// Date and time order.
inline bool EarlierReading(const SeriesReading &a, const SeriesReading &b) {
  return a.date != b.date ? a.date < b.date : a.minutes < b.minutes;
}

ReadingStatistics ComputeStatistics(const std::vector<SeriesReading> &readings);

// The countable readings of a list dated from `from` to `to` (both included),
// in date and time order.
std::vector<SeriesReading> CountableReadings(const std::vector<Reading> &list, DayPeriod period,
                                             QDate from, QDate to);

} // namespace tl
