#include "measurements/averages.h"

#include "measurements/parse.h"
#include "measurements/period_list_model.h"

namespace tl {

void ReadingSums::add(const Reading &r) {
  systolic = SaturatingAdd(systolic, r.value(Reading::Systolic));
  diastolic = SaturatingAdd(diastolic, r.value(Reading::Diastolic));
  pulse = SaturatingAdd(pulse, r.value(Reading::Pulse));
  ++count;
}

void ReadingSums::add(const ReadingSums &other) {
  systolic = SaturatingAdd(systolic, other.systolic);
  diastolic = SaturatingAdd(diastolic, other.diastolic);
  pulse = SaturatingAdd(pulse, other.pulse);
  count += other.count;
}

ReadingSums SumReadings(const std::vector<Reading> &readings) {
  ReadingSums sums;
  for (const Reading &r : readings) {
    sums.add(r);
  }
  return sums;
}

QString AverageText(const ReadingSums &sums) {
  if (sums.count == 0) {
    return QString();
  }
  // Integer division truncates toward zero, as the means must.
  return QString::number(sums.systolic / sums.count) + QStringLiteral(" / ") +
         QString::number(sums.diastolic / sums.count) + QStringLiteral("\r\n") +
         QString::number(sums.pulse / sums.count);
}

QString PeriodAverageText(const PeriodListModel &list) {
  return AverageText(SumReadings(list.readings()));
}

OverallAverage OverallAverageText(const PeriodLists &lists) {
  ReadingSums all;
  for (DayPeriod p : kSaveOrder) {
    all.add(SumReadings(lists.list(p).readings()));
  }
  return {AverageText(all), all.count};
}

QString BaseLineText(qint64 count) {
  return QStringLiteral("Base de ") + QString::number(count) + QStringLiteral(" mesures");
}

} // namespace tl
