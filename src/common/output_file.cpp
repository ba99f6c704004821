#include "common/output_file.h"

#include "platform/profile.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSet>
#include <utility>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace tl {

namespace {

std::function<void()> &Hook() {
  static std::function<void()> hook;
  return hook;
}

// The data folders whose files an output must never replace: those given,
// and the profile's, each with "/" at the end.
QStringList LogbookFolders(const QStringList &dataFolders) {
  QStringList folders;
  const QString profile = ProfileFolder();
  for (QString folder :
       dataFolders + QStringList{profile.isEmpty()
                                     ? QString()
                                     : profile + QStringLiteral("Kestrune Arteline")}) {
    if (folder.isEmpty()) {
      continue;
    }
    if (!folder.endsWith(u'/')) {
      folder += u'/';
    }
    if (!folders.contains(folder)) {
      folders << folder;
    }
  }
  return folders;
}

// The folders of one data folder that hold logbook files.
QStringList FoldersOf(const QString &data) {
  return {data, data + QStringLiteral("Archives Arteline/"),
          data + QStringLiteral("Impression Arteline/")};
}

#ifdef Q_OS_UNIX

QString ErrnoText(int code) {
  return FrenchSystemReason(QString::fromLocal8Bit(std::strerror(code)));
}

using FileId = std::pair<quint64, quint64>; // device, inode

// The identities of the logbook's folders and of every file in them (their
// links followed: a link there to a file elsewhere protects that file too).
void CollectLogbookIds(const QStringList &dataFolders, QSet<FileId> *folders, QSet<FileId> *files) {
  for (const QString &data : LogbookFolders(dataFolders)) {
    for (const QString &folder : FoldersOf(data)) {
      const QByteArray path = QFile::encodeName(folder);
      struct stat st;
      if (::stat(path.constData(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        continue;
      }
      folders->insert({quint64(st.st_dev), quint64(st.st_ino)});
      DIR *dir = ::opendir(path.constData());
      if (!dir) {
        continue;
      }
      const int fd = ::dirfd(dir);
      while (const struct dirent *entry = ::readdir(dir)) {
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) {
          continue;
        }
        struct stat file;
        if (::fstatat(fd, entry->d_name, &file, 0) == 0 && !S_ISDIR(file.st_mode)) {
          files->insert({quint64(file.st_dev), quint64(file.st_ino)});
        }
      }
      ::closedir(dir);
    }
  }
}

class Fd {
public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) {
      ::close(fd_);
    }
  }
  Fd(const Fd &) = delete;
  Fd &operator=(const Fd &) = delete;
  int get() const { return fd_; }
  int release() { return std::exchange(fd_, -1); }
  void reset(int fd) {
    if (fd_ >= 0) {
      ::close(fd_);
    }
    fd_ = fd;
  }

private:
  int fd_;
};

bool WriteAll(int fd, QByteArrayView bytes) {
  const char *p = bytes.data();
  qsizetype left = bytes.size();
  while (left > 0) {
    const ssize_t n = ::write(fd, p, size_t(std::min<qsizetype>(left, 1 << 20)));
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n <= 0) {
      if (n == 0) {
        errno = EIO;
      }
      return false;
    }
    p += n;
    left -= n;
  }
  return true;
}

FileError WriteUnix(const QString &path, QByteArrayView bytes, const QStringList &dataFolders) {
  const QFileInfo info(path);
  const QString name = info.fileName();
  if (name.isEmpty() || name == u"." || name == u"..") {
    return {path, QStringLiteral("ce n'est pas un nom de fichier")};
  }
  QSet<FileId> logbookFolders, logbookFiles;
  CollectLogbookIds(dataFolders, &logbookFolders, &logbookFiles);

  // The folder, opened once: every later step is relative to it.
  const Fd folder(::open(QFile::encodeName(info.absolutePath()).constData(),
                         O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (folder.get() < 0) {
    return {path, ErrnoText(errno)};
  }
  struct stat st;
  if (::fstat(folder.get(), &st) != 0) {
    return {path, ErrnoText(errno)};
  }
  if (logbookFolders.contains({quint64(st.st_dev), quint64(st.st_ino)})) {
    return {path, QStringLiteral("ce dossier est un dossier des données de Tensiolog")};
  }

  // What stands at the name, opened without following a link and without
  // waiting on a pipe, then looked at through its handle.
  const QByteArray base = QFile::encodeName(name);
  const Fd target(
      ::openat(folder.get(), base.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  if (target.get() < 0) {
    const int e = errno;
    struct stat link;
    if (e == ELOOP || (::fstatat(folder.get(), base.constData(), &link, AT_SYMLINK_NOFOLLOW) == 0 &&
                       S_ISLNK(link.st_mode))) {
      return {path, QStringLiteral("c'est un lien symbolique")};
    }
    if (e != ENOENT) {
      return {path, ErrnoText(e)};
    }
  } else {
    if (::fstat(target.get(), &st) != 0) {
      return {path, ErrnoText(errno)};
    }
    if (!S_ISREG(st.st_mode)) {
      return {path, QStringLiteral("ce n'est pas un fichier ordinaire")};
    }
    if (logbookFiles.contains({quint64(st.st_dev), quint64(st.st_ino)})) {
      return {path, QStringLiteral("ce fichier fait partie des données de Tensiolog")};
    }
  }

  // The temporary beside the name, private, never an existing file.
  QByteArray temp;
  Fd out;
  for (int tries = 0; tries < 100 && out.get() < 0; ++tries) {
    temp = '.' + base.left(200) + ".tl-sortie-" +
           QByteArray::number(QRandomGenerator::global()->generate() & 0xFFFFFF, 36);
    out.reset(::openat(folder.get(), temp.constData(),
                       O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (out.get() < 0 && errno != EEXIST) {
      return {path, ErrnoText(errno)};
    }
  }
  if (out.get() < 0) {
    return {path, ErrnoText(EEXIST)};
  }
  const auto removeTemp = [&] { ::unlinkat(folder.get(), temp.constData(), 0); };
  if (!WriteAll(out.get(), bytes) || ::fsync(out.get()) != 0) {
    const int e = errno;
    removeTemp();
    return {path, ErrnoText(e)};
  }
  ::close(out.release());
  if (Hook()) {
    Hook()();
  }
  if (::renameat(folder.get(), temp.constData(), folder.get(), base.constData()) != 0) {
    const int e = errno;
    removeTemp();
    return {path, ErrnoText(e)};
  }
  ::fsync(folder.get()); // the rename itself made durable; a failure here loses nothing
  return {};
}

#endif

#ifdef Q_OS_WIN

// Volume serial number and file index of what stands at `path` (the
// identity the Unix code takes from device and inode: a hard link has its
// file's), opened through its links with `follow`, else the link itself;
// false when nothing can be opened there.
bool WinIdentity(const QString &path, bool follow, bool *reparse, bool *regular,
                 std::pair<quint64, quint64> *id) {
  const HANDLE h = ::CreateFileW(
      reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(path).utf16()),
      FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
      OPEN_EXISTING, (follow ? 0 : FILE_FLAG_OPEN_REPARSE_POINT) | FILE_FLAG_BACKUP_SEMANTICS,
      nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    return false;
  }
  BY_HANDLE_FILE_INFORMATION fi;
  const bool ok = ::GetFileInformationByHandle(h, &fi);
  ::CloseHandle(h);
  if (!ok) {
    return false;
  }
  *reparse = (fi.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  *regular = (fi.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 && !*reparse;
  *id = {quint64(fi.dwVolumeSerialNumber),
         quint64(fi.nFileIndexHigh) << 32 | quint64(fi.nFileIndexLow)};
  return true;
}

FileError WriteWindows(const QString &path, QByteArrayView bytes, const QStringList &dataFolders) {
  // The logbook's folders and files through their links (a junction or a
  // link there to a file elsewhere protects that file too), as on Unix.
  QSet<std::pair<quint64, quint64>> folders, files;
  for (const QString &data : LogbookFolders(dataFolders)) {
    for (const QString &folder : FoldersOf(data)) {
      bool reparse = false, regular = false;
      std::pair<quint64, quint64> id;
      if (WinIdentity(folder, true, &reparse, &regular, &id)) {
        folders.insert(id);
      }
      for (const QFileInfo &entry :
           QDir(folder).entryInfoList(QDir::Files | QDir::Hidden | QDir::System)) {
        if (WinIdentity(entry.absoluteFilePath(), true, &reparse, &regular, &id)) {
          files.insert(id);
        }
      }
    }
  }
  // The output's folder wherever its path leads; what stands at its name
  // never followed.
  bool reparse = false, regular = false;
  std::pair<quint64, quint64> id;
  if (WinIdentity(QFileInfo(path).absolutePath(), true, &reparse, &regular, &id) &&
      folders.contains(id)) {
    return {path, QStringLiteral("ce dossier est un dossier des données de Tensiolog")};
  }
  if (WinIdentity(path, false, &reparse, &regular, &id)) {
    if (reparse) {
      return {path, QStringLiteral("c'est un lien symbolique")};
    }
    if (!regular) {
      return {path, QStringLiteral("ce n'est pas un fichier ordinaire")};
    }
    if (files.contains(id)) {
      return {path, QStringLiteral("ce fichier fait partie des données de Tensiolog")};
    }
  }
  if (Hook()) {
    Hook()();
  }
  // The atomic writer renames with MoveFileEx, which replaces a link there
  // rather than following it.
  return WriteWholeFile(path, bytes);
}

#endif

} // namespace

FileError WriteOutputFile(const QString &path, QByteArrayView bytes,
                          const QStringList &dataFolders) {
#if defined(Q_OS_UNIX)
  return WriteUnix(path, bytes, dataFolders);
#elif defined(Q_OS_WIN)
  return WriteWindows(path, bytes, dataFolders);
#else
  return WriteWholeFile(path, bytes);
#endif
}

void SetOutputFileHookForTesting(std::function<void()> hook) { Hook() = std::move(hook); }

} // namespace tl
