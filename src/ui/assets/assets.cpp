// Placeholder assets: plain images of the right sizes until the drawn ones land.
#include "ui/assets/assets.h"

#include <QPainter>

namespace tl {

QImage SharedImage(int number) {
  const int size = number == 1 ? 256 : number == 0 ? 64 : number == 2 ? 32 : 24;
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(QColor(200, 30, 40));
  return image;
}

QIcon SystemIcon(int index) {
  QImage image(16, 16, QImage::Format_ARGB32_Premultiplied);
  image.fill(QColor(60, 90, 160));
  return QIcon(QPixmap::fromImage(image));
}

QFont SharedFont(int number) {
  switch (number) {
  case 0:
    return QFont(QStringLiteral("Bahnschrift Semibold Condensed"), 11);
  case 1:
    return QFont(QStringLiteral("Bahnschrift Light SemiCondensed"), 9, QFont::Bold);
  case 2:
    return QFont(QStringLiteral("Harlow Solid Italic"), 12, QFont::Bold);
  default:
    return QFont(QStringLiteral("Courier New"), 12, QFont::Bold);
  }
}

void LoadSharedAssets() {}

} // namespace tl
