#pragma once

// Paged documents drawn with QPainter: one drawing for a PDF file, a printer
// and a picture of a page. Pages are A4 portrait; each document draws its
// own margins, so the devices are set to the whole sheet.

#include "common/file_io.h"

#include <QImage>
#include <QString>
#include <QStringList>

class QPagedPaintDevice;
class QPainter;

namespace tl {

// Who a document is about: the patient's name, and from the profile the age
// and the doctor; the meter last read for the patient ("" when unknown).
struct ReportIdentity {
  QString name, age, doctor, meter;
};

class PagedDocument {
public:
  virtual ~PagedDocument() = default;
  virtual QString title() const = 0;
  virtual int pageCount() const = 0;
  // Draws page `index` (from 0) on the painter's device, whose size is one
  // A4 sheet at the device's resolution.
  virtual void drawPage(QPainter &painter, int index) const = 0;
};

// Draws every page on `device` (a PDF writer or a printer), A4, no margins.
bool DrawDocument(const PagedDocument &document, QPagedPaintDevice &device);

// Writes the document as a PDF file (vector text, fonts embedded), whole or
// not at all.
FileError WritePdf(const PagedDocument &document, const QString &path);
// The same for a file the person names: written as WriteOutputFile writes,
// never over a file of the logbook of `dataFolders` or through a link.
FileError WritePdfOutput(const PagedDocument &document, const QString &path,
                         const QStringList &dataFolders);

// Page `index` as a picture at `dpi` dots per inch, on white.
QImage RenderPage(const PagedDocument &document, int index, int dpi);

} // namespace tl
