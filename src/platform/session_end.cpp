#include "platform/session_end.h"

#include <QGuiApplication>
#include <QSessionManager>
#include <QSocketNotifier>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace tl {

#ifdef Q_OS_UNIX
namespace {

// The signal handler may only write to a pipe; the notifier reads it on the
// interface thread, where saving is safe.
int g_pipe[2] = {-1, -1};

void OnSignal(int) {
  const char byte = 1;
  [[maybe_unused]] const auto written = ::write(g_pipe[0], &byte, 1);
}

} // namespace
#endif

SessionEnd::SessionEnd(QObject *parent) : QObject(parent) {
  if (auto *app = qobject_cast<QGuiApplication *>(QCoreApplication::instance())) {
    connect(app, &QGuiApplication::commitDataRequest, this,
            [this](QSessionManager &) { emit saveRequested(); });
  }
#ifdef Q_OS_UNIX
  if (g_pipe[0] < 0 && ::socketpair(AF_UNIX, SOCK_STREAM, 0, g_pipe) == 0) {
    notifier_ = new QSocketNotifier(g_pipe[1], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
      notifier_->setEnabled(false);
      char byte = 0;
      [[maybe_unused]] const auto got = ::read(g_pipe[1], &byte, 1);
      notifier_->setEnabled(true);
      emit terminateRequested();
    });
    struct sigaction action = {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGHUP, &action, nullptr);
  }
#endif
}

SessionEnd::~SessionEnd() {
#ifdef Q_OS_UNIX
  if (notifier_) {
    ::signal(SIGTERM, SIG_DFL);
    ::signal(SIGHUP, SIG_DFL);
    delete notifier_;
    notifier_ = nullptr;
    ::close(g_pipe[0]);
    ::close(g_pipe[1]);
    g_pipe[0] = g_pipe[1] = -1;
  }
#endif
}

} // namespace tl
