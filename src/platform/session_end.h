#pragma once

#include <QObject>

class QSocketNotifier;

namespace tl {

// Tells the program that the desktop session is ending (log-off, shut-down)
// or that the system asked it to terminate (SIGTERM, SIGHUP on Unix), so it
// can save as its own quit command does. One object per process.
class SessionEnd : public QObject {
  Q_OBJECT
public:
  explicit SessionEnd(QObject *parent = nullptr);
  ~SessionEnd() override;

signals:
  // The session manager asks for the data to be saved; the program may be
  // ended right after, or go on if the session end is cancelled.
  void saveRequested();
  // A termination signal arrived: save and end.
  void terminateRequested();

private:
  QSocketNotifier *notifier_ = nullptr;
};

} // namespace tl
