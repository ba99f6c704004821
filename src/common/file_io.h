#pragma once

// Whole-file reads and writes of the program's own files, and what keeps
// them safe: every failure carries the path and the system's reason.

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

class QFile;

namespace tl {

// What went wrong, for a person to read: the file (when there is one), the
// place in it (a line or a byte offset, when known) and why. `reason` is a
// French sentence fragment, lower case and without a final full stop
// ("disque plein", "JSON illisible"); the framing functions of
// common/error_text.h make it a box, a status line or a line of standard
// error. An empty one means success, so `if (FileError e = WriteWholeFile(...))`
// reads "if it failed". Failures that concern no file (the meter link) leave
// `path` empty.
struct FileError {
  QString path;
  QString reason;
  qint64 line = -1;   // 1-based line where the content went wrong, or -1
  qint64 offset = -1; // 0-based byte where it went wrong, or -1

  explicit operator bool() const { return !reason.isEmpty(); }
  bool operator==(const FileError &) const = default;
  // The reason with its place, which qualifies the reason's first clause:
  // "JSON illisible à l'octet 12", "XML illisible à la ligne 14 : balisage
  // incorrect".
  QString why() const;
  // "path : why", for a line of its own in a message (the path with the
  // system's separators, as the other messages name files); why() alone
  // when no file is concerned.
  QString text() const;
};

// The failure of `path` with the system's error number `code`, its reason in
// French where it is a common one.
FileError ErrnoFailure(const QString &path, int code);

// Size limits of the reads: no file of the program's own comes near them,
// and a larger one is not read into memory.
inline constexpr qint64 kMaxMeasurementFileBytes = qint64(1) << 30; // about 8 million readings
inline constexpr qint64 kMaxSmallFileBytes = qint64(16) << 20;      // patient and preferences files

// The system's reason for a failure in French where it is one of the common
// ones ("disque plein", "accès refusé"...); any other text as it stands,
// without a final full stop.
QString FrenchSystemReason(const QString &reason);

// Reads the whole file at `path` into `bytes` (emptied first). A missing or
// unreadable file, one larger than `maxBytes`, or anything that is not a
// regular file (a folder, a FIFO, a device: refused before it is opened, so
// that a read never blocks) is an error.
FileError ReadWholeFile(const QString &path, qint64 maxBytes, QByteArray *bytes);
// Opens a regular file for reading (a folder, a FIFO or a device is refused
// before anything waits on it), for the readers that read in chunks.
FileError OpenForReading(const QString &path, QFile &file);

// Writes a whole file atomically: beside the target (a temporary whose name
// carries the program's marker), flushed to the disk, renamed over it, the
// folder flushed, so that a failure, a crash or a power cut leaves the old
// file or the new one, whole. On Unix the file is readable by its owner alone.
FileError WriteWholeFile(const QString &path, QByteArrayView bytes);

// One file of a batch written whole or not at all.
struct PendingWrite {
  QString path;
  QByteArray bytes;
};
// Writes every file beside its target first and renames them over their
// targets only once all are written whole: a full disk changes none. The
// batch's journal goes in the first file's folder (see CommitBatch).
FileError WriteFilesAtomically(const QList<PendingWrite> &files);

// One version of a file as it was read: what identifies it (size,
// modification and change times, and the bytes themselves, which stand for
// any hash of them) and what a read found.
struct FileSnapshot {
  enum class State {
    Missing,    // no file there
    Read,       // read whole: `bytes`
    Unreadable, // something is there that could not be read: `error`
  };
  State state = State::Missing;
  FileError error;
  QByteArray bytes;
  qint64 size = -1;
  // The times, only ever compared: nanoseconds on Unix, milliseconds elsewhere.
  qint64 modified = -1;
  qint64 changed = -1; // last change of the file's metadata (a rename over it, a write)

  bool isRead() const { return state == State::Read; }
  bool isUnreadable() const { return state == State::Unreadable; }
  // The same version: both missing, or both read with the same bytes.
  bool sameContent(const FileSnapshot &other) const;
};

// Reads the file at `path`, as ReadWholeFile does, keeping its version. A
// symbolic link whose target is missing is unreadable, not missing: writing
// there would replace the link.
FileSnapshot ReadFileSnapshot(const QString &path, qint64 maxBytes);
// The file at `path` as it is now, when it may have changed since `before`
// was read: its size and times are compared first, and it is read again only
// when they differ. `*changed` tells whether its content differs from
// `before`'s.
FileSnapshot RefreshFileSnapshot(const QString &path, const FileSnapshot &before, qint64 maxBytes,
                                 bool *changed);
// The snapshot of a file just written with `bytes`.
FileSnapshot WrittenSnapshot(const QString &path, const QByteArray &bytes);

// Renames a file that could not be read to its name + ".illisible-" +
// yyyyMMdd-hhmmss (local time now), beside it, so that the next write cannot
// destroy what it holds. Returns the new path, or "" when it could not be
// renamed (an existing name is never replaced).
QString KeepFileAside(const QString &path);
// The name KeepFileAside would give `path` now, or "" when none is free;
// nothing is renamed.
QString AsideName(const QString &path);

// Removes, from `folder`, what saves interrupted by a crash or a kill left
// behind: the temporary files the program writes beside a target, which
// carry its marker in their names (kTemporaryMarker). Any other name is
// kept: "ARTL_Matin_Bob.txt.Backup" is the user's copy. Returns how many were
// removed. Call it only while this copy of the program holds the data
// folder's lock, once a batch cut short was finished (RecoverInterruptedBatch).
int RemoveInterruptedSaves(const QString &folder);

// A write past the process's file-size limit fails with an error that is
// reported, instead of killing the program (SIGXFSZ on Unix).
void IgnoreFileSizeLimitSignal();

// On Unix, makes a folder of health data private to its owner (0700); a
// no-op elsewhere, where the profile's access rights apply.
void MakeFolderPrivate(const QString &folder);

} // namespace tl
