// tensiolog-cli: the logbook's saved files from the command line.
#include "cli/cli.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QTextStream>
#include <memory>

namespace {

// The error stream carries the program's one French sentence: Qt's own
// notes (a missing runtime folder, font fallbacks) stay out of it.
void KeepQtNotesOut(QtMsgType type, const QMessageLogContext &, const QString &message) {
  if (type == QtCriticalMsg || type == QtFatalMsg) {
    QTextStream(stderr) << message << u'\n';
  }
}

} // namespace

int main(int argc, char *argv[]) {
  qInstallMessageHandler(KeepQtNotesOut);
  // Drawing a PDF needs Qt Gui's fonts, never a display; the other commands
  // run with Qt Core alone, where no graphics plugin may be installed.
  bool drawsPdf = false;
  for (int i = 1; i < argc; ++i) {
    drawsPdf = drawsPdf || qstrcmp(argv[i], "--pdf") == 0 || qstrcmp(argv[i], "rapport") == 0;
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
