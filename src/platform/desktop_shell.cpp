#include "platform/desktop_shell.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QProcess>
#include <QUrl>

namespace tl {

bool DesktopShell::openDocument(const QString &path) {
  if (!QFileInfo::exists(path)) {
    return false;
  }
  return QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()));
}

bool DesktopShell::hasHandler(const QString &path) {
  if (!QFileInfo(path).isFile()) {
    return false;
  }
#if defined(Q_OS_WIN) || defined(Q_OS_MACOS)
  return true; // the system's own viewers cover the program's documents
#else
  // The desktop's default application for the file's type, as xdg-open
  // would choose it; without xdg-mime nothing can be told, so none.
  const QString type = QMimeDatabase().mimeTypeForFile(path, QMimeDatabase::MatchExtension).name();
  QProcess query;
  query.start(QStringLiteral("xdg-mime"),
              {QStringLiteral("query"), QStringLiteral("default"), type});
  if (!query.waitForFinished(3000)) {
    query.kill();
    query.waitForFinished(1000);
    return false;
  }
  return query.exitStatus() == QProcess::NormalExit && query.exitCode() == 0 &&
         !query.readAllStandardOutput().trimmed().isEmpty();
#endif
}

bool DesktopShell::openAddress(const QString &address) {
  return QDesktopServices::openUrl(QUrl(address, QUrl::StrictMode));
}

} // namespace tl
