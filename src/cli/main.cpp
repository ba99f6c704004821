// tensiolog-cli: the logbook's saved files from the command line.
#include "cli/cli.h"
#include "common/file_io.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QTextStream>
#include <memory>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace {

#ifdef Q_OS_WIN
// The texts are written as UTF-8: a console shows them so while the command
// runs (its own code page, 850 in France, would garble every accent), then
// gets its code page back. Without a console there is nothing to change.
class Utf8Console {
public:
  Utf8Console() : previous_(GetConsoleOutputCP()) {
    if (previous_ != 0) {
      SetConsoleOutputCP(CP_UTF8);
    }
  }
  ~Utf8Console() {
    if (previous_ != 0) {
      SetConsoleOutputCP(previous_);
    }
  }
  Utf8Console(const Utf8Console &) = delete;
  Utf8Console &operator=(const Utf8Console &) = delete;

private:
  UINT previous_;
};
#endif

// The error stream carries the program's one French sentence: Qt's own
// notes (a missing runtime folder, font fallbacks) stay out of it.
void KeepQtNotesOut(QtMsgType type, const QMessageLogContext &, const QString &message) {
  if (type == QtCriticalMsg || type == QtFatalMsg) {
    QTextStream(stderr) << message << u'\n';
  }
}

} // namespace

int main(int argc, char *argv[]) {
#ifdef Q_OS_WIN
  const Utf8Console console;
#endif
  qInstallMessageHandler(KeepQtNotesOut);
  tl::IgnoreFileSizeLimitSignal();
  // Drawing a PDF needs Qt Gui's fonts, never a display; the other commands
  // run with Qt Core alone, where no graphics plugin may be installed.
  bool drawsPdf = false;
  for (int i = 1; i < argc; ++i) {
    drawsPdf = drawsPdf || qstrcmp(argv[i], "--pdf") == 0 || qstrncmp(argv[i], "--pdf=", 6) == 0 ||
               qstrcmp(argv[i], "rapport") == 0;
  }
  std::unique_ptr<QCoreApplication> app;
  if (drawsPdf) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
      qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    app = std::make_unique<QGuiApplication>(argc, argv);
  } else {
    app = std::make_unique<QCoreApplication>(argc, argv);
  }
  QCoreApplication::setApplicationName(QStringLiteral("tensiolog-cli"));
  QTextStream out(stdout);
  QTextStream err(stderr);
  QStringList arguments = QCoreApplication::arguments();
  arguments.removeFirst();
  const int code = tl::RunCli(arguments, out, err);
  out.flush();
  err.flush();
  return code;
}
