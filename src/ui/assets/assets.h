#pragma once

#include <QFont>
#include <QIcon>
#include <QImage>

namespace tl {

// The thirteen shared images, 0 to 12, held inside the program.
QImage SharedImage(int number);

// Our own icon in place of the system icon library's icon of this index
// (the indices the windows name: 23, 27, 32, 70, 131, ...).
QIcon SystemIcon(int index);

// The four shared fonts, 0 to 3 (family with substitutes, size in points, weight).
QFont SharedFont(int number);

// Loads images and registers font substitutes; called once at start-up.
void LoadSharedAssets();

} // namespace tl
