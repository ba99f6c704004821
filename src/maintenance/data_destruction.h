#pragma once

// Erasing stored data: the five kinds of data the destruction window offers,
// the deletions themselves and their report lines. No widget is touched.

#include "common/paths.h"

#include <QString>
#include <QStringList>
#include <array>

namespace tl {

inline constexpr int kDestructionItemCount = 5;
using DestructionChoice = std::array<bool, kDestructionItemCount>; // items 1 to 5

// The check box label of item n (1 to 5) and its result lines.
QString DestructionItemLabel(int item);
QString DestructionSuccessLine(int item);
QString DestructionFailureLine(int item);

// Deletes a folder with everything in it, the folder itself included, making
// read-only files and folders writable first. A symbolic link is removed,
// never followed. False when the folder does not exist or anything stayed.
bool RemoveFolderTree(const QString &path);
// Deletes one file, making it writable first. False when there is no such
// file or it could not be deleted.
bool RemoveFileForced(const QString &path);

// Runs the ticked deletions in the order 1 to 5 and returns one report line
// for each (an empty line for item 3 when the data folder cannot be listed).
// Item 3 removes only the files of the data folder itself whose names end in
// ".txt", and the record files of every kind the patient store registers
// with their kept-aside and rescue copies; when the data folder is unknown (its path is empty) and
// the current directory stands in for it, only the measurement files ("ARTL_*.txt").
QStringList DestroyData(const DestructionChoice &ticked, const StoragePaths &paths);

} // namespace tl
