// Shared images and icons (decoding, sizes, alpha), fonts and their
// substitutes, and the documents the build ships beside the program.
#include "fakes.h"

#include "ui/assets/assets.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFontInfo>
#include <QPainter>
#include <QSet>
#include <QStringDecoder>
#include <QTest>
#include <QtEndian>
#include <zlib.h>

using namespace tl;

namespace {

// Every system icon index the windows of the program name.
const int kUsedIconIndices[] = {23,  27,  32,  70,  93,  109, 131, 152, 158, 159, 216,
                                221, 225, 238, 258, 265, 269, 293, 300, 314, 316};

QByteArray PngBytes(const QImage &image) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  return bytes;
}

QByteArray Chunk(const char *type, const QByteArray &data) {
  QByteArray chunk;
  quint32 length = qToBigEndian(quint32(data.size()));
  chunk.append(reinterpret_cast<const char *>(&length), 4);
  QByteArray body = QByteArray(type) + data;
  chunk.append(body);
  quint32 crc = qToBigEndian(
      quint32(crc32(0, reinterpret_cast<const Bytef *>(body.constData()), uInt(body.size()))));
  chunk.append(reinterpret_cast<const char *>(&crc), 4);
  return chunk;
}

// A well-formed PNG header announcing a picture of width × height.
QByteArray PngHeader(quint32 width, quint32 height) {
  QByteArray ihdr;
  const quint32 w = qToBigEndian(width), h = qToBigEndian(height);
  ihdr.append(reinterpret_cast<const char *>(&w), 4);
  ihdr.append(reinterpret_cast<const char *>(&h), 4);
  ihdr.append("\x08\x06\x00\x00\x00", 5); // 8 bits, RGBA, deflate, no filter, no interlace
  return QByteArray("\x89PNG\r\n\x1a\n", 8) + Chunk("IHDR", ihdr) + Chunk("IEND", {});
}

// Whether a picture has real content: some fully opaque pixels and at least
// an eighth of its area covered.
bool HasContent(const QImage &image) {
  int covered = 0;
  int opaque = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      const int alpha = qAlpha(image.pixel(x, y));
      covered += alpha > 0;
      opaque += alpha == 255;
    }
  }
  return opaque > 0 && covered * 8 > image.width() * image.height();
}

QString DocsDir() { return QString::fromUtf8(TENSIOLOG_DOCS_DIR) + u'/'; }

} // namespace

class TestAssets : public QObject {
  Q_OBJECT

private slots:
  void initTestCase() { LoadSharedAssets(); }

  void sharedImages_data() {
    QTest::addColumn<int>("number");
    QTest::addColumn<int>("size");
    const QList<QList<int>> sizes = {{64},     {256},    {32},     {64, 48, 32, 24, 16},
                                     {16},     {16},     {24},     {24, 16},
                                     {24, 16}, {24, 16}, {24, 16}, {24, 16},
                                     {24, 16}};
    QCOMPARE(sizes.size(), kSharedImageCount);
    for (int n = 0; n < kSharedImageCount; ++n) {
      QCOMPARE(SharedImageSizes(n), sizes[n]);
      for (int size : sizes[n]) {
        QTest::addRow("image %d at %d", n, size) << n << size;
      }
    }
  }
  void sharedImages() {
    QFETCH(int, number);
    QFETCH(int, size);
    const QImage image = SharedImage(number, size);
    QCOMPARE(image.size(), QSize(size, size));
    QCOMPARE(image.format(), QImage::Format_ARGB32_Premultiplied);
    QVERIFY(image.hasAlphaChannel());
    // Drawn on a transparent ground: clear corners, and a real picture in the middle.
    QCOMPARE(qAlpha(image.pixel(0, 0)), 0);
    QVERIFY2(HasContent(image), "the picture is almost empty");
  }

  void largestSizeByDefault() {
    for (int n = 0; n < kSharedImageCount; ++n) {
      QCOMPARE(SharedImage(n), SharedImage(n, SharedImageSizes(n).first()));
    }
    QCOMPARE(SharedIcon(3).availableSizes().size(), 5);
    QVERIFY(SharedIcon(7).availableSizes().contains(QSize(16, 16)));
  }

  void otherSizesAndNumbers_data() {
    QTest::addColumn<int>("number");
    QTest::addColumn<int>("size");
    QTest::addColumn<bool>("valid");
    QTest::newRow("between drawn sizes") << 3 << 40 << true;
    QTest::newRow("larger than drawn") << 12 << 48 << true;
    QTest::newRow("banner size of the logo") << 0 << 32 << true;
    QTest::newRow("zero size") << 3 << 0 << false;
    QTest::newRow("negative number") << -1 << 16 << false;
    QTest::newRow("number past the end") << 13 << 16 << false;
  }
  void otherSizesAndNumbers() {
    QFETCH(int, number);
    QFETCH(int, size);
    QFETCH(bool, valid);
    const QImage image = SharedImage(number, size);
    QCOMPARE(!image.isNull(), valid);
    if (valid) {
      QCOMPARE(image.size(), QSize(size, size));
      QCOMPARE(image.format(), QImage::Format_ARGB32_Premultiplied);
    }
  }

  void systemIcons_data() {
    QTest::addColumn<int>("index");
    for (int index : kUsedIconIndices) {
      QTest::addRow("%d", index) << index;
    }
  }
  void systemIcons() {
    QFETCH(int, index);
    QVERIFY(HasSystemIcon(index));
    const QIcon icon = SystemIcon(index);
    QVERIFY(!icon.isNull());
    for (int size : {16, 24, 32, 48, 64}) {
      QVERIFY(icon.availableSizes().contains(QSize(size, size)));
      const QImage image = SystemIconImage(index, size);
      QCOMPARE(image.size(), QSize(size, size));
      QVERIFY(image.hasAlphaChannel());
      QVERIFY(HasContent(image));
    }
    QVERIFY(SystemIconImage(index, 32) != SystemIconImage(-1, 32));
  }

  void everyIconDiffers() {
    QSet<QByteArray> seen;
    for (int index : SystemIconIndices()) {
      const QImage image = SystemIconImage(index, 32);
      const QByteArray bytes(reinterpret_cast<const char *>(image.constBits()),
                             image.sizeInBytes());
      QVERIFY2(!seen.contains(bytes), qPrintable(QStringLiteral("icon %1").arg(index)));
      seen.insert(bytes);
    }
    QCOMPARE(SystemIconIndices().size(), int(std::size(kUsedIconIndices)));
  }

  void unknownIndexGivesNeutralIcon_data() {
    QTest::addColumn<int>("index");
    QTest::newRow("0") << 0;
    QTest::newRow("negative") << -7;
    QTest::newRow("unused") << 24;
    QTest::newRow("huge") << std::numeric_limits<int>::max();
  }
  void unknownIndexGivesNeutralIcon() {
    QFETCH(int, index);
    QVERIFY(!HasSystemIcon(index));
    QVERIFY(!SystemIcon(index).isNull());
    QCOMPARE(SystemIconImage(index, 24), SystemIconImage(-1, 24));
    QVERIFY(!SystemIconImage(index, 24).isNull());
  }

  void decodePng_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QSize>("size");
    QImage colours(3, 2, QImage::Format_ARGB32);
    colours.fill(Qt::transparent);
    colours.setPixel(0, 0, qRgba(255, 0, 0, 255));
    colours.setPixel(1, 0, qRgba(0, 0, 255, 128));
    colours.setPixel(2, 1, qRgba(10, 200, 30, 255));
    const QByteArray good = PngBytes(colours);
    QTest::newRow("valid") << good << QSize(3, 2);
    QTest::newRow("palette") << PngBytes(colours.convertToFormat(QImage::Format_Indexed8))
                             << QSize(3, 2);
    QTest::newRow("grey") << PngBytes(colours.convertToFormat(QImage::Format_Grayscale8))
                          << QSize(3, 2);
    QTest::newRow("empty") << QByteArray() << QSize();
    QTest::newRow("not a png") << QByteArray("GIF89a, or anything else") << QSize();
    QTest::newRow("signature only") << good.left(8) << QSize();
    QTest::newRow("truncated") << good.left(good.size() / 2) << QSize();
    QTest::newRow("header without pixels") << PngHeader(4, 4) << QSize();
    QTest::newRow("absurd size") << PngHeader(100000, 100000) << QSize();
    QTest::newRow("zero width") << PngHeader(0, 10) << QSize();
  }
  void decodePng() {
    QFETCH(QByteArray, bytes);
    QFETCH(QSize, size);
    const QImage image = DecodePng(bytes);
    QCOMPARE(image.isNull(), !size.isValid());
    if (size.isValid()) {
      QCOMPARE(image.size(), size);
      QCOMPARE(image.format(), QImage::Format_ARGB32_Premultiplied);
    }
  }

  void decodedColours() {
    QImage colours(2, 1, QImage::Format_ARGB32);
    colours.setPixel(0, 0, qRgba(200, 40, 60, 255));
    colours.setPixel(1, 0, qRgba(0, 0, 255, 128));
    const QImage image = DecodePng(PngBytes(colours)).convertToFormat(QImage::Format_ARGB32);
    QCOMPARE(image.pixel(0, 0), qRgba(200, 40, 60, 255));
    QCOMPARE(qAlpha(image.pixel(1, 0)), 128);
    QVERIFY(qBlue(image.pixel(1, 0)) >= 253); // premultiplied and back
    QCOMPARE(qRed(image.pixel(1, 0)), 0);
  }

  void fonts_data() {
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("family");
    QTest::addColumn<int>("points");
    QTest::addColumn<int>("weight");
    QTest::addColumn<QStringList>("resolved");
    const QStringList condensed = {QStringLiteral("DejaVu Sans Condensed"),
                                   QStringLiteral("Liberation Sans Narrow")};
    QTest::newRow("0") << 0 << "Bahnschrift Semibold Condensed" << 11 << int(QFont::Normal)
                       << (condensed + QStringList{QStringLiteral("Bahnschrift")});
    QTest::newRow("1") << 1 << "Bahnschrift Light SemiCondensed" << 9 << int(QFont::Bold)
                       << (condensed + QStringList{QStringLiteral("Bahnschrift")});
    QTest::newRow("2") << 2 << "Harlow Solid Italic" << 12 << int(QFont::Bold)
                       << QStringList{"Z003", "URW Chancery L", "Harlow Solid Italic"};
    QTest::newRow("3") << 3 << "Courier New" << 12 << int(QFont::Bold)
                       << QStringList{"Liberation Mono", "Courier New"};
  }
  void fonts() {
    QFETCH(int, number);
    QFETCH(QString, family);
    QFETCH(int, points);
    QFETCH(int, weight);
    QFETCH(QStringList, resolved);
    const QFont font = SharedFont(number);
    QCOMPARE(font.family(), family);
    QCOMPARE(font.pointSize(), points);
    QCOMPARE(int(font.weight()), weight);
    QVERIFY(font.styleStrategy() & QFont::PreferQuality);
    // Without the foundry fontconfig may add ("Z003 [urw]").
    const QString actual = QFontInfo(font).family().section(QStringLiteral(" ["), 0, 0);
    // The face itself where the system has it (Windows), else a look-alike.
    QVERIFY2(actual == family || resolved.contains(actual),
             qPrintable(QStringLiteral("resolved to ") + actual));
  }

  void unknownFontIsDefault() { QCOMPARE(SharedFont(4), QFont()); }

  // The four fonts as the windows use them, to look at.
  void snapshotFonts() {
    const QString samples[4] = {
        QStringLiteral("Quitter  Patient  Sauvegarder  Moyenne générale  Le cycle cardiaque"),
        QStringLiteral("Mesure Systolique ................  Chargement des données"),
        QStringLiteral("Je veille sur mon horloge"), QStringLiteral("128  82  71   125 / 82")};
    QImage image(640, 170, QImage::Format_ARGB32_Premultiplied);
    image.fill(QColor(231, 234, 238));
    QPainter p(&image);
    for (int n = 0; n < 4; ++n) {
      const QFont font = SharedFont(n);
      p.setFont(font);
      p.setPen(n == 2 ? QColor(255, 0, 0) : QColor(Qt::black));
      p.drawText(QPoint(10, 30 + 40 * n), samples[n]);
      p.setFont(QFont());
      p.setPen(Qt::darkGray);
      p.drawText(QPoint(10, 44 + 40 * n),
                 QStringLiteral("%1: %2").arg(n).arg(QFontInfo(font).family()));
    }
    p.end();
    QVERIFY(image.save(test::SnapshotFolder() + QStringLiteral("assets_fonts.png")));
  }

  void documentsHaveTheirExactNames() {
    const QDir docs(DocsDir());
    QVERIFY2(docs.exists(), qPrintable(DocsDir()));
    QVERIFY(QFile::exists(DocsDir() + QStringLiteral("Kestrune TNV Help.chm")));
    // Names compared as the file system holds them: UTF-16 units on Windows
    // (QString's own), bytes elsewhere (UTF-8; QFile::encodeName would give
    // the ANSI code page on Windows).
    QStringList names = QDir(DocsDir() + QStringLiteral("TNV Docs"))
                            .entryList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
    QCOMPARE(names.size(), 2);
    const QString form =
        QString::fromUtf8("CNAM-Rel\xC3\xA9v\xC3\xA9 Automesure-tensionnelle_VF.pdf");
    QCOMPARE(form.size(), 42); // precomposed é, never e + combining accent
    QCOMPARE(names[0], form);
    QCOMPARE(names[1], QStringLiteral("Tensiolog_Licence-FR.txt"));
#ifndef Q_OS_WIN
    QCOMPARE(QFile::encodeName(names[0]),
             QByteArray("CNAM-Rel\xC3\xA9v\xC3\xA9 Automesure-tensionnelle_VF.pdf"));
#endif
  }

  void documentContents_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("start");
    QTest::addColumn<QByteArrayList>("contains");
    QTest::newRow("help") << "Kestrune TNV Help.chm" << QByteArray("ITSF")
                          << QByteArrayList{
                                 "/index.html",    "/saisie.html",     "/listes.html",
                                 "/moyennes.html", "/patients.html",   "/preferences.html",
                                 "/archives.html", "/impression.html", "/destruction.html",
                                 "/a_propos.html", "/donnees.html",    "/tensiometre.html",
                                 "toc.hhc"};
    QTest::newRow("form") << QString::fromUtf8("TNV Docs/CNAM-Relévé "
                                               "Automesure-tensionnelle_VF.pdf")
                          << QByteArray("%PDF-") << QByteArrayList{"%%EOF"};
    QTest::newRow("licence") << "TNV Docs/Tensiolog_Licence-FR.txt" << QByteArray("Tensiolog")
                             << QByteArrayList{"Copyright (c) 2026 Drevant Software",
                                               "dispositif m\xC3\xA9"
                                               "dical",
                                               "ne remplace en aucun cas l'avis"};
  }
  void documentContents() {
    QFETCH(QString, name);
    QFETCH(QByteArray, start);
    QFETCH(QByteArrayList, contains);
    const QByteArray bytes = test::ReadFile(DocsDir() + name);
    QVERIFY(bytes.startsWith(start));
    for (const QByteArray &part : contains) {
      QVERIFY2(bytes.contains(part), part.constData());
    }
  }

  void licenceIsUtf8WithCrLf() {
    const QByteArray bytes = test::ReadFile(DocsDir() + "TNV Docs/Tensiolog_Licence-FR.txt");
    QVERIFY(bytes.size() > 1000);
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8(bytes);
    QVERIFY(!utf8.hasError());
    QVERIFY(!bytes.startsWith("\xEF\xBB\xBF"));
    QCOMPARE(bytes.count("\n"), bytes.count("\r\n"));
    QCOMPARE(bytes.count("\r"), bytes.count("\r\n"));
  }

  // A sheet of every image and icon, on a light and a dark ground, to look at.
  void snapshotSheet() {
    const int width = 900;
    const int band = 440;
    QImage sheet(width, 2 * band, QImage::Format_ARGB32_Premultiplied);
    sheet.fill(Qt::white);
    QPainter p(&sheet);
    p.fillRect(QRect(0, band, width, band), QColor(31, 42, 60));
    for (int dark = 0; dark < 2; ++dark) {
      const int top = dark * band;
      p.setPen(dark ? Qt::white : Qt::black);
      int x = 10, y = top + 10, rowHeight = 0;
      for (int n = 0; n < kSharedImageCount; ++n) {
        for (int size : SharedImageSizes(n)) {
          const int shown = size == 256 ? 128 : size;
          if (x + shown > width - 10) {
            x = 10;
            y += rowHeight + 20;
            rowHeight = 0;
          }
          p.drawImage(QRect(x, y, shown, shown), SharedImage(n, size));
          p.drawText(QPoint(x, y + shown + 12), QString::number(n));
          x += shown + 10;
          rowHeight = qMax(rowHeight, shown);
        }
        x += 8;
      }
      y += rowHeight + 24;
      x = 10;
      QList<int> indices = SystemIconIndices();
      indices << -1; // the neutral icon last
      for (int index : indices) {
        if (x + 140 > width) {
          x = 10;
          y += 50;
        }
        int ix = x;
        for (int size : {16, 24, 32}) {
          p.drawImage(QPoint(ix, y + 32 - size), SystemIconImage(index, size));
          ix += size + 3;
        }
        p.drawText(QPoint(ix + 2, y + 30), QString::number(index));
        x += 140;
      }
    }
    p.end();
    QVERIFY(sheet.save(test::SnapshotFolder() + QStringLiteral("assets_sheet.png")));
    // The small icons four times larger, pixel for pixel.
    QImage zoom(16 * 4 * 12 + 130, 16 * 4 * 3 + 40, QImage::Format_ARGB32_Premultiplied);
    zoom.fill(QColor(232, 236, 241));
    QPainter z(&zoom);
    int k = 0;
    QList<QImage> small;
    for (int n = 0; n < kSharedImageCount; ++n) {
      if (SharedImageSizes(n).contains(16)) {
        small << SharedImage(n, 16);
      }
    }
    for (int index : SystemIconIndices()) {
      small << SystemIconImage(index, 16);
    }
    for (const QImage &image : small) {
      z.drawImage(QRect(10 + (k % 12) * 74, 10 + (k / 12) * 74, 64, 64),
                  image.scaled(64, 64, Qt::IgnoreAspectRatio, Qt::FastTransformation));
      ++k;
    }
    z.end();
    QVERIFY(zoom.save(test::SnapshotFolder() + QStringLiteral("assets_16px_zoom.png")));
  }
};

QTEST_MAIN(TestAssets)
#include "tst_assets.moc"
