// Shared images, our replacements for the system icons, and the shared fonts.
// The pictures are PNG files embedded through the Qt resource system and
// decoded with libpng's simplified API.
#include "ui/assets/assets.h"

#include <QFontInfo>
#include <QGuiApplication>

#include <QFile>
#include <QHash>
#include <QPixmap>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <array>
#include <mutex>
#include <png.h>

// Q_INIT_RESOURCE declares a function at namespace scope, so it lives out here.
static void InitAssetResources() { Q_INIT_RESOURCE(tensiolog_assets); }

namespace tl {

namespace {

constexpr int kIconSizes[] = {64, 48, 32, 24, 16};

// Icons we draw in place of the system library's, by index.
constexpr int kSystemIconIndices[] = {23,  27,  32,  70,  93,  109, 131, 152, 158, 159, 216,
                                      221, 225, 238, 258, 265, 269, 293, 300, 314, 316};

// Sizes each shared image is drawn in, largest first.
const QList<int> &ImageSizeTable(int number) {
  static const std::array<QList<int>, kSharedImageCount> table = {
      QList<int>{64}, {256},    {32},     {64, 48, 32, 24, 16},
      {16},           {16},     {24},     {24, 16},
      {24, 16},       {24, 16}, {24, 16}, {24, 16},
      {24, 16}};
  static const QList<int> none;
  return number >= 0 && number < kSharedImageCount ? table[number] : none;
}

// Limit on the pictures we accept; ours are at most 256 pixels wide.
constexpr png_uint_32 kMaxSide = 4096;

// Resource paths of the renders (see resources/render.sh); icon index -1 is
// the neutral icon.
QString ImagePath(int number, int size) {
  return QStringLiteral(":/tensiolog/images/image_%1_%2.png")
      .arg(number, 2, 10, QLatin1Char('0'))
      .arg(size);
}

QString IconPath(int index, int size) {
  if (index < 0) {
    return QStringLiteral(":/tensiolog/icons/neutral_%1.png").arg(size);
  }
  return QStringLiteral(":/tensiolog/icons/shell_%1_%2.png")
      .arg(index, 3, 10, QLatin1Char('0'))
      .arg(size);
}

QImage LoadResourcePng(const QString &path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    return {};
  }
  return DecodePng(file.readAll());
}

// Every embedded picture, decoded once on first use and read-only afterwards
// (so any thread may copy images out of it).
class ImageStore {
public:
  static const ImageStore &instance() {
    static const ImageStore store;
    return store;
  }

  QImage image(const QString &path) const { return images_.value(path); }

private:
  ImageStore() {
    InitAssetResources();
    for (int n = 0; n < kSharedImageCount; ++n) {
      for (int size : ImageSizeTable(n)) {
        add(ImagePath(n, size));
      }
    }
    for (int index : kSystemIconIndices) {
      for (int size : kIconSizes) {
        add(IconPath(index, size));
      }
    }
    for (int size : kIconSizes) {
      add(IconPath(-1, size));
    }
  }

  void add(const QString &path) { images_.insert(path, LoadResourcePng(path)); }

  QHash<QString, QImage> images_;
};

// The drawing for `size`, or the nearest larger one scaled down (the
// smallest one scaled up when every drawing is smaller).
QImage PickSize(const QList<QImage> &drawings, int size) {
  if (size < 1) {
    return {};
  }
  const QImage *larger = nullptr;
  const QImage *largest = nullptr;
  for (const QImage &image : drawings) {
    if (image.isNull()) {
      continue;
    }
    if (image.width() == size) {
      return image;
    }
    if (image.width() > size && (!larger || image.width() < larger->width())) {
      larger = &image;
    }
    if (!largest || image.width() > largest->width()) {
      largest = &image;
    }
  }
  const QImage *source = larger ? larger : largest;
  if (!source) {
    return {};
  }
  return source->scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation)
      .convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

QList<QImage> SharedDrawings(int number) {
  QList<QImage> drawings;
  for (int size : ImageSizeTable(number)) {
    drawings.append(ImageStore::instance().image(ImagePath(number, size)));
  }
  return drawings;
}

QList<QImage> IconDrawings(int index) {
  const int key = HasSystemIcon(index) ? index : -1;
  QList<QImage> drawings;
  for (int size : kIconSizes) {
    drawings.append(ImageStore::instance().image(IconPath(key, size)));
  }
  return drawings;
}

QIcon IconOf(const QList<QImage> &drawings) {
  QIcon icon;
  for (const QImage &image : drawings) {
    if (!image.isNull()) {
      icon.addPixmap(QPixmap::fromImage(image));
    }
  }
  return icon;
}

// Windows families first; on other systems fontconfig knows none of them, so
// each gets look-alikes that the setup script installs.
void RegisterFontSubstitutes() {
  static std::once_flag once;
  std::call_once(once, [] {
    // Narrow faces first: the layout's fixed label and button widths were
    // made for the Bahnschrift condensed faces.
    const QStringList condensedSans = {
        QStringLiteral("Liberation Sans Narrow"), QStringLiteral("Nimbus Sans Narrow"),
        QStringLiteral("Arial Narrow"), QStringLiteral("DejaVu Sans Condensed")};
    QFont::insertSubstitutions(QStringLiteral("Bahnschrift Semibold Condensed"), condensedSans);
    QFont::insertSubstitutions(QStringLiteral("Bahnschrift Light SemiCondensed"), condensedSans);
    QFont::insertSubstitutions(QStringLiteral("Harlow Solid Italic"),
                               {QStringLiteral("Z003"), QStringLiteral("URW Chancery L"),
                                QStringLiteral("Monotype Corsiva")});
    QFont::insertSubstitutions(QStringLiteral("Courier New"),
                               {QStringLiteral("Liberation Mono"), QStringLiteral("Nimbus Mono PS"),
                                QStringLiteral("DejaVu Sans Mono")});
  });
}

} // namespace

QImage DecodePng(QByteArrayView bytes) {
  if (bytes.isEmpty()) {
    return {};
  }
  png_image png{};
  png.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&png, bytes.data(), size_t(bytes.size()))) {
    return {};
  }
  if (png.width == 0 || png.height == 0 || png.width > kMaxSide || png.height > kMaxSide) {
    png_image_free(&png);
    return {};
  }
  png.format = PNG_FORMAT_RGBA;
  QImage rgba(int(png.width), int(png.height), QImage::Format_RGBA8888);
  if (rgba.isNull()) {
    png_image_free(&png);
    return {};
  }
  // For 8-bit formats the row stride counts bytes.
  if (!png_image_finish_read(&png, nullptr, rgba.bits(), png_int_32(rgba.bytesPerLine()),
                             nullptr)) {
    png_image_free(&png);
    return {};
  }
  return rgba.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

QList<int> SharedImageSizes(int number) { return ImageSizeTable(number); }

QImage SharedImage(int number) {
  const QList<int> &sizes = ImageSizeTable(number);
  if (sizes.isEmpty()) {
    return {};
  }
  return ImageStore::instance().image(ImagePath(number, sizes.first()));
}

QImage SharedImage(int number, int size) { return PickSize(SharedDrawings(number), size); }

QIcon SharedIcon(int number) { return IconOf(SharedDrawings(number)); }

bool HasSystemIcon(int index) {
  return std::find(std::begin(kSystemIconIndices), std::end(kSystemIconIndices), index) !=
         std::end(kSystemIconIndices);
}

QList<int> SystemIconIndices() {
  return QList<int>(std::begin(kSystemIconIndices), std::end(kSystemIconIndices));
}

QIcon SystemIcon(int index) { return IconOf(IconDrawings(index)); }

QImage SystemIconImage(int index, int size) { return PickSize(IconDrawings(index), size); }

QFont SharedFont(int number) {
  struct FontEntry {
    const char *family;
    int points;
    QFont::Weight weight;
  };
  static constexpr FontEntry kFonts[] = {
      {"Bahnschrift Semibold Condensed", 11, QFont::Normal},
      {"Bahnschrift Light SemiCondensed", 9, QFont::Bold},
      {"Harlow Solid Italic", 12, QFont::Bold},
      {"Courier New", 12, QFont::Bold},
  };
  if (number < 0 || number >= int(std::size(kFonts))) {
    return QFont();
  }
  RegisterFontSubstitutes();
  const FontEntry &entry = kFonts[number];
  QFont font(QString::fromLatin1(entry.family), entry.points, entry.weight);
  font.setStyleStrategy(QFont::StyleStrategy(QFont::PreferQuality | QFont::PreferAntialias));
  return font;
}

void LoadSharedAssets() {
  RegisterFontSubstitutes();
  ImageStore::instance();
#ifndef Q_OS_WIN
  // The system controls' texts were laid out for the Windows interface font
  // (Segoe UI 9 pt); an Arial-metric face keeps them inside their boxes.
  if (qGuiApp != nullptr && QFontInfo(QFont(QStringLiteral("Liberation Sans"))).family() ==
                                QStringLiteral("Liberation Sans")) {
    QFont font(QStringLiteral("Liberation Sans"), 9);
    font.setStyleStrategy(QFont::PreferQuality);
    QGuiApplication::setFont(font);
  }
#endif
}

} // namespace tl
