#include "platform/profile.h"

#include <QDir>
#include <QStandardPaths>

namespace tl {

const char *ProfileVariable() {
#ifdef Q_OS_WIN
  return "USERPROFILE";
#else
  return "HOME";
#endif
}

QString ProfileFolder() {
  QString home;
#ifdef Q_OS_WIN
  // Qt asks the logon token first and ignores USERPROFILE while the token
  // has a profile; the session's USERPROFILE is the same folder, and it is
  // the one a test or a roaming setup can redirect.
  const QString variable = qEnvironmentVariable(ProfileVariable());
  if (!variable.isEmpty() && QFileInfo(variable).isDir()) {
    home = QDir::fromNativeSeparators(variable);
  }
#endif
  if (home.isEmpty()) {
    home = QStandardPaths::writableLocation(QStandardPaths::HomeLocation);
  }
  if (!home.endsWith(u'/')) {
    home += u'/';
  }
  return home;
}

} // namespace tl
