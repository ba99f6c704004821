#include "maintenance/data_destruction.h"

#include "logbook/patient_store.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace tl {

namespace {

void MakeWritable(const QString &path, bool folder) {
  const QFileInfo info(path);
  if (info.isSymLink()) {
    return; // the link's target is not ours to change
  }
  QFile::Permissions wanted = QFile::WriteOwner | QFile::WriteUser;
  if (folder) {
    // Entries of a folder can be listed and removed only with these.
    wanted |= QFile::ReadOwner | QFile::ExeOwner | QFile::ReadUser | QFile::ExeUser;
  }
  const QFile::Permissions now = QFile::permissions(path);
  if ((now & wanted) != wanted) {
    QFile::setPermissions(path, now | wanted);
  }
}

bool RemoveTreeContents(const QString &folder) {
  bool ok = true;
  const QFileInfoList entries = QDir(folder).entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot |
                                                           QDir::Hidden | QDir::System);
  for (const QFileInfo &entry : entries) {
    const QString path = entry.filePath();
    if (entry.isDir() && !entry.isSymLink()) {
      MakeWritable(path, true);
      ok = RemoveTreeContents(path) && ok;
      ok = QDir().rmdir(path) && ok;
    } else {
      MakeWritable(path, false);
      ok = QFile::remove(path) && ok;
    }
  }
  return ok;
}

} // namespace

namespace {

// What each item is called and what its deletion reports.
struct DestructionTexts {
  const char *label;
  const char *success;
  const char *failure;
};

constexpr DestructionTexts kDestructionTexts[kDestructionItemCount] = {
    {"1/ Fichiers d'impression", "1/ La suppression du dossier [Impression Arteline] a réussi.",
     "1/ La suppression du dossier [Impression Arteline] a échoué."},
    {"2/ Fichiers de mesures archivés",
     "2/ La suppression du dossier [Archives Arteline] a réussi.",
     "2/ La suppression du dossier [Archives Arteline] a échoué."},
    {"3/ Fichiers de mesures des utilisateurs",
     "3/ Les fichiers de mesures des utilisateurs ont tous été supprimés.",
     "3/ Des erreurs sont survenus lors de la suppression des fichiers de "
     "mesures des utilisateurs."},
    {"4/ Fichier des utilisateurs", "4/ La suppression du fichier des utilisateurs a réussi.",
     "4/ La suppression du fichier des utilisateurs a échoué."},
    {"5/ Fichier des préférences", "5/ La suppression du fichier de préférences a réussi.",
     "5/ La suppression du fichier de préférences a échoué."},
};

// One text of item n (1 to 5), a null string for any other n.
QString ItemText(int item, const char *DestructionTexts::*text) {
  if (item < 1 || item > kDestructionItemCount) {
    return QString();
  }
  return QString::fromUtf8(kDestructionTexts[item - 1].*text);
}

} // namespace

QString DestructionItemLabel(int item) { return ItemText(item, &DestructionTexts::label); }

QString DestructionSuccessLine(int item) { return ItemText(item, &DestructionTexts::success); }

QString DestructionFailureLine(int item) { return ItemText(item, &DestructionTexts::failure); }

bool RemoveFolderTree(const QString &path) {
  if (path.isEmpty()) {
    return false;
  }
  const QFileInfo info(path);
  if (info.isSymLink()) {
    return QFile::remove(path);
  }
  if (!info.isDir()) {
    return false;
  }
  MakeWritable(path, true);
  const bool contentsGone = RemoveTreeContents(path);
  return QDir().rmdir(path) && contentsGone;
}

bool RemoveFileForced(const QString &path) {
  const QFileInfo info(path);
  if (path.isEmpty() || (!info.exists() && !info.isSymLink()) ||
      (info.isDir() && !info.isSymLink())) {
    return false;
  }
  MakeWritable(path, false);
  return QFile::remove(path);
}

QStringList DestroyData(const DestructionChoice &ticked, const StoragePaths &paths) {
  const auto line = [](int item, bool ok) {
    return ok ? DestructionSuccessLine(item) : DestructionFailureLine(item);
  };
  QStringList lines;
  const QString data = paths.dataFolder;
  if (ticked[0]) {
    lines << line(1, RemoveFolderTree(data + QStringLiteral("Impression Arteline")));
  }
  if (ticked[1]) {
    lines << line(2, RemoveFolderTree(data + QStringLiteral("Archives Arteline")));
  }
  if (ticked[2]) {
    const QDir folder(data.isEmpty() ? QStringLiteral(".") : data);
    const QFileInfo folderInfo(folder.path());
    if (!folderInfo.isDir() || !folderInfo.isReadable()) {
      lines << QString();
    } else {
      const QString pattern =
          data.isEmpty() ? QStringLiteral("ARTL_*.txt") : QStringLiteral("*.txt");
      bool failed = false;
      QStringList names = folder.entryList({pattern}, QDir::Files | QDir::Hidden | QDir::System);
      // Every kind of a patient's record files the store knows, and the
      // copies the program made of them (kept aside, rescue copies).
      if (!data.isEmpty()) {
        for (const QString &name : folder.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
          const qsizetype copy = qMax(name.lastIndexOf(QLatin1StringView(".illisible-")),
                                      name.lastIndexOf(QLatin1StringView(".secours-")));
          if (!names.contains(name) &&
              (IsStoreFileName(name) || (copy > 0 && IsStoreFileName(name.left(copy))))) {
            names << name;
          }
        }
      }
      for (const QString &name : names) {
        if (QFileInfo(data + name).isDir()) {
          continue; // a broken link aside, only files are listed
        }
        if (!RemoveFileForced(data + name)) {
          failed = true;
        }
      }
      lines << line(3, !failed);
    }
  }
  if (ticked[3]) {
    lines << line(4, RemoveFileForced(paths.patientFile));
  }
  if (ticked[4]) {
    lines << line(5, RemoveFileForced(paths.preferencesFile));
  }
  return lines;
}

} // namespace tl
