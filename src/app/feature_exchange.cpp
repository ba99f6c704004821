// Readings in and out from the archive menu: the CSV and FHIR exports, the
// CSV import with its preview, and the readings of a Bluetooth meter.
#include "app/commands.h"
#include "app/feature_calls.h"
#include "app/import_preview_window.h"
#include "app/meter_window.h"
#include "common/error_text.h"

#include "common/paths.h"
#include "common/preferences_file.h"
#include "exchange/import_format.h"
#include "meter/meter_pending.h"
#include "platform/dialogs.h"
#include "readings/reading_commands.h"
#include "ui/main_window_api.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProgressDialog>
#include <QStandardPaths>
#include <functional>

namespace tl {

namespace {

const QString kExportTitle = QStringLiteral("Exportation");
const QString kImportTitle = QStringLiteral("Importation");

// Where the choosers open: the user's documents folder.
QString DocumentsFolder() {
  const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  return QFileInfo(documents).isDir() ? documents : QDir::homePath();
}

// Runs the import with a progress window that shows on long files; its
// "Annuler" stops the reading, and nothing is imported then.
ImportOutcome
ImportWithProgress(MainWindowApi &main, const QString &path,
                   const std::function<ImportOutcome(const ImportProgress &progress)> &append) {
  QProgressDialog progress(QStringLiteral("Lecture de %1...").arg(QFileInfo(path).fileName()),
                           QStringLiteral("Annuler"), 0, 1000, main.window());
  progress.setWindowTitle(kImportTitle);
  progress.setWindowModality(Qt::WindowModal);
  progress.setMinimumDuration(500);
  progress.setAutoClose(false);
  progress.setAutoReset(false);
  ImportOutcome outcome = append([&progress](qint64 done, qint64 total) {
    progress.setValue(total > 0 ? int(done * 1000 / total) : 1000);
    // Until the progress window shows (and blocks the main window), no click
    // or key may start another command.
    QCoreApplication::processEvents(progress.isVisible() ? QEventLoop::AllEvents
                                                         : QEventLoop::ExcludeUserInputEvents);
    return !progress.wasCanceled();
  });
  SaveImport(main.logbook(), outcome);
  return outcome;
}

// After an import was saved: the window brought up to date, the outside
// changes taken up and a failed save told, then the summary.
void ShowImported(MainWindowApi &main, const ImportOutcome &outcome) {
  QWidget *parent = main.window();
  if (outcome.appended) {
    main.updateStatusCounts();
    main.refreshAveragesAndGraphs();
    // The readings imported are on disk as after "Sauvegarder", or the user
    // is told they are not.
    if (const QString outside = OutsideChangesText(outcome.saved); !outside.isEmpty()) {
      dialogs().information(parent, kImportTitle, outside);
    }
    if (!SaveSucceeded(outcome.saved)) {
      WarnSaveFailed(parent, outcome.saved);
    }
    main.setUnsavedNote(UnsavedNote(main, outcome.saved));
  }
  dialogs().information(parent, kImportTitle, outcome.summary);
}

} // namespace

void ExportReadingsCommand(MainWindowApi &main, ExportFormat format) {
  QWidget *parent = main.window();
  const bool csv = format == ExportFormat::Csv;
  const QString path = dialogs().saveFileName(
      parent,
      csv ? QStringLiteral("Exporter les relevés (CSV)")
          : QStringLiteral("Exporter au format FHIR"),
      DocumentsFolder() + u'/' + ExportFileName(main.logbook().patient(), format),
      csv ? QStringLiteral("Fichiers CSV (*.csv)") : QStringLiteral("Fichiers FHIR JSON (*.json)"));
  if (path.isEmpty()) {
    return;
  }
  const ExportOutcome outcome = ExportLogbook(main.logbook(), format, path);
  if (outcome.error) {
    dialogs().error(parent, kExportTitle,
                    ErrorBoxText(QStringLiteral("Le fichier n'a pu être écrit : aucun relevé n'a "
                                                "été exporté."),
                                 outcome.error));
    return;
  }
  dialogs().information(parent, kExportTitle, ExportSummary(outcome, path));
}

void ImportReadingsCommand(MainWindowApi &main) {
  QWidget *parent = main.window();
  const QString path = dialogs().openFileName(parent, QStringLiteral("Importer des relevés (CSV)"),
                                              DocumentsFolder(), ImportFileFilter());
  if (path.isEmpty()) {
    return;
  }
  Logbook &book = main.logbook();
  const ImportPlan plan = PlanImport(path);
  if (plan.error) {
    dialogs().error(parent, kImportTitle,
                    ErrorBoxText(QStringLiteral("Le fichier n'a pu être lu."), plan.error));
    return;
  }
  // A format with columns: the person checks or chooses them first.
  std::optional<ColumnMapping> mapping;
  if (plan.format->columns) {
    if (plan.start.records.isEmpty()) {
      dialogs().information(parent, kImportTitle,
                            QStringLiteral("Le fichier « %1 » ne contient aucune ligne à importer.")
                                .arg(QFileInfo(path).fileName()));
      return;
    }
    ImportPreviewWindow preview(path, plan.start, book.patient(), parent);
    mapping = RunImportPreview(preview);
    if (!mapping) {
      return;
    }
  }
  const auto append = [&](const ImportProgress &progress) {
    return ImportFile(book, path, plan, mapping ? &*mapping : nullptr, progress);
  };
  const ImportOutcome outcome = ImportWithProgress(main, path, append);
  if (outcome.cancelled) {
    return;
  }
  if (outcome.error) {
    dialogs().error(
        parent, kImportTitle,
        ErrorBoxText(QStringLiteral("Le fichier n'a pu être lu : aucun relevé n'a été importé."),
                     outcome.error));
    return;
  }
  ShowImported(main, outcome);
}

void ReadMeterCommand(MainWindowApi &main) {
  QWidget *parent = main.window();
  const std::unique_ptr<MeterLink> link = MakeMeterLink();
  if (!link) {
    dialogs().error(parent, kImportTitle, ErrorBoxText(QString(), NoBluetoothFailure()));
    return;
  }
  Logbook &book = main.logbook();
  const QString patient = book.patient();
  const Preferences prefs = ReadPreferences(PreferencesReader::fromFile(Paths().preferencesFile));
  MeterWindow window(*link, patient, prefs.meterAddress, MeterUserOf(prefs.meterUsers, patient),
                     parent);
  if (!RunMeterWindow(window)) {
    return;
  }
  // The meter that answered is the one read directly next time.
  UpdatePreferencesFile([&](Preferences &p) { p.meterAddress = window.address(); });
  // What a trial read kept comes first: the meter does not send it again.
  const QString keptPath = PendingMeterRecordsPath(book.paths().dataFolder, patient);
  FileError keptError;
  qsizetype kept = 0;
  const QList<MeterIndication> records =
      WithPendingMeterRecords(keptPath, window.records(), &keptError, &kept);
  if (keptError) {
    // What the meter just sent is still offered; the kept file stays as it is.
    dialogs().warning(parent, kImportTitle,
                      ErrorSentence(QStringLiteral("Lecture impossible"), keptError));
  }
  // The preview shows each record as the import will take it.
  MeterPreview shown{window.meterLine(), {}, window.interruption(), kept};
  MeterImport dryRun(book.lists(), window.user());
  for (const MeterIndication &record : records) {
    shown.readings.append(dryRun.add(record));
  }
  ImportPreviewWindow preview(shown, patient, parent);
  if (!RunImportPreview(preview)) {
    return;
  }
  // Confirmed: the user number stays with the patient, and the meter is
  // named in the patient's reports.
  UpdatePreferencesFile([&](Preferences &p) {
    p.meterUsers = TieMeterUser(p.meterUsers, patient, window.user());
    KeepMeterName(p, patient, window.meterName(), window.address());
  });
  ImportOutcome outcome = AppendMeterRecords(book, records, window.user());
  SaveImport(book, outcome);
  if (kept > 0) {
    RemoveFiledMeterRecords(keptPath, outcome);
  }
  ShowImported(main, outcome);
}

} // namespace tl
