#pragma once

#include "common/day_period.h"

#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace tl {

// Seconds since midnight of a "%hh:%ii" text, or -1 when it does not match.
int TimeOfDaySeconds(QStringView time);

// The period a time of day belongs to; each upper bound belongs to the
// earlier period (06:00 is Nuit). A malformed time gives Nuit.
DayPeriod PeriodOfTime(QStringView time);
// The same for minutes since midnight (06:00 is 360).
DayPeriod PeriodOfMinutes(int minutes);

// The classes of a systolic / diastolic pair, None first, then in rising
// order of severity (both hypotension classes rank lowest); Dead is the
// class of a reading with neither pressure above 0.
enum class BpClass : quint8 {
  None,
  HypotensionSevere,
  Hypotension,
  Optimal,
  Normal,
  NormalHigh,
  Mild,
  Moderate,
  Severe,
  Dead,
};
inline constexpr int kBpClassCount = 10;

// The class of a systolic / diastolic pair (never None).
BpClass ClassOf(qint64 systolic, qint64 diastolic);
// A class's label, and the same in UTF-8; None has an empty label.
QString ClassLabel(BpClass c);
QByteArrayView ClassLabelUtf8(BpClass c);

// The pieces of the diagnosis sentence around the two numbers and the label.
inline constexpr char kSentenceStart[] = "La systole de ";
inline constexpr char kSentenceMiddle[] = " mmHg et la diastole de ";
inline constexpr char kSentenceBeforeLabel[] = " mmHg, indiquent une ";

// The classification label of a systolic / diastolic pair.
QString ClassifyReading(qint64 systolic, qint64 diastolic);

// "La systole de S mmHg et la diastole de D mmHg, indiquent une " + label.
QString DiagnosisSentence(qint64 systolic, qint64 diastolic);

// The label that exists but is never given.
QString OutOfBoundsLabel();

} // namespace tl
