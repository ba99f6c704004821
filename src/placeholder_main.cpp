// Placeholder entry point, used until the main window is built.
#include "common/identity.h"
#include "common/paths.h"
#include "platform/profile.h"

#include <QApplication>
#include <QLabel>

int main(int argc, char *argv[]) {
  QApplication app(argc, argv);
  tl::Paths() = tl::SetupStorage(tl::ProfileFolder());
  QLabel label(tl::TitleLine());
  label.setWindowTitle(tl::ProgramTitle());
  label.resize(400, 100);
  label.show();
  return app.exec();
}
