// Writes the blank home blood-pressure form shipped with the program: the
// program's own form drawing with no readings. Run at build time:
// make_form OUTPUT.pdf
#include "reports/series_form.h"

#include <QGuiApplication>

#include <cstdio>

int main(int argc, char *argv[]) {
  // Runs during the build, where there is no display.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  QGuiApplication app(argc, argv);
  const QStringList args = QGuiApplication::arguments();
  if (args.size() != 2) {
    std::fprintf(stderr, "usage: make_form OUTPUT.pdf\n");
    return 2;
  }
  if (const tl::FileError error =
          tl::WritePdf(tl::SeriesFormDocument(tl::Protocol::Rule3), args.at(1))) {
    std::fprintf(stderr, "make_form: %s\n", qPrintable(error.text()));
    return 1;
  }
  return 0;
}
