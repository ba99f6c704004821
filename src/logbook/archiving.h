#pragma once

#include "common/day_period.h"

#include <QDateTime>
#include <QString>
#include <array>

namespace tl {

// What became of one period's measurement file in an archiving run.
enum class ArchiveOutcome {
  Missing,  // no file: nothing to archive, nothing reported
  Archived, // moved into the archive folder
  Failed,   // left in place under its old name, error line in the report
};

struct ArchiveRun {
  QString report; // one CR LF ended line per file that existed, empty when none did
  std::array<ArchiveOutcome, 4> outcomes{}; // indexed by DayPeriod
  std::array<QString, 4> archivedAs{};      // the archive file of each period archived

  ArchiveOutcome outcome(DayPeriod p) const { return outcomes[size_t(PeriodIndex(p))]; }
};

// The stamp in front of an archive file name: "ddmmyyyy_hhii_" (24-hour clock).
QString ArchiveStamp(const QDateTime &at);

// The report lines of one period's file.
QString ArchivedLine(DayPeriod period, const QString &patient);
QString ArchiveErrorLine(DayPeriod period, const QString &patient);

// The file beside an archive "<stamp>ARTL_<period>_<name>.txt" that keeps
// the notes and flags of its readings: "<stamp>ARTL_Notes_<period>_<name>.txt",
// in the context file's format; "" for a name of no archive.
QString ArchiveContextPath(const QString &archivePath);

// Moves the patient's four measurement files ("ARTL_<period>_" + patient +
// ".txt" in `dataFolder`) into `archiveFolder` under stamped names, in the
// order Matin, Jour, Soir, Nuit, the clock read again for every file. A move
// never replaces an existing file. An empty `archiveFolder` puts the archives
// in the current directory. The periods marked in `refused` are not moved:
// they get the error line, since what their list shows could not be saved.
ArchiveRun ArchiveMeasurementFiles(const QString &dataFolder, const QString &archiveFolder,
                                   const QString &patient, const std::array<bool, 4> &refused = {});

} // namespace tl
