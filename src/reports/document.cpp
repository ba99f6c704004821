#include "reports/document.h"

#include "common/output_file.h"

#include <QBuffer>
#include <QPageLayout>
#include <QPageSize>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>

namespace tl {

namespace {

constexpr int kPdfDpi = 300;

} // namespace

bool DrawDocument(const PagedDocument &document, QPagedPaintDevice &device) {
  device.setPageLayout(
      QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(0, 0, 0, 0)));
  QPainter painter;
  if (!painter.begin(&device)) {
    return false;
  }
  painter.setRenderHint(QPainter::TextAntialiasing);
  for (int page = 0; page < document.pageCount(); ++page) {
    if (page > 0 && !device.newPage()) {
      return false;
    }
    painter.save();
    document.drawPage(painter, page);
    painter.restore();
  }
  return painter.end();
}

namespace {

// The document drawn as PDF bytes in memory, so that its file is then
// written whole or not at all; false when it could not be drawn.
bool PdfBytes(const PagedDocument &document, QByteArray *bytes) {
  QBuffer buffer(bytes);
  buffer.open(QIODevice::WriteOnly);
  QPdfWriter writer(&buffer);
  writer.setResolution(kPdfDpi);
  writer.setTitle(document.title());
  writer.setCreator(QStringLiteral("Tensiolog"));
  return DrawDocument(document, writer);
}

QString NotDrawn() { return QStringLiteral("le document n'a pas pu être dessiné"); }

} // namespace

FileError WritePdf(const PagedDocument &document, const QString &path) {
  QByteArray bytes;
  if (!PdfBytes(document, &bytes)) {
    return {path, NotDrawn()};
  }
  return WriteWholeFile(path, bytes);
}

FileError WritePdfOutput(const PagedDocument &document, const QString &path,
                         const QStringList &dataFolders) {
  QByteArray bytes;
  if (!PdfBytes(document, &bytes)) {
    return {path, NotDrawn()};
  }
  return WriteOutputFile(path, bytes, dataFolders);
}

QImage RenderPage(const PagedDocument &document, int index, int dpi) {
  const QSizeF mm = QPageSize(QPageSize::A4).size(QPageSize::Millimeter);
  QImage image(qRound(mm.width() / 25.4 * dpi), qRound(mm.height() / 25.4 * dpi),
               QImage::Format_RGB32);
  image.setDotsPerMeterX(qRound(dpi / 0.0254));
  image.setDotsPerMeterY(qRound(dpi / 0.0254));
  image.fill(Qt::white);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setRenderHint(QPainter::TextAntialiasing);
  document.drawPage(painter, index);
  return image;
}

} // namespace tl
