#pragma once

#include <QByteArrayView>
#include <QFont>
#include <QIcon>
#include <QImage>
#include <QList>

namespace tl {

// The shared images are numbered 0 to kSharedImageCount - 1.
inline constexpr int kSharedImageCount = 13;

// The thirteen shared images, 0 to 12, held inside the program (PNG decoded
// with libpng into ARGB32 premultiplied). Images drawn in several sizes give
// their largest one. An unknown number gives a null image.
QImage SharedImage(int number);

// The image at `size` × `size` pixels: the drawing made for that size when
// there is one, otherwise the nearest larger drawing scaled down smoothly.
// Null for an unknown number or a size below 1.
QImage SharedImage(int number, int size);

// The sizes an image is drawn in, largest first (empty for an unknown number).
QList<int> SharedImageSizes(int number);

// The image as an icon holding every size it is drawn in.
QIcon SharedIcon(int number);

// Our own icon in place of the system icon library's icon of this index
// (the indices the windows name: 23, 27, 32, 70, 131, ...), drawn at 16, 24,
// 32, 48 and 64 pixels. An index we do not ship gives a neutral icon.
QIcon SystemIcon(int index);

// The same icon as an image of `size` × `size` pixels (for banners, the
// splash window and other canvases that draw it themselves).
QImage SystemIconImage(int index, int size);

// Whether SystemIcon(index) is an icon of its own rather than the neutral one.
bool HasSystemIcon(int index);

// Every system icon index the program ships an icon for, in increasing order.
QList<int> SystemIconIndices();

// The four shared fonts, 0 to 3 (family with substitutes, size in points,
// weight, best output quality). An unknown number gives the default font.
QFont SharedFont(int number);

// Decodes a PNG held in memory; a null image when the bytes are not a PNG
// this program can read (damaged, truncated, absurdly large).
QImage DecodePng(QByteArrayView bytes);

// Decodes the images and registers the font substitutes; called once at
// start-up. The functions above also work without it (they load on first use).
void LoadSharedAssets();

} // namespace tl
