#include "common/file_io.h"

#include "common/error_text.h"
#include "common/file_batch.h"
#include "platform/clock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <utility>

#ifdef Q_OS_UNIX
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace tl {

QString FileError::why() const {
  QString place;
  if (line >= 0) {
    place = QStringLiteral(" à la ligne %1").arg(line);
  } else if (offset >= 0) {
    place = QStringLiteral(" à l'octet %1").arg(offset);
  }
  if (place.isEmpty()) {
    return reason;
  }
  const qsizetype clause = reason.indexOf(QStringLiteral(" : "));
  QString full = reason;
  return full.insert(clause < 0 ? reason.size() : clause, place);
}

QString FileError::text() const {
  return path.isEmpty() ? why() : ShownPath(path) + QStringLiteral(" : ") + why();
}

namespace {

// The common failures in French, by the system's error number; their
// system texts are matched in the locale the process runs in.
struct ErrnoText {
  int code;
  const char *french;
};
#ifdef Q_OS_UNIX
constexpr ErrnoText kErrnoTexts[] = {
    {ENOSPC, "disque plein"},
    {EDQUOT, "quota de disque dépassé"},
    {EACCES, "accès refusé"},
    {EPERM, "opération non permise"},
    {ENOENT, "fichier ou dossier introuvable"},
    {ENAMETOOLONG, "nom de fichier trop long"},
    {EROFS, "support en lecture seule"},
    {EFBIG, "fichier trop volumineux pour le système"},
    {EISDIR, "c'est un dossier, pas un fichier"},
    {ENOTDIR, "un élément du chemin n'est pas un dossier"},
    {ELOOP, "trop de liens symboliques"},
    {EIO, "erreur d'entrée-sortie du disque"},
    {EMFILE, "trop de fichiers ouverts"},
    {ENFILE, "trop de fichiers ouverts"},
    {EBUSY, "fichier occupé par un autre programme"},
    {ETXTBSY, "fichier occupé par un autre programme"},
    {EEXIST, "le fichier existe déjà"},
    {EXDEV, "déplacement impossible d'un disque à un autre"},
};
#endif

// Texts that Qt or Windows give in English.
constexpr std::pair<const char *, const char *> kEnglishTexts[] = {
    {"Unknown error", "erreur inconnue"},
    {"There is not enough space on the disk.", "disque plein"},
    {"Access is denied.", "accès refusé"},
    {"The process cannot access the file because it is being used by another process.",
     "fichier occupé par un autre programme"},
    {"The system cannot find the file specified.", "fichier ou dossier introuvable"},
    {"The system cannot find the path specified.", "fichier ou dossier introuvable"},
    {"The filename, directory name, or volume label syntax is incorrect.",
     "nom de fichier incorrect"},
    {"The file name is too long.", "nom de fichier trop long"},
    {"The media is write protected.", "support en lecture seule"},
};

QString ErrnoReason(int code) {
#ifdef Q_OS_UNIX
  for (const ErrnoText &t : kErrnoTexts) {
    if (t.code == code) {
      return QString::fromUtf8(t.french);
    }
  }
  return QString::fromLocal8Bit(std::strerror(code));
#else
  Q_UNUSED(code);
  return QString();
#endif
}

// A failure always carries a reason, even when the system gave none.
FileError Failed(const QString &path, const QString &reason) {
  return FileError{path, reason.isEmpty() ? QStringLiteral("erreur inconnue")
                                          : FrenchSystemReason(reason)};
}

// Size and times of a file, its symbolic links followed.
struct FileMeta {
  bool exists = false;
  bool regular = false;
  qint64 size = -1, modified = -1, changed = -1;
};

#ifdef Q_OS_UNIX
qint64 Nanos(const struct timespec &t) { return qint64(t.tv_sec) * 1000000000 + t.tv_nsec; }

FileMeta MetaOf(const struct stat &st) {
  FileMeta m;
  m.exists = true;
  m.regular = S_ISREG(st.st_mode);
  m.size = st.st_size;
  // In nanoseconds: two writes in the same second still differ.
  m.modified = Nanos(st.st_mtim);
  m.changed = Nanos(st.st_ctim);
  return m;
}
#endif

FileMeta ReadMeta(const QString &path) {
#ifdef Q_OS_UNIX
  struct stat st;
  if (::stat(QFile::encodeName(path).constData(), &st) != 0) {
    return {};
  }
  return MetaOf(st);
#else
  const QFileInfo info(path);
  FileMeta m;
  m.exists = info.exists();
  if (m.exists) {
    m.regular = info.isFile();
    m.size = info.size();
    m.modified = info.lastModified().toMSecsSinceEpoch();
    m.changed = info.metadataChangeTime().toMSecsSinceEpoch();
  }
  return m;
#endif
}

#ifndef Q_OS_UNIX
QString NotRegularReason(const QString &path) {
  return QFileInfo(path).isDir() ? QStringLiteral("c'est un dossier, pas un fichier")
                                 : QStringLiteral("ce n'est pas un fichier ordinaire");
}
#endif

// Opens a regular file for reading without ever waiting: a FIFO, a device or
// a folder is refused before anything reads from it. `meta` gets the size and
// times of the file opened.
FileError OpenRegularFile(const QString &path, QFile &file, FileMeta *meta) {
#ifdef Q_OS_UNIX
  const int fd =
      ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) {
    return Failed(path, ErrnoReason(errno));
  }
  struct stat st;
  if (::fstat(fd, &st) != 0) {
    const int code = errno;
    ::close(fd);
    return Failed(path, ErrnoReason(code));
  }
  if (!S_ISREG(st.st_mode)) {
    ::close(fd);
    return Failed(path, S_ISDIR(st.st_mode) ? QStringLiteral("c'est un dossier, pas un fichier")
                                            : QStringLiteral("ce n'est pas un fichier ordinaire"));
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
    ::close(fd);
    return Failed(path, file.errorString());
  }
  *meta = MetaOf(st);
  return {};
#else
  *meta = ReadMeta(path);
  if (meta->exists && !meta->regular) {
    return Failed(path, NotRegularReason(path));
  }
  file.setFileName(path);
  if (!file.open(QIODevice::ReadOnly)) {
    return Failed(path, file.errorString());
  }
  return {};
#endif
}

FileError ReadOpenFile(const QString &path, QFile &file, qint64 maxBytes, QByteArray *bytes) {
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

} // namespace

QString FrenchSystemReason(const QString &reason) {
#ifdef Q_OS_UNIX
  for (const ErrnoText &t : kErrnoTexts) {
    if (reason == QString::fromLocal8Bit(std::strerror(t.code))) {
      return QString::fromUtf8(t.french);
    }
  }
#endif
  for (const auto &[english, french] : kEnglishTexts) {
    if (reason == QLatin1StringView(english)) {
      return QString::fromUtf8(french);
    }
  }
  // A reason is framed by whoever shows it: a system text's own full stop
  // would make two.
  return reason.endsWith(u'.') && !reason.endsWith(QStringLiteral("..")) ? reason.chopped(1)
                                                                         : reason;
}

FileError OpenForReading(const QString &path, QFile &file) {
  FileMeta meta;
  return OpenRegularFile(path, file, &meta);
}

FileError ReadWholeFile(const QString &path, qint64 maxBytes, QByteArray *bytes) {
  bytes->clear();
  QFile file;
  FileMeta meta;
  if (FileError error = OpenRegularFile(path, file, &meta)) {
    return error;
  }
  return ReadOpenFile(path, file, maxBytes, bytes);
}

FileError ErrnoFailure(const QString &path, int code) { return Failed(path, ErrnoReason(code)); }

FileError WriteWholeFile(const QString &path, QByteArrayView bytes) {
  FileBatch batch;
  batch.writes.append({path, bytes.toByteArray()});
  return CommitBatch(QString(), batch);
}

FileError WriteFilesAtomically(const QList<PendingWrite> &files) {
  FileBatch batch;
  batch.writes = files;
  return CommitBatch(files.isEmpty() ? QString() : QFileInfo(files.first().path).absolutePath(),
                     batch);
}

bool FileSnapshot::sameContent(const FileSnapshot &other) const {
  if (state != other.state || state == State::Unreadable) {
    return false;
  }
  return state == State::Missing || bytes == other.bytes;
}

FileSnapshot ReadFileSnapshot(const QString &path, qint64 maxBytes) {
  FileSnapshot s;
  QFile file;
  FileMeta meta;
  FileError error = OpenRegularFile(path, file, &meta);
  if (!error) {
    error = ReadOpenFile(path, file, maxBytes, &s.bytes);
  }
  if (!error) {
    s.state = FileSnapshot::State::Read;
    s.size = meta.size;
    s.modified = meta.modified;
    s.changed = meta.changed;
    return s;
  }
  const QFileInfo info(path);
  if (info.isSymLink() && !info.exists()) {
    s.state = FileSnapshot::State::Unreadable;
    s.error = {path, QStringLiteral("lien symbolique dont la cible n'existe pas")};
  } else if (info.exists() || info.isSymLink()) {
    s.state = FileSnapshot::State::Unreadable;
    s.error = error;
  }
  return s; // Missing: nothing there
}

FileSnapshot RefreshFileSnapshot(const QString &path, const FileSnapshot &before, qint64 maxBytes,
                                 bool *changed) {
  const FileMeta now = ReadMeta(path);
  if (before.isRead() && now.exists && now.size == before.size && now.modified == before.modified &&
      now.changed == before.changed) {
    *changed = false;
    return before;
  }
  if (before.state == FileSnapshot::State::Missing && !now.exists && !QFileInfo(path).isSymLink()) {
    *changed = false;
    return before;
  }
  FileSnapshot fresh = ReadFileSnapshot(path, maxBytes);
  *changed = !fresh.sameContent(before);
  return fresh;
}

FileSnapshot WrittenSnapshot(const QString &path, const QByteArray &bytes) {
  FileSnapshot s;
  s.state = FileSnapshot::State::Read;
  s.bytes = bytes;
  const FileMeta meta = ReadMeta(path);
  s.size = meta.size;
  s.modified = meta.modified;
  s.changed = meta.changed;
  return s;
}

QString AsideName(const QString &path) {
  const QString stamp = clock().now().toString(QStringLiteral("yyyyMMdd-hhmmss"));
  const QString base = path + QStringLiteral(".illisible-") + stamp;
  // Two files kept aside in the same second get "-2", "-3"...
  for (int n = 1; n < 100; ++n) {
    const QString target = n == 1 ? base : base + u'-' + QString::number(n);
    if (!QFileInfo::exists(target) && !QFileInfo(target).isSymLink()) {
      return target;
    }
  }
  return QString();
}

QString KeepFileAside(const QString &path) {
  const QString target = AsideName(path);
  return !target.isEmpty() && QFile::rename(path, target) ? target : QString();
}

int RemoveInterruptedSaves(const QString &folder) {
  if (folder.isEmpty()) {
    return 0;
  }
  QDir dir(folder);
  int removed = 0;
  const QStringList names = dir.entryList(QDir::Files | QDir::Hidden | QDir::System);
  for (const QString &name : names) {
    if (IsProgramTemporary(name) && dir.remove(name)) {
      ++removed;
    }
  }
  return removed;
}

void IgnoreFileSizeLimitSignal() {
#ifdef Q_OS_UNIX
  ::signal(SIGXFSZ, SIG_IGN);
#endif
}

void MakeFolderPrivate(const QString &folder) {
#ifdef Q_OS_UNIX
  if (!folder.isEmpty()) {
    QFile::setPermissions(folder,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
  }
#else
  Q_UNUSED(folder);
#endif
}

} // namespace tl
