// Tensiolog: a logbook of home blood-pressure self-measurements.
#include "app/startup.h"
#include "common/file_io.h"
#include "common/identity.h"

#include <QApplication>

int main(int argc, char *argv[]) {
  QApplication app(argc, argv);
  app.setApplicationName(tl::ProgramTitle());
  // The program ends through its own shut-down path, not when a side window
  // closes last.
  app.setQuitOnLastWindowClosed(false);
  tl::InstallFrenchLanguage(app);
  tl::IgnoreFileSizeLimitSignal();

  tl::Application program;
  QObject::connect(&program, &tl::Application::finished, &app, &QCoreApplication::quit,
                   Qt::QueuedConnection);
  if (!program.start()) {
    return 0;
  }
  return app.exec();
}
