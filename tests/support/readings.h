#pragma once

// A reading as the "Ajouter" command makes it, for tests.
#include "measurements/classification.h"
#include "measurements/reading.h"

namespace tl::test {

inline Reading MakeReading(const QString &time, qint64 s, qint64 d, qint64 p,
                           const QString &date = QStringLiteral("14/03/2026")) {
  Reading r;
  r[Reading::Date] = date;
  r[Reading::Time] = time;
  r[Reading::Systolic] = QString::number(s);
  r[Reading::Diastolic] = QString::number(d);
  r[Reading::Pulse] = QString::number(p);
  r[Reading::Diagnosis] = DiagnosisSentence(s, d);
  return r;
}

} // namespace tl::test
