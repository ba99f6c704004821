#pragma once

// Files written where the person asks (an export, a PDF): a path that cannot
// be turned into a way of writing over the logbook or over someone else's
// file, even when it changes between the check and the write.

#include "common/file_io.h"

#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <functional>

namespace tl {

// Writes `bytes` as the file at `path`, whole or not at all:
// - the folder of `path` is opened once, and everything after happens in
//   that folder, whatever its path leads to later;
// - a symbolic link (or, on Windows, any reparse point) at the last
//   component is refused, never followed;
// - what stands at `path` is looked at through the handle opened on it: a
//   folder, a pipe or a device is refused, and so is a file of the logbook
//   (the same device and file number as a file of the data folders given,
//   of their archive and print folders, or the data folder of the profile),
//   wherever the path reaches it from (a link on a folder, a bind mount);
// - the bytes go to a temporary file in that same folder, made durable, then
//   renamed over the name: a rename replaces what stands there (a link
//   planted since is replaced, not followed).
// The folder itself may not be one of the logbook's folders.
FileError WriteOutputFile(const QString &path, QByteArrayView bytes,
                          const QStringList &dataFolders = {});

// For the tests: called once the target has been checked and the temporary
// written, just before the rename, to change what stands at the path.
void SetOutputFileHookForTesting(std::function<void()> hook);

} // namespace tl
