#pragma once

// Whole-file reads and writes of the program's own files, and what keeps
// them safe: every failure carries the path and the system's reason.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace tl {

// What went wrong with a file: its path and the reason the system gave. An
// empty one means success, so `if (FileError e = WriteWholeFile(...))` reads
// "if it failed".
struct FileError {
  QString path;
  QString reason;

  explicit operator bool() const { return !reason.isEmpty(); }
  // "path : reason", for a line of its own in a message; the path with the
  // system's separators, as the other messages name files.
  QString text() const;
};

// Size limits of the reads: no file of the program's own comes near them,
// and a larger one is not read into memory.
inline constexpr qint64 kMaxMeasurementFileBytes = qint64(1) << 30; // about 8 million readings
inline constexpr qint64 kMaxSmallFileBytes = qint64(16) << 20;      // patient and preferences files

// Reads the whole file at `path` into `bytes` (emptied first). A missing or
// unreadable file, or one larger than `maxBytes`, is an error.
FileError ReadWholeFile(const QString &path, qint64 maxBytes, QByteArray *bytes);
// Writes a whole file atomically: beside the target, then renamed over it,
// so that a failure or a crash leaves the old file whole.
FileError WriteWholeFile(const QString &path, QByteArrayView bytes);

// Renames a file that could not be read to its name + ".illisible-" +
// yyyyMMdd-hhmmss (local time now), beside it, so that the next write cannot
// destroy what it holds. Returns the new path, or "" when it could not be
// renamed (an existing name is never replaced).
QString KeepFileAside(const QString &path);

// Removes, from `folder`, what saves interrupted by a crash or a kill left
// behind: the temporary files the atomic writer creates beside a target
// (the target's name + "." + six letters), and only for the program's own
// targets: the measurement files, ARTL_Users.ini, ARTL_Prefs.ini and the
// period reports. Any other name is kept. Returns how many were removed.
// Call it only while this copy of the program holds the single-instance lock.
int RemoveInterruptedSaves(const QString &folder);

} // namespace tl
