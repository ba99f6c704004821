#pragma once

// The computer's clock and its time zone: the one way the program turns an
// instant into the date and time the computer shows, and back.
//
// On Windows, Qt's "local time" goes through the C runtime, which reads the
// TZ variable when one is set (a Cygwin or MSYS shell sets it) and otherwise
// the system's setting, while QTimeZone::systemTimeZone() and the system's
// own clock always follow the setting. Converting one way with the first and
// back with the second moves readings by the difference, so every
// conversion goes through the zone below.

#include <QDate>
#include <QDateTime>
#include <QTimeZone>

namespace tl {

// The time zone of the computer's settings (TZ where the system takes its
// zone from it, as on Linux).
QTimeZone ComputerTimeZone();

// Seconds east of UTC on the computer's clock at the UTC instant `utcSeconds`.
int ComputerOffsetAt(qint64 utcSeconds);

// The computer's date and time at `instant`. A Qt::LocalTime value is that
// already (the clock's own reading, as QDateTime::currentDateTime() gives
// it) and is kept as it reads; any other is converted in ComputerTimeZone().
QDateTime ComputerWallClock(const QDateTime &instant);

// The UTC offset the computer's zone gives the wall-clock time `date`
// `time`. A time the clocks skip gets the offset in force before the change
// (after it when that one is UTC's), a time they show twice the offset of
// its second showing.
int ComputerOffsetOfWallClock(const QDate &date, const QTime &time);

} // namespace tl
