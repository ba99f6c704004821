#include "reports/report_files.h"

#include "common/preferences_file.h"
#include "logbook/logbook.h"
#include "logbook/patient_file.h"
#include "logbook/reports.h"

#include <QDir>
#include <QFileInfo>

namespace tl {

namespace {

QString PdfPath(const QString &printFolder, const QString &prefix, const QString &patient,
                const QDateTime &at) {
  QString folder = printFolder;
  if (!folder.endsWith(u'/')) {
    folder += u'/';
  }
  return folder + prefix + patient + u'_' + ReportStamp(at) + QStringLiteral(".pdf");
}

} // namespace

ReportIdentity LogbookIdentity(const Logbook &book) {
  ReportIdentity who{book.patient(), {}, {}, {}};
  for (const Patient &patient : LoadPatientFile(book.paths().patientFile).patients) {
    if (patient[Patient::Name] == book.patient()) {
      who.age = patient[Patient::Age];
      who.doctor = patient[Patient::Doctor];
      break;
    }
  }
  const Preferences prefs =
      ReadPreferences(PreferencesReader::fromFile(book.paths().preferencesFile));
  who.meter = PatientEntryOf(prefs.meterNames, book.patient());
  return who;
}

QString SeriesPdfPath(const QString &printFolder, const QString &patient, const QDateTime &at) {
  return PdfPath(printFolder, QStringLiteral("Releve_automesure_"), patient, at);
}

QString DoctorReportPdfPath(const QString &printFolder, const QString &patient,
                            const QDateTime &at) {
  return PdfPath(printFolder, QStringLiteral("Rapport_medecin_"), patient, at);
}

FileError SaveDocumentPdf(const PagedDocument &document, const QString &path) {
  QDir().mkpath(QFileInfo(path).absolutePath());
  return WritePdf(document, path);
}

} // namespace tl
