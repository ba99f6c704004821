// Tensiolog: a logbook of home blood-pressure self-measurements.
#include "app/startup.h"
#include "common/identity.h"
#include "platform/single_instance.h"

#include <QApplication>

int main(int argc, char *argv[]) {
  QApplication app(argc, argv);
  app.setApplicationName(tl::ProgramTitle());
  // The program ends through its own shut-down path, not when a side window
  // closes last.
  app.setQuitOnLastWindowClosed(false);
  tl::InstallFrenchLanguage(app);

  tl::Application program(tl::SingleInstance::DefaultName(tl::ProgramTitle()));
  QObject::connect(&program, &tl::Application::finished, &app, &QCoreApplication::quit,
                   Qt::QueuedConnection);
  if (!program.start()) {
    return 0;
  }
  return app.exec();
}
