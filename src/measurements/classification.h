#pragma once

#include "common/day_period.h"

#include <QString>
#include <QStringView>

namespace tl {

// Seconds since midnight of a "%hh:%ii" text, or -1 when it does not match.
int TimeOfDaySeconds(QStringView time);

// The period a time of day belongs to; each upper bound belongs to the
// earlier period (06:00 is Nuit). A malformed time gives Nuit.
DayPeriod PeriodOfTime(QStringView time);

// The classification label of a systolic / diastolic pair.
QString ClassifyReading(qint64 systolic, qint64 diastolic);

// "La systole de S mmHg et la diastole de D mmHg, indiquent une " + label.
QString DiagnosisSentence(qint64 systolic, qint64 diastolic);

// The label that exists but is never given.
QString OutOfBoundsLabel();

} // namespace tl
