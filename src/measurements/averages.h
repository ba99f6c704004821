#pragma once

#include "common/day_period.h"
#include "measurements/reading.h"

#include <QString>
#include <vector>

namespace tl {

class PeriodListModel;
class PeriodLists;

// Sums of the systolic, diastolic and pulse cells of some readings.
struct ReadingSums {
  qint64 systolic = 0;
  qint64 diastolic = 0;
  qint64 pulse = 0;
  qint64 count = 0;

  void add(const Reading &r);
  void add(const ReadingSums &other);
};

ReadingSums SumReadings(const std::vector<Reading> &readings);

// "S / D" CR LF "P" with each mean truncated toward zero; "" for no reading.
QString AverageText(const ReadingSums &sums);

// The average text of one period list.
QString PeriodAverageText(const PeriodListModel &list);

struct OverallAverage {
  QString text;
  qint64 total = 0;
};
// The average over every reading of the four lists together.
OverallAverage OverallAverageText(const PeriodLists &lists);

// "Base de " + count + " mesures" (the plural also for one reading).
QString BaseLineText(qint64 count);

} // namespace tl
