#pragma once

// Where the documents go: PDF files in the print folder, named after the
// patient and stamped to the second like the printable reports.

#include "reports/document.h"

#include <QDateTime>
#include <QString>

namespace tl {

class Logbook;

// The logbook's patient, from the profile in the patient file the age and
// the doctor, and from the preferences file the meter last read for the
// patient.
ReportIdentity LogbookIdentity(const Logbook &book);

// "Releve_automesure_" + patient + "_" + stamp + ".pdf", and
// "Rapport_medecin_" + patient + "_" + stamp + ".pdf", in `printFolder`.
QString SeriesPdfPath(const QString &printFolder, const QString &patient, const QDateTime &at);
QString DoctorReportPdfPath(const QString &printFolder, const QString &patient,
                            const QDateTime &at);

// Writes the document to `path`, making its folder again when it is missing.
FileError SaveDocumentPdf(const PagedDocument &document, const QString &path);

} // namespace tl
