// tensiolog-cli: the logbook's saved files from the command line.
#include "cli/cli.h"
#include "common/identity.h"

#include <QCoreApplication>
#include <QTextStream>
#include <cstdio>

int main(int argc, char *argv[]) {
  QCoreApplication app(argc, argv);
  app.setApplicationName(QStringLiteral("tensiolog-cli"));
  QTextStream out(stdout);
  QTextStream err(stderr);
  QStringList arguments = app.arguments();
  arguments.removeFirst();
  const int code = tl::RunCli(arguments, out, err);
  out.flush();
  err.flush();
  return code;
}
