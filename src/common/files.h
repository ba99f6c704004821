#pragma once

#include <QString>

namespace tl {

// Renames a file that could not be read to its name + ".illisible-" +
// yyyyMMdd-hhmmss (local time now), beside it, so that the next write cannot
// destroy what it holds. Returns the new path, or "" when it could not be
// renamed (an existing name is never replaced).
QString KeepFileAside(const QString &path);

// Removes, from `folder`, what saves interrupted by a crash or a kill left
// behind: the temporary files the atomic writer creates beside a target
// (the target's name + "." + six letters or digits), and only for targets
// named like the program's own files ("ARTL_..." or "Imp_ARTL_..." ending
// in ".txt" or ".ini"). Returns how many were removed. Call it only while
// this copy of the program holds the single-instance lock.
int RemoveInterruptedSaves(const QString &folder);

} // namespace tl
