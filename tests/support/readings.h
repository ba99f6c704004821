#pragma once

// A reading as the "Ajouter" command makes it, for tests.
#include "measurements/classification.h"
#include "measurements/reading.h"

namespace tl::test {

inline Reading MakeReading(const QString &time, qint64 s, qint64 d, qint64 p,
                           const QString &date = QStringLiteral("14/03/2026")) {
  Reading r;
  r.set(Reading::Date, date);
  r.set(Reading::Time, time);
  r.set(Reading::Systolic, QString::number(s));
  r.set(Reading::Diastolic, QString::number(d));
  r.set(Reading::Pulse, QString::number(p));
  r.set(Reading::Diagnosis, DiagnosisSentence(s, d));
  return r;
}

} // namespace tl::test
