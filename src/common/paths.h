#pragma once

#include "common/day_period.h"

#include <QString>
#include <array>

namespace tl {

// The storage folder tree and the file paths every part of the program uses.
// Folder paths end in "/" or are empty when the folder could not be had; an
// empty folder makes every path below it relative to the current directory.
struct StoragePaths {
  QString profileFolder;
  QString dataFolder;
  QString archiveFolder;
  QString printFolder;
  QString patientFile;
  QString preferencesFile;
  std::array<QString, 4> measurementFiles; // indexed by DayPeriod
  QString contextFile; // "ARTL_Notes_<name>.txt": the notes and flags of the readings

  const QString &measurementFile(DayPeriod p) const {
    return measurementFiles[static_cast<int>(p)];
  }
};

// Makes `parent + name` a folder if it is not one yet. Returns that path with
// a final "/", or "" when a file stands there or the folder cannot be created.
QString EnsureFolder(const QString &parent, const QString &name);

// Creates the data, archive and print folders under `profileFolder` (in that
// order) and builds every path with the given patient name.
StoragePaths SetupStorage(const QString &profileFolder, const QString &patientName = QString());

// Rebuilds the four measurement paths and the context file's for another patient name.
void RebuildMeasurementPaths(StoragePaths &paths, const QString &patientName);

// The paths of the running program (set up at start-up).
StoragePaths &Paths();

} // namespace tl
