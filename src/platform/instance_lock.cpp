#include "platform/instance_lock.h"

#include <QCryptographicHash>
#include <QDir>
#include <QLockFile>
#include <QRegularExpression>

namespace tl {

QString SafeInstanceName(const QString &name) {
  QString safe = name;
  safe.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9_.-]")), QStringLiteral("_"));
  const QByteArray hash =
      QCryptographicHash::hash(name.toUtf8(), QCryptographicHash::Sha1).toHex().left(12);
  return safe.left(40) + u'-' + QString::fromLatin1(hash);
}

QString DefaultInstanceName(const QString &programTitle) {
  QString user = qEnvironmentVariable("USER");
  if (user.isEmpty()) {
    user = qEnvironmentVariable("USERNAME");
  }
  return programTitle + u'-' + user;
}

QString InstanceLockPath(const QString &name) {
  return QDir::tempPath() + u'/' + SafeInstanceName(name) + QStringLiteral(".lock");
}

bool IsInstanceRunning(const QString &name) {
  QLockFile lock(InstanceLockPath(name));
  qint64 pid = 0;
  QString host, application;
  if (!lock.getLockInfo(&pid, &host, &application)) {
    return false; // no lock file: nothing runs
  }
  // The file is there: taking the lock succeeds only when its owner died
  // (a stale lock is taken over); it is let go at once.
  lock.setStaleLockTime(0);
  if (lock.tryLock(0)) {
    lock.unlock();
    return false;
  }
  return true;
}

} // namespace tl
