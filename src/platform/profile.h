#pragma once

#include <QString>

namespace tl {

// The user's profile (home) folder, always ending in "/".
QString ProfileFolder();

} // namespace tl
