#include "common/file_io.h"

#include "common/day_period.h"
#include "platform/clock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>

namespace tl {

QString FileError::text() const {
  return QDir::toNativeSeparators(path) + QStringLiteral(" : ") + reason;
}

namespace {

// A failure always carries a reason, even when the system gave none.
FileError Failed(const QString &path, QString reason) {
  if (reason.isEmpty()) {
    reason = QStringLiteral("erreur inconnue");
  }
  return FileError{path, reason};
}

} // namespace

FileError ReadWholeFile(const QString &path, qint64 maxBytes, QByteArray *bytes) {
  bytes->clear();
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    return Failed(path, file.errorString());
  }
  // A file that grows past the limit while it is read is refused as well.
  const qint64 size = file.size();
  if (size > maxBytes) {
    return Failed(
        path,
        QStringLiteral("fichier trop volumineux (%1 octets, au plus %2)").arg(size).arg(maxBytes));
  }
  // What the file says it holds, in one piece; then whatever it holds more
  // (it grew, or tells no size), in chunks, up to the limit. Never a buffer
  // of the limit's size.
  *bytes = file.read(size);
  constexpr qint64 kChunk = qint64(1) << 16;
  while (file.error() == QFileDevice::NoError && bytes->size() <= maxBytes) {
    const QByteArray more = file.read(qMin(kChunk, maxBytes + 1 - bytes->size()));
    if (more.isEmpty()) {
      break;
    }
    bytes->append(more);
  }
  if (file.error() != QFileDevice::NoError) {
    const QString reason = file.errorString();
    bytes->clear();
    return Failed(path, reason);
  }
  if (bytes->size() > maxBytes) {
    bytes->clear();
    return Failed(path,
                  QStringLiteral("fichier trop volumineux (au plus %1 octets)").arg(maxBytes));
  }
  return {};
}

FileError WriteWholeFile(const QString &path, QByteArrayView bytes) {
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) {
    return Failed(path, file.errorString());
  }
  if (file.write(bytes.data(), bytes.size()) != bytes.size()) {
    const QString reason = file.errorString();
    file.cancelWriting();
    return Failed(path, reason);
  }
  if (!file.commit()) {
    return Failed(path, file.errorString());
  }
  return {};
}

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
  static const QRegularExpression leftover = [] {
    // QSaveFile writes into its target's name + "." + six random letters
    // (A-Z, a-z: Qt's temporary-file template) and renames that over the
    // target; the targets are the program's own file names, exactly.
    QStringList prefixes;
    for (DayPeriod period : kAllPeriods) {
      prefixes.append(QRegularExpression::escape(PeriodInfo(period).filePrefix));
    }
    const QString period = u'(' + prefixes.join(u'|') + u')';
    return QRegularExpression(QStringLiteral("^(ARTL_(Users|Prefs)\\.ini|") + period +
                              QStringLiteral(".+\\.txt|Imp_") + period +
                              QStringLiteral(".+_[0-9]{8}_[0-9]{6}\\.txt)\\.[A-Za-z]{6}$"));
  }();
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
