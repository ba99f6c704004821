#include "platform/instance_lock.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSysInfo>
#include <memory>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#endif
#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace tl {

namespace {

// A lock file is a few short lines; anything longer is not read further.
constexpr qint64 kMaxLockBytes = 4096;
// A lock file without a process in it was being written by its creator, or
// its creator died while writing: after this long, the second.
constexpr qint64 kUnwrittenLockSeconds = 30;

QString OwnProgram() {
  if (QCoreApplication::instance()) {
#ifdef Q_OS_WIN
    // "tensiolog", as people and Qt's own lock files name it, not "tensiolog.exe".
    return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
#else
    return QFileInfo(QCoreApplication::applicationFilePath()).fileName();
#endif
  }
  return QString();
}

QString OwnAccount() {
#ifdef Q_OS_UNIX
  if (const struct passwd *pw = ::getpwuid(::geteuid())) {
    return QString::fromLocal8Bit(pw->pw_name);
  }
#endif
  QString user = qEnvironmentVariable("USER");
  return user.isEmpty() ? qEnvironmentVariable("USERNAME") : user;
}

// What the lock file holds, one item a line; the first five are those Qt's
// own lock files write, so that an older copy of the program reads it.
struct LockContents {
  qint64 pid = 0;
  QString program, computer;
  QByteArray machineId, bootId;
  QString account;
  QDateTime since;
};

QByteArray Serialize(const LockContents &c) {
  return QByteArray::number(c.pid) + '\n' + c.program.toUtf8() + '\n' + c.computer.toUtf8() + '\n' +
         c.machineId + '\n' + c.bootId + '\n' + c.account.toUtf8() + '\n' +
         c.since.toUTC().toString(Qt::ISODate).toUtf8() + '\n';
}

LockContents Parse(const QByteArray &bytes) {
  const QList<QByteArray> lines = bytes.split('\n');
  LockContents c;
  bool ok = false;
  c.pid = lines.value(0).trimmed().toLongLong(&ok);
  if (!ok || c.pid < 0) {
    c.pid = 0;
  }
  c.program = QString::fromUtf8(lines.value(1)).trimmed();
  c.computer = QString::fromUtf8(lines.value(2)).trimmed();
  c.machineId = lines.value(3).trimmed();
  c.bootId = lines.value(4).trimmed();
  c.account = QString::fromUtf8(lines.value(5)).trimmed();
  c.since = QDateTime::fromString(QString::fromLatin1(lines.value(6).trimmed()), Qt::ISODate);
  return c;
}

LockContents OwnContents() {
  LockContents c;
  c.pid = QCoreApplication::applicationPid();
  c.program = OwnProgram();
  c.computer = QSysInfo::machineHostName();
  c.machineId = QSysInfo::machineUniqueId();
  c.bootId = QSysInfo::bootUniqueId();
  c.account = OwnAccount();
  c.since = QDateTime::currentDateTimeUtc();
  return c;
}

bool SameComputer(const LockContents &c) {
  // Computer names are the same in any case: Windows gives Qt's lock files
  // its NetBIOS name ("VM") and the host name as "vm".
  if (c.computer.compare(QSysInfo::machineHostName(), Qt::CaseInsensitive) != 0) {
    return false;
  }
  return c.machineId.isEmpty() || c.machineId == QSysInfo::machineUniqueId();
}

// Whether the process that wrote a lock on this computer is gone: no such
// process, or one that is another program now (its number was reused), or
// the computer started again since.
bool HolderGone(const LockContents &c, const QDateTime &written) {
  if (c.pid <= 0) {
    return written.isValid() &&
           written.secsTo(QDateTime::currentDateTimeUtc()) > kUnwrittenLockSeconds;
  }
  if (!c.bootId.isEmpty() && c.bootId != QSysInfo::bootUniqueId()) {
    return true;
  }
#ifdef Q_OS_UNIX
  if (::kill(pid_t(c.pid), 0) != 0 && errno == ESRCH) {
    return true;
  }
#ifdef Q_OS_LINUX
  // The executable of that process, when this account may see it.
  QString exe = QFile::symLinkTarget(QStringLiteral("/proc/%1/exe").arg(c.pid));
  if (!exe.isEmpty() && !c.program.isEmpty()) {
    exe = QFileInfo(exe).fileName();
    if (exe.endsWith(QLatin1StringView(" (deleted)"))) {
      exe.chop(10);
    }
    return exe != c.program;
  }
#endif
  return false;
#elif defined(Q_OS_WIN)
  const HANDLE h = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, DWORD(c.pid));
  if (!h) {
    return ::GetLastError() == ERROR_INVALID_PARAMETER;
  }
  DWORD code = 0;
  const bool running = ::GetExitCodeProcess(h, &code) && code == STILL_ACTIVE;
  ::CloseHandle(h);
  return !running;
#else
  return false;
#endif
}

QString Shown(const QString &path) { return QDir::toNativeSeparators(path); }

#ifdef Q_OS_UNIX
QString ErrnoText(int code) {
  switch (code) {
  case EACCES:
  case EPERM:
    return QStringLiteral("accès refusé");
  case EROFS:
    return QStringLiteral("support en lecture seule");
  case ENOSPC:
    return QStringLiteral("disque plein");
  default:
    return QString::fromLocal8Bit(std::strerror(code));
  }
}

QString AccountOf(uid_t uid) {
  if (const struct passwd *pw = ::getpwuid(uid)) {
    return QString::fromLocal8Bit(pw->pw_name);
  }
  return QString::number(uid);
}

bool SameFile(const struct stat &a, const struct stat &b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool WriteAll(int fd, const QByteArray &bytes) {
  qsizetype done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n <= 0) {
      return false;
    }
    done += n;
  }
  return true;
}
#endif

} // namespace

QString LockHolder::text() const {
  QString out = program.isEmpty() ? QStringLiteral("un programme") : program;
  if (pid > 0) {
    out += QStringLiteral(" (processus %1)").arg(pid);
  }
  if (!computer.isEmpty()) {
    out += QStringLiteral(" sur l'ordinateur « %1 »").arg(computer);
  }
  if (!account.isEmpty()) {
    out += QStringLiteral(", compte « %1 »").arg(account);
  }
  if (since.isValid()) {
    const QDateTime local = since.toLocalTime();
    out += QStringLiteral(", depuis le %1 à %2")
               .arg(local.toString(QStringLiteral("dd/MM/yyyy")),
                    local.toString(QStringLiteral("HH:mm")));
  }
  return out;
}

QString DataFolderLockPath(const QString &dataFolder) {
  return dataFolder + QStringLiteral(".tensiolog.lock");
}

DataFolderLock::DataFolderLock(const QString &dataFolder) : folder_(dataFolder) {}

DataFolderLock::~DataFolderLock() { release(); }

DataFolderLock::Result DataFolderLock::failed(const QString &reason) {
  reason_ = reason;
  return Result::Failed;
}

DataFolderLock::Result DataFolderLock::take() {
  if (isHeld()) {
    return Result::Taken;
  }
  holder_ = {};
  reason_.clear();
  if (folder_.isEmpty() || !QFileInfo(folder_).isDir()) {
    return failed(QStringLiteral("le dossier de données « %1 » n'existe pas").arg(Shown(folder_)));
  }
#ifdef Q_OS_UNIX
  struct statvfs fs;
  if (::statvfs(QFile::encodeName(folder_).constData(), &fs) == 0 && (fs.f_flag & ST_RDONLY)) {
    reason_ = QStringLiteral("support en lecture seule");
    return Result::ReadOnly;
  }
#endif
  // A lock that was left behind is removed, then the lock is made again:
  // a few rounds, as another copy may be doing the same.
  for (int round = 0; round < 4; ++round) {
    const Result made = create();
    if (made != Result::Held) {
      return made;
    }
    const Result judged = judgeExisting();
    if (judged != Result::Taken) { // Taken here: the old lock is gone, try again
      return judged;
    }
  }
  return Result::Held;
}

#ifdef Q_OS_UNIX

// Creates the lock file: Taken, or Held when one is there already.
DataFolderLock::Result DataFolderLock::create() {
  const QString path = DataFolderLockPath(folder_);
  const int fd = ::open(QFile::encodeName(path).constData(),
                        O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) {
    const int e = errno;
    if (e == EEXIST) {
      return Result::Held;
    }
    if (e == EROFS) {
      reason_ = ErrnoText(e);
      return Result::ReadOnly;
    }
    QString why =
        QStringLiteral("impossible de créer le verrou %1 : %2").arg(Shown(path), ErrnoText(e));
    struct stat st;
    if ((e == EACCES || e == EPERM) && ::stat(QFile::encodeName(folder_).constData(), &st) == 0 &&
        st.st_uid != ::geteuid()) {
      why += QStringLiteral(" (le dossier appartient au compte « %1 »)").arg(AccountOf(st.st_uid));
    }
    return failed(why);
  }
  // Held for as long as the file is open: a copy of the program on this
  // computer, or Qt's own lock files, see it taken even before reading it.
  ::flock(fd, LOCK_EX | LOCK_NB);
  written_ = Serialize(OwnContents());
  if (!WriteAll(fd, written_) || ::fsync(fd) != 0) {
    const int e = errno;
    ::unlink(QFile::encodeName(path).constData());
    ::close(fd);
    return failed(
        QStringLiteral("impossible d'écrire le verrou %1 : %2").arg(Shown(path), ErrnoText(e)));
  }
  fd_ = fd;
  return Result::Taken;
}

// Looks at the lock that is there: Held (a holder lives, or cannot be
// judged), Taken when it was left behind and is now removed, ReadOnly or
// Failed when it cannot be removed.
DataFolderLock::Result DataFolderLock::judgeExisting() {
  const QString path = DataFolderLockPath(folder_);
  const QByteArray name = QFile::encodeName(path);
  struct stat st;
  if (::lstat(name.constData(), &st) != 0) {
    return errno == ENOENT ? Result::Taken : failed(ErrnoText(errno));
  }
  if (!S_ISREG(st.st_mode)) {
    return failed(QStringLiteral("le verrou %1 n'est pas un fichier ordinaire : retirez-le")
                      .arg(Shown(path)));
  }
  QByteArray bytes;
  bool readable = false;
  const int fd = ::open(name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd >= 0) {
    bytes.resize(kMaxLockBytes);
    const ssize_t n = ::read(fd, bytes.data(), size_t(bytes.size()));
    bytes.resize(n > 0 ? n : 0);
    readable = n >= 0;
  }
  const LockContents c = Parse(bytes);
  const QDateTime written = QDateTime::fromSecsSinceEpoch(st.st_mtime);
  holder_.pid = c.pid;
  holder_.program = c.program;
  holder_.computer = c.computer;
  holder_.otherAccount = st.st_uid != ::geteuid();
  holder_.account = holder_.otherAccount || c.account.isEmpty() ? AccountOf(st.st_uid) : c.account;
  holder_.since = (c.since.isValid() ? c.since : written).toLocalTime();
  holder_.otherComputer = readable && !c.computer.isEmpty() && !SameComputer(c);
  if (!readable || holder_.otherComputer || !HolderGone(c, written)) {
    if (fd >= 0) {
      ::close(fd);
    }
    return Result::Held;
  }
  // Left behind: removed only if nobody holds it open (Qt's lock files and
  // ours keep a lock on the open file) and it is still the same file.
  struct stat now;
  const bool same = ::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fstat(fd, &now) == 0 &&
                    SameFile(now, st) && ::lstat(name.constData(), &now) == 0 && SameFile(now, st);
  Result result = Result::Held;
  if (same) {
    if (::unlink(name.constData()) == 0) {
      result = Result::Taken;
    } else if (errno == EROFS) {
      reason_ = ErrnoText(EROFS);
      result = Result::ReadOnly;
    } else {
      result = failed(QStringLiteral("le verrou %1, laissé par %2, qui ne tourne plus, ne peut "
                                     "pas être retiré : %3")
                          .arg(Shown(path), holder_.text(), ErrnoText(errno)));
    }
  }
  ::close(fd);
  return result;
}

DataFolderLock::Result DataFolderLock::takeOver() {
  if (isHeld()) {
    return Result::Taken;
  }
  reason_.clear();
  const QString path = DataFolderLockPath(folder_);
  const QString temp =
      path + u'.' + QString::number(QRandomGenerator::global()->generate() & 0xFFFFFF, 36);
  const QByteArray tempName = QFile::encodeName(temp);
  const int fd =
      ::open(tempName.constData(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) {
    const int e = errno;
    return failed(
        QStringLiteral("impossible de créer le verrou %1 : %2").arg(Shown(path), ErrnoText(e)));
  }
  ::flock(fd, LOCK_EX | LOCK_NB);
  written_ = Serialize(OwnContents());
  if (!WriteAll(fd, written_) || ::fsync(fd) != 0 ||
      ::rename(tempName.constData(), QFile::encodeName(path).constData()) != 0) {
    const int e = errno;
    ::unlink(tempName.constData());
    ::close(fd);
    return failed(
        QStringLiteral("impossible de remplacer le verrou %1 : %2").arg(Shown(path), ErrnoText(e)));
  }
  fd_ = fd;
  return Result::Taken;
}

void DataFolderLock::release() {
  if (fd_ < 0) {
    return;
  }
  // Removed only while it is still this lock: another computer may have
  // taken the folder over since.
  const QByteArray name = QFile::encodeName(DataFolderLockPath(folder_));
  struct stat mine, there;
  if (::fstat(fd_, &mine) == 0 && ::lstat(name.constData(), &there) == 0 && SameFile(mine, there)) {
    ::unlink(name.constData());
  }
  ::close(fd_);
  fd_ = -1;
}

#else // Windows and others: the same rules through Qt's files and the Win32 process calls

DataFolderLock::Result DataFolderLock::create() {
  const QString path = DataFolderLockPath(folder_);
  auto file = std::make_unique<QFile>(path);
  if (!file->open(QIODevice::ReadWrite | QIODevice::NewOnly)) {
    if (QFileInfo::exists(path)) {
      return Result::Held;
    }
    if (!QFileInfo(folder_).isWritable()) {
      reason_ = QStringLiteral("support en lecture seule");
      return Result::ReadOnly;
    }
    return failed(QStringLiteral("impossible de créer le verrou %1 : %2")
                      .arg(Shown(path), file->errorString()));
  }
  written_ = Serialize(OwnContents());
  if (file->write(written_) != written_.size() || !file->flush()) {
    file->close();
    QFile::remove(path);
    return failed(QStringLiteral("impossible d'écrire le verrou %1").arg(Shown(path)));
  }
  file->close();
  fd_ = 1;
  return Result::Taken;
}

DataFolderLock::Result DataFolderLock::judgeExisting() {
  const QString path = DataFolderLockPath(folder_);
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    return QFileInfo::exists(path) ? Result::Held : Result::Taken;
  }
  const QByteArray bytes = file.read(kMaxLockBytes);
  file.close();
  const LockContents c = Parse(bytes);
  const QDateTime written = QFileInfo(path).lastModified();
  holder_.pid = c.pid;
  holder_.program = c.program;
  holder_.computer = c.computer;
  holder_.account = c.account;
  holder_.otherAccount = !c.account.isEmpty() && c.account != OwnAccount();
  holder_.since = (c.since.isValid() ? c.since : written).toLocalTime();
  holder_.otherComputer = !c.computer.isEmpty() && !SameComputer(c);
  if (holder_.otherComputer || !HolderGone(c, written.toUTC())) {
    return Result::Held;
  }
  return QFile::remove(path)
             ? Result::Taken
             : failed(QStringLiteral("le verrou %1 ne peut pas être retiré").arg(Shown(path)));
}

DataFolderLock::Result DataFolderLock::takeOver() {
  if (isHeld()) {
    return Result::Taken;
  }
  const QString path = DataFolderLockPath(folder_);
  written_ = Serialize(OwnContents());
  QFile::remove(path);
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly) ||
      file.write(written_) != written_.size() || !file.flush()) {
    return failed(QStringLiteral("impossible de remplacer le verrou %1").arg(Shown(path)));
  }
  fd_ = 1;
  return Result::Taken;
}

void DataFolderLock::release() {
  if (fd_ < 0) {
    return;
  }
  const QString path = DataFolderLockPath(folder_);
  QFile file(path);
  if (file.open(QIODevice::ReadOnly) && file.read(kMaxLockBytes) == written_) {
    file.close();
    QFile::remove(path);
  }
  fd_ = -1;
}

#endif

QString DataFolderLockHolder(const QString &dataFolder, qint64 *pid) {
  if (!QFileInfo::exists(DataFolderLockPath(dataFolder))) {
    return QString();
  }
  // Taking the lock succeeds only when nobody holds it (a lock left behind
  // is taken over); it is let go at once.
  DataFolderLock lock(dataFolder);
  if (lock.take() != DataFolderLock::Result::Held) {
    return QString();
  }
  if (pid) {
    *pid = lock.holderPid();
  }
  return lock.holder().isEmpty() ? QStringLiteral("?") : lock.holder();
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
