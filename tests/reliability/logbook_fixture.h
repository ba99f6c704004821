#pragma once

// A deterministic large logbook in two versions, shared by the crash test
// and the program it kills.
#include "measurements/classification.h"
#include "measurements/period_list_model.h"

#include <QDate>

namespace tl::test {

inline void FillLogbook(PeriodLists &lists, int readingsPerPeriod, int version) {
  for (DayPeriod period : kAllPeriods) {
    std::vector<Reading> rows;
    rows.reserve(size_t(readingsPerPeriod + version));
    for (int i = 0; i < readingsPerPeriod + version; ++i) {
      const qint64 s = 100 + (i * 7 + version * 13) % 80;
      const qint64 d = 60 + (i * 3 + version) % 50;
      Reading r;
      r.set(Reading::Date, QDate(2010, 1, 1).addDays(i).toString(QStringLiteral("dd/MM/yyyy")));
      r.set(Reading::Time, QStringLiteral("0%1:1%2").arg(i % 10).arg(version % 10));
      r.set(Reading::Systolic, QString::number(s));
      r.set(Reading::Diastolic, QString::number(d));
      r.set(Reading::Pulse, QString::number(55 + i % 40));
      r.set(Reading::Diagnosis, DiagnosisSentence(s, d));
      rows.push_back(std::move(r));
    }
    lists.list(period).setReadings(std::move(rows));
  }
}

} // namespace tl::test
