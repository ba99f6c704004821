#include "common/files.h"

#include "platform/clock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace tl {

QString KeepFileAside(const QString &path) {
  const QString stamp = clock().now().toString(QStringLiteral("yyyyMMdd-hhmmss"));
  const QString base = path + QStringLiteral(".illisible-") + stamp;
  // Two files kept aside in the same second get "-2", "-3"...
  for (int n = 1; n < 100; ++n) {
    const QString target = n == 1 ? base : base + u'-' + QString::number(n);
    if (QFileInfo::exists(target)) {
      continue;
    }
    return QFile::rename(path, target) ? target : QString();
  }
  return QString();
}

int RemoveInterruptedSaves(const QString &folder) {
  if (folder.isEmpty()) {
    return 0;
  }
  static const QRegularExpression leftover(
      QStringLiteral("^(Imp_)?ARTL_.*\\.(txt|ini)\\.[A-Za-z0-9]{6}$"));
  QDir dir(folder);
  int removed = 0;
  const QStringList names = dir.entryList(QDir::Files | QDir::Hidden | QDir::System);
  for (const QString &name : names) {
    if (leftover.match(name).hasMatch() && dir.remove(name)) {
      ++removed;
    }
  }
  return removed;
}

} // namespace tl
