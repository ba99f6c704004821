#pragma once

// The lock that marks a running copy of the program, with Qt Core alone: the
// window takes it (SingleInstance), the command line only looks at it.

#include <QString>

namespace tl {

// A name every system accepts for a socket or a file, made from `name`: the
// readable part kept, anything unusual replaced, plus a hash so that
// distinct names stay distinct.
QString SafeInstanceName(const QString &name);

// The name used by the program: the title plus the user's login name.
QString DefaultInstanceName(const QString &programTitle);

// The lock file of the copy named `name` (as given to SingleInstance).
QString InstanceLockPath(const QString &name);

// Whether a copy named `name` runs now: its lock file is held by a living
// process. A lock left by a copy that died does not count.
bool IsInstanceRunning(const QString &name);

} // namespace tl
