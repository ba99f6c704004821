#pragma once

#include <QString>

namespace tl {

// The user's profile (home) folder, always ending in "/": USERPROFILE on
// Windows, HOME elsewhere, as the session sets them.
QString ProfileFolder();

// The environment variable that names the profile folder on this system.
const char *ProfileVariable();

} // namespace tl
