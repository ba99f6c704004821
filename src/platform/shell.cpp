#include "platform/shell.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

namespace tl {

namespace {
Shell *g_override = nullptr;
}

Shell &shell() {
  static DesktopShell real;
  return g_override ? *g_override : real;
}

void setShell(Shell *s) { g_override = s; }

bool DesktopShell::openDocument(const QString &path) {
  if (!QFileInfo::exists(path)) {
    return false;
  }
  return QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()));
}

bool DesktopShell::openAddress(const QString &address) {
  return QDesktopServices::openUrl(QUrl(address, QUrl::StrictMode));
}

} // namespace tl
