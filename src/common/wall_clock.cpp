#include "common/wall_clock.h"

namespace tl {

QTimeZone ComputerTimeZone() { return QTimeZone::systemTimeZone(); }

int ComputerOffsetAt(qint64 utcSeconds) {
  return ComputerTimeZone().offsetFromUtc(QDateTime::fromSecsSinceEpoch(utcSeconds, Qt::UTC));
}

QDateTime ComputerWallClock(const QDateTime &instant) {
  if (!instant.isValid() || instant.timeSpec() == Qt::LocalTime) {
    return instant;
  }
  return instant.toTimeZone(ComputerTimeZone());
}

int ComputerOffsetOfWallClock(const QDate &date, const QTime &time) {
  const QTimeZone zone = ComputerTimeZone();
  const qint64 wall = QDateTime(date, time, Qt::UTC).toSecsSinceEpoch();
  const auto offsetAt = [&](qint64 utc) {
    return zone.offsetFromUtc(QDateTime::fromSecsSinceEpoch(utc, Qt::UTC));
  };
  constexpr qint64 kDay = 86400;
  const int before = offsetAt(wall - kDay), after = offsetAt(wall + kDay);
  // The offset that shows this time: the one after a change first (a time
  // shown twice is taken the second time), else the one before.
  if (offsetAt(wall - after) == after) {
    return after;
  }
  if (offsetAt(wall - before) == before) {
    return before;
  }
  return before != 0 ? before : after; // a time the clocks skip
}

} // namespace tl
