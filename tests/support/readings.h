#pragma once

// A reading as the "Ajouter" command makes it, for tests.
#include "measurements/classification.h"
#include "measurements/reading.h"

#include <QStringList>

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

// A reading of six cells given as they stand.
inline Reading CellsReading(const QStringList &cells) {
  Reading r;
  for (int i = 0; i < Reading::kCellCount && i < cells.size(); ++i) {
    r.set(i, cells[i]);
  }
  return r;
}

} // namespace tl::test
