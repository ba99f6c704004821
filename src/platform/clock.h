#pragma once

#include <QDateTime>

namespace tl {

// Local date and time now; tests install a fixed or stepped clock.
class Clock {
public:
  virtual ~Clock() = default;
  virtual QDateTime now() const = 0;
};

const Clock &clock();
void setClock(const Clock *c); // not owned; nullptr restores the system clock

class SystemClock : public Clock {
public:
  QDateTime now() const override { return QDateTime::currentDateTime(); }
};

} // namespace tl
