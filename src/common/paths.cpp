#include "common/paths.h"

#include "common/file_io.h"

#include <QDir>
#include <QFileInfo>

namespace tl {

QString EnsureFolder(const QString &parent, const QString &name) {
  const QString path = parent + name;
  const QFileInfo info(path);
  if (info.exists()) {
    if (!info.isDir()) {
      return QString();
    }
    MakeFolderPrivate(path); // health data: an older folder is tightened too
    return path + u'/';
  }
  // mkdir, not mkpath: only the last level is ours to create; private from
  // the start.
  if (QDir().mkdir(path,
                   QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner)) {
    return path + u'/';
  }
  return QString();
}

StoragePaths SetupStorage(const QString &profileFolder, const QString &patientName) {
  StoragePaths p;
  p.profileFolder = profileFolder;
  p.dataFolder = EnsureFolder(profileFolder, QStringLiteral("Kestrune Arteline"));
  p.archiveFolder = EnsureFolder(p.dataFolder, QStringLiteral("Archives Arteline"));
  p.printFolder = EnsureFolder(p.dataFolder, QStringLiteral("Impression Arteline"));
  p.patientFile = p.dataFolder + QStringLiteral("ARTL_Users.ini");
  p.preferencesFile = p.dataFolder + QStringLiteral("ARTL_Prefs.ini");
  RebuildMeasurementPaths(p, patientName);
  return p;
}

void RebuildMeasurementPaths(StoragePaths &paths, const QString &patientName) {
  for (DayPeriod period : kAllPeriods) {
    paths.measurementFiles[static_cast<int>(period)] =
        paths.dataFolder + PeriodInfo(period).filePrefix + patientName + QStringLiteral(".txt");
  }
  paths.contextFile =
      paths.dataFolder + QStringLiteral("ARTL_Notes_") + patientName + QStringLiteral(".txt");
}

StoragePaths &Paths() {
  static StoragePaths paths;
  return paths;
}

} // namespace tl
