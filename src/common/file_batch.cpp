#include "common/file_batch.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSet>
#include <QUrl>

#include <cerrno>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif
#ifdef Q_OS_WIN
#include <io.h>
#include <windows.h>
#endif

namespace tl {

namespace {

BatchProbe *g_probe = nullptr;

// False when a probe stops the commit here, as a kill would.
bool Reached(BatchStep step, const QString &path) { return !g_probe || g_probe->step(step, path); }

FileError Interrupted(const QString &path) {
  return FileError{path, QStringLiteral("enregistrement interrompu")};
}

// A file that is a link to an existing file is written where the link
// points, so that the link stays (a logbook kept in a synchronised folder).
QString RealTarget(const QString &path) {
  const QFileInfo info(path);
  if (info.isSymLink() && info.exists()) {
    return info.canonicalFilePath();
  }
  return path;
}

QString FolderOf(const QString &path) { return QFileInfo(path).absolutePath(); }

// Writes `bytes` to the open `file` and puts them on the disk, then closes
// it; a file that could not be written whole is removed, and the failure is
// told for `shown`.
FileError WriteDurably(QFile &file, const QByteArray &bytes, const QString &shown) {
  bool ok = file.write(bytes) == bytes.size() && file.flush();
#ifdef Q_OS_UNIX
  ok = ok && ::fsync(file.handle()) == 0;
#elif defined(Q_OS_WIN)
  ok = ok && ::FlushFileBuffers(HANDLE(::_get_osfhandle(file.handle())));
#endif
  if (!ok) {
    const QString reason = file.errorString();
    file.close();
    file.remove();
    return FileError{
        shown, FrenchSystemReason(reason.isEmpty() ? QStringLiteral("disque plein") : reason)};
  }
  file.close();
  return {};
}

// Writes `bytes` to a new file beside `target`, named with the program's
// marker, and flushes it to the disk. `*temporary` gets its path.
FileError WriteTemporary(const QString &target, const QByteArray &bytes, QString *temporary) {
  static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  for (int attempt = 0; attempt < 100; ++attempt) {
    QString name = target + kTemporaryMarker;
    for (int i = 0; i < 6; ++i) {
      name += QLatin1Char(kLetters[QRandomGenerator::global()->bounded(36)]);
    }
#ifdef Q_OS_UNIX
    const int fd = ::open(QFile::encodeName(name).constData(),
                          O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0600);
    if (fd < 0) {
      if (errno == EEXIST) {
        continue;
      }
      return ErrnoFailure(target, errno);
    }
    *temporary = name;
    const char *p = bytes.constData();
    qint64 left = bytes.size();
    while (left > 0) {
      const ssize_t n = ::write(fd, p, size_t(left));
      if (n < 0 && errno == EINTR) {
        continue;
      }
      if (n <= 0) {
        const int code = n < 0 ? errno : ENOSPC;
        ::close(fd);
        ::unlink(QFile::encodeName(name).constData());
        return ErrnoFailure(target, code);
      }
      p += n;
      left -= n;
    }
    // On the disk before the journal names it: a disk that fills while the
    // data is flushed fails here, before any file was replaced.
    if (::fsync(fd) != 0 || ::close(fd) != 0) {
      const int code = errno;
      ::unlink(QFile::encodeName(name).constData());
      return ErrnoFailure(target, code);
    }
    return {};
#else
    QFile file(name);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
      if (QFileInfo::exists(name)) {
        continue;
      }
      return FileError{target, FrenchSystemReason(file.errorString())};
    }
    *temporary = name;
    return WriteDurably(file, bytes, target);
#endif
  }
  return FileError{target, QStringLiteral("aucun nom de fichier temporaire libre")};
}

// Flushes a folder's entries (the renames made in it) to the disk. Windows
// has no such call for a folder: there, MOVEFILE_WRITE_THROUGH makes each
// move durable before it returns.
void SyncFolder(const QString &folder) {
#ifdef Q_OS_UNIX
  const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) {
    ::fsync(fd);
    ::close(fd);
  }
#else
  Q_UNUSED(folder);
#endif
}

// Renames `from` to `to`, replacing `to` only when `replace` is set.
FileError RenameFile(const QString &from, const QString &to, bool replace) {
  if (!replace && (QFileInfo::exists(to) || QFileInfo(to).isSymLink())) {
    return ErrnoFailure(to, EEXIST);
  }
#ifdef Q_OS_WIN
  DWORD flags = MOVEFILE_WRITE_THROUGH;
  if (replace) {
    flags |= MOVEFILE_REPLACE_EXISTING;
  }
  if (!::MoveFileExW(reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(from).utf16()),
                     reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(to).utf16()),
                     flags)) {
    return FileError{to, FrenchSystemReason(qt_error_string(int(::GetLastError())))};
  }
  return {};
#elif defined(Q_OS_UNIX)
  if (::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0) {
    return ErrnoFailure(to, errno);
  }
  return {};
#else
  if (replace) {
    QFile::remove(to);
  }
  return QFile::rename(from, to) ? FileError{} : FileError{to, QStringLiteral("erreur inconnue")};
#endif
}

// Removes a file, also when it is marked read-only; one already gone is no failure.
FileError RemoveFile(const QString &path) {
  if (!QFileInfo::exists(path) && !QFileInfo(path).isSymLink()) {
    return {};
  }
  QFile file(path);
  if (file.remove()) {
    return {};
  }
  file.setPermissions(file.permissions() | QFileDevice::WriteOwner | QFileDevice::WriteUser);
  return file.remove() ? FileError{} : FileError{path, FrenchSystemReason(file.errorString())};
}

// --- The journal -----------------------------------------------------------
//
//   Tensiolog journal 1
//   ecarter <TAB> from <TAB> to
//   ecrire <TAB> size <TAB> temporary <TAB> target
//   deplacer <TAB> from <TAB> to
//   supprimer <TAB> path
//   fin
//
// UTF-8, CR LF; each path relative to the journal's folder where it lies
// within it, percent-encoded (a tab or a line end in a name stays one field).

constexpr QLatin1StringView kJournalHeader("Tensiolog journal 1");

struct Journal {
  struct Write {
    qint64 size = 0;
    QString temporary, target;
  };
  QList<FileBatch::Rename> asides, moves;
  QList<Write> writes;
  QStringList removals;
  bool whole = false; // its last line is "fin"
};

QByteArray EncodePath(const QDir &folder, const QString &path) {
  return QUrl::toPercentEncoding(folder.relativeFilePath(path), "/ ");
}

QString DecodePath(const QDir &folder, QByteArrayView field) {
  const QString text = QUrl::fromPercentEncoding(field.toByteArray());
  return QDir::isAbsolutePath(text) ? text : QDir::cleanPath(folder.absoluteFilePath(text));
}

QByteArray JournalBytes(const QDir &folder, const Journal &j) {
  QByteArray out = QByteArray(kJournalHeader.data(), kJournalHeader.size()) + "\r\n";
  for (const FileBatch::Rename &r : j.asides) {
    out += "ecarter\t" + EncodePath(folder, r.from) + '\t' + EncodePath(folder, r.to) + "\r\n";
  }
  for (const Journal::Write &w : j.writes) {
    out += "ecrire\t" + QByteArray::number(w.size) + '\t' + EncodePath(folder, w.temporary) + '\t' +
           EncodePath(folder, w.target) + "\r\n";
  }
  for (const FileBatch::Rename &r : j.moves) {
    out += "deplacer\t" + EncodePath(folder, r.from) + '\t' + EncodePath(folder, r.to) + "\r\n";
  }
  for (const QString &path : j.removals) {
    out += "supprimer\t" + EncodePath(folder, path) + "\r\n";
  }
  return out + "fin\r\n";
}

Journal ParseJournal(const QDir &folder, const QByteArray &bytes) {
  Journal j;
  const QList<QByteArray> lines = bytes.split('\n');
  if (lines.isEmpty() || lines.first().trimmed() != QByteArrayView(kJournalHeader)) {
    return j;
  }
  for (qsizetype i = 1; i < lines.size(); ++i) {
    const QByteArray line = lines[i].endsWith('\r') ? lines[i].chopped(1) : lines[i];
    if (line.isEmpty()) {
      continue;
    }
    j.whole = false; // only a last line "fin" makes it whole
    const QList<QByteArray> f = line.split('\t');
    if (f[0] == "fin" && f.size() == 1) {
      j.whole = true;
    } else if (f[0] == "ecrire" && f.size() == 4) {
      j.writes.append({f[1].toLongLong(), DecodePath(folder, f[2]), DecodePath(folder, f[3])});
    } else if ((f[0] == "ecarter" || f[0] == "deplacer") && f.size() == 3) {
      (f[0] == "ecarter" ? j.asides : j.moves)
          .append({DecodePath(folder, f[1]), DecodePath(folder, f[2])});
    } else if (f[0] == "supprimer" && f.size() == 2) {
      j.removals.append(DecodePath(folder, f[1]));
    } else {
      return Journal{}; // not a journal of ours: nothing is done after it
    }
  }
  return j;
}

QString JournalPath(const QString &folder) {
  return QDir(folder).absoluteFilePath(QString(kJournalName));
}

FileError WriteJournal(const QString &path, const QByteArray &bytes) {
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
    return FileError{path, FrenchSystemReason(file.errorString())};
  }
#ifdef Q_OS_UNIX
  file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
#endif
  if (FileError error = WriteDurably(file, bytes, path)) {
    return error;
  }
  SyncFolder(FolderOf(path));
  return {};
}

// Does what the journal asks, each step only where it is still to be done;
// false when a step failed.
bool RollForward(const Journal &j) {
  bool ok = true;
  QSet<QString> folders;
  const auto rename = [&](const QString &from, const QString &to, bool replace) {
    ok = !RenameFile(from, to, replace) && ok;
    folders << FolderOf(from) << FolderOf(to);
  };
  for (const FileBatch::Rename &r : j.asides) {
    if (QFileInfo::exists(r.from) && !QFileInfo::exists(r.to)) {
      rename(r.from, r.to, false);
    }
  }
  for (const Journal::Write &w : j.writes) {
    if (QFileInfo::exists(w.temporary)) {
      rename(w.temporary, w.target, true);
    }
  }
  for (const FileBatch::Rename &r : j.moves) {
    if (QFileInfo::exists(r.from) && !QFileInfo::exists(r.to)) {
      rename(r.from, r.to, false);
    }
  }
  for (const QString &path : j.removals) {
    ok = !RemoveFile(path) && ok;
    folders << FolderOf(path);
  }
  for (const QString &folder : folders) {
    SyncFolder(folder);
  }
  return ok;
}

void RemoveJournal(const QString &path) {
  QFile::remove(path);
  SyncFolder(FolderOf(path));
}

} // namespace

bool IsProgramTemporary(QStringView name) {
  const qsizetype at = name.size() - kTemporaryMarker.size() - 6;
  if (at < 1 || name.sliced(at, kTemporaryMarker.size()) != kTemporaryMarker) {
    return false;
  }
  for (QChar c : name.sliced(at + kTemporaryMarker.size())) {
    if (!((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9'))) {
      return false;
    }
  }
  return true;
}

void SetBatchProbe(BatchProbe *probe) { g_probe = probe; }

BatchRecovery RecoverInterruptedBatch(const QString &folder) {
  if (folder.isEmpty()) {
    return BatchRecovery::None;
  }
  const QString path = JournalPath(folder);
  if (!QFileInfo::exists(path)) {
    return BatchRecovery::None;
  }
  QByteArray bytes;
  ReadWholeFile(path, kMaxSmallFileBytes, &bytes);
  const Journal j = ParseJournal(QDir(folder), bytes);
  // Forward only when the journal is whole and every temporary not yet
  // renamed is complete: they were flushed before the journal was written.
  bool forward = j.whole;
  for (const Journal::Write &w : j.writes) {
    const QFileInfo temporary(w.temporary);
    forward = forward && (!temporary.exists() || temporary.size() == w.size);
  }
  if (forward) {
    if (!RollForward(j)) {
      return BatchRecovery::Incomplete;
    }
    RemoveJournal(path);
    return BatchRecovery::RolledForward;
  }
  // Cut before its first rename: every target is as it was.
  for (const Journal::Write &w : j.writes) {
    if (IsProgramTemporary(QFileInfo(w.temporary).fileName())) {
      QFile::remove(w.temporary);
    }
  }
  RemoveJournal(path);
  return BatchRecovery::RolledBack;
}

FileError CommitBatch(const QString &journalFolder, const FileBatch &batch) {
  const qsizetype steps =
      batch.writes.size() + batch.asides.size() + batch.moves.size() + batch.removals.size();
  if (steps == 0) {
    return {};
  }
  // One rename is atomic by itself: a journal only for more.
  const bool journaled = steps > 1 && !journalFolder.isEmpty();
  const QString journalPath = journaled ? JournalPath(journalFolder) : QString();
  if (journaled && QFileInfo::exists(journalPath) &&
      RecoverInterruptedBatch(journalFolder) == BatchRecovery::Incomplete) {
    return FileError{journalPath, QStringLiteral("un enregistrement précédent n'a pas pu être "
                                                 "terminé")};
  }

  Journal journal;
  journal.asides = batch.asides;
  journal.moves = batch.moves;
  journal.removals = batch.removals;
  const auto dropTemporaries = [&journal] {
    for (const Journal::Write &w : journal.writes) {
      QFile::remove(w.temporary);
    }
  };
  for (const PendingWrite &w : batch.writes) {
    Journal::Write entry{w.bytes.size(), QString(), RealTarget(w.path)};
    if (FileError error = WriteTemporary(entry.target, w.bytes, &entry.temporary)) {
      error.path = w.path;
      dropTemporaries();
      return error;
    }
    journal.writes.append(entry);
    if (!Reached(BatchStep::TemporarySynced, entry.temporary)) {
      return Interrupted(w.path);
    }
  }
  if (journaled) {
    if (const FileError error =
            WriteJournal(journalPath, JournalBytes(QDir(journalFolder), journal))) {
      dropTemporaries();
      return error;
    }
    if (!Reached(BatchStep::JournalSynced, journalPath)) {
      return Interrupted(journalPath);
    }
  }

  // The renames. A failure at the first leaves every file as it was; a
  // failure after it leaves the journal for the next attempt to finish.
  QSet<QString> folders;
  int done = 0;
  const auto failed = [&](FileError error) {
    if (done == 0) {
      dropTemporaries();
      if (journaled) {
        RemoveJournal(journalPath);
      }
    } else if (journaled) {
      error.reason += QStringLiteral(" (l'enregistrement sera terminé au prochain démarrage)");
    }
    return error;
  };
  // One step: a rename of `from` to `to`, or with no `from` the removal of
  // `to`. An empty error when it was done and no probe stopped there.
  const auto apply = [&](const QString &from, const QString &to, bool replace) -> FileError {
    if (FileError error = from.isEmpty() ? RemoveFile(to) : RenameFile(from, to, replace)) {
      return failed(error);
    }
    ++done;
    folders << FolderOf(to);
    if (!from.isEmpty()) {
      folders << FolderOf(from);
    }
    return Reached(BatchStep::Renamed, to) ? FileError{} : Interrupted(to);
  };
  for (const FileBatch::Rename &r : journal.asides) {
    if (FileError error = apply(r.from, r.to, false)) {
      return error;
    }
  }
  for (const Journal::Write &w : journal.writes) {
    if (FileError error = apply(w.temporary, w.target, true)) {
      return error;
    }
  }
  for (const FileBatch::Rename &r : journal.moves) {
    if (FileError error = apply(r.from, r.to, false)) {
      return error;
    }
  }
  for (const QString &path : journal.removals) {
    if (FileError error = apply(QString(), path, false)) {
      return error;
    }
  }
  for (const QString &folder : folders) {
    SyncFolder(folder);
    if (!Reached(BatchStep::FolderSynced, folder)) {
      return Interrupted(folder);
    }
  }
  if (journaled) {
    RemoveJournal(journalPath);
    if (!Reached(BatchStep::JournalRemoved, journalPath)) {
      return Interrupted(journalPath);
    }
  }
  return {};
}

} // namespace tl
