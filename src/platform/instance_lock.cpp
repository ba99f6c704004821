#include "platform/instance_lock.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>

namespace tl {

QString DataFolderLockPath(const QString &dataFolder) {
  return dataFolder + QStringLiteral(".tensiolog.lock");
}

DataFolderLock::DataFolderLock(const QString &dataFolder) : folder_(dataFolder) {}

DataFolderLock::~DataFolderLock() { release(); }

DataFolderLock::Result DataFolderLock::take() {
  if (isHeld()) {
    return Result::Taken;
  }
  holder_.clear();
  holderPid_ = 0;
  reason_.clear();
  if (folder_.isEmpty() || !QFileInfo(folder_).isDir()) {
    reason_ = QStringLiteral("le dossier de données « %1 » n'existe pas")
                  .arg(QDir::toNativeSeparators(folder_));
    return Result::Failed;
  }
  lock_ = std::make_unique<QLockFile>(DataFolderLockPath(folder_));
  // Age alone never makes a lock stale: only the death of its process.
  lock_->setStaleLockTime(0);
  if (lock_->tryLock(0)) {
    return Result::Taken;
  }
  const QLockFile::LockError error = lock_->error();
  QString host;
  const bool known = lock_->getLockInfo(&holderPid_, &host, &holder_);
  lock_.reset();
  if (error == QLockFile::LockFailedError && known) {
    return Result::Held;
  }
  reason_ = error == QLockFile::PermissionError
                ? QStringLiteral("impossible de créer le verrou %1 : accès refusé")
                      .arg(QDir::toNativeSeparators(DataFolderLockPath(folder_)))
                : QStringLiteral("impossible de créer le verrou %1")
                      .arg(QDir::toNativeSeparators(DataFolderLockPath(folder_)));
  return Result::Failed;
}

void DataFolderLock::release() {
  if (lock_) {
    lock_->unlock();
    lock_.reset();
  }
}

bool DataFolderLock::isHeld() const { return lock_ && lock_->isLocked(); }

QString DataFolderLockHolder(const QString &dataFolder, qint64 *pid) {
  QLockFile lock(DataFolderLockPath(dataFolder));
  qint64 holderPid = 0;
  QString host, application;
  if (!lock.getLockInfo(&holderPid, &host, &application)) {
    return QString(); // no lock file: nobody holds the folder
  }
  // Taking the lock succeeds only when its owner died (a stale lock is
  // taken over); it is let go at once.
  lock.setStaleLockTime(0);
  if (lock.tryLock(0)) {
    lock.unlock();
    return QString();
  }
  if (pid) {
    *pid = holderPid;
  }
  return application.isEmpty() ? QStringLiteral("?") : application;
}

QString HandOverSocketName(const QString &dataFolder) {
  QString folder = QFileInfo(dataFolder).canonicalFilePath();
  if (folder.isEmpty()) {
    folder = QFileInfo(dataFolder).absoluteFilePath();
  }
  QString user = qEnvironmentVariable("USER");
  if (user.isEmpty()) {
    user = qEnvironmentVariable("USERNAME");
  }
  const QByteArray hash =
      QCryptographicHash::hash((folder + u'\n' + user).toUtf8(), QCryptographicHash::Sha256)
          .toHex()
          .left(24);
  const QString name = QStringLiteral("tensiolog-") + QString::fromLatin1(hash);
#ifdef Q_OS_UNIX
  // A full path keeps the socket out of the shared temporary folder: the
  // session's private runtime folder, else the data folder itself (private
  // too), when the path fits a socket address.
  const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
  for (const QString &folder : {runtime + u'/', dataFolder}) {
    const QString path = folder + u'.' + name;
    if (folder.size() > 1 && QFileInfo(folder).isDir() && QFile::encodeName(path).size() < 100) {
      return path;
    }
  }
#endif
  return name;
}

} // namespace tl
