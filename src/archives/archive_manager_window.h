#pragma once

#include "measurements/reading.h"

#include <QDialog>
#include <QSet>
#include <QString>
#include <vector>

class QFileSystemModel;
class QLabel;
class QModelIndex;
class QSplitter;
class QTableView;
class QTreeView;

namespace tl {

class ArchiveReadingsModel;
class Banner;
class DrawnButton;

// The archive manager: lists the archive folder live, opens an archive on
// double click into its readings list, deletes the selected archives and
// prints the archive on display. Runs modally until closed.
class ArchiveManagerWindow : public QDialog {
  Q_OBJECT
public:
  // An empty folder path stands for the current directory.
  ArchiveManagerWindow(const QString &archiveFolder, const QString &printFolder,
                       QWidget *parent = nullptr);
  ~ArchiveManagerWindow() override;

  // Loads an archive file into the readings list (a missing or unreadable
  // file leaves it empty) and updates the readings count.
  void loadArchive(const QString &path);
  // The double click: opens the file list's current row when it is a selected file.
  void openCurrentArchive();
  // "Supprimer": one question, then every selected archive is deleted.
  void deleteSelectedArchives();
  // "Imprimer": writes the printable form of the opened archive and opens it.
  void printOpenedArchive();

  QString openedFileName() const { return openedName_; }
  const std::vector<Reading> &readings() const;
  QString archiveCountText() const;
  QString readingsCountText() const;
  QString openedBandText() const;
  QString folderPath() const { return folder_; }

  QTableView *fileList() const { return fileList_; }
  QFileSystemModel *fileModel() const { return files_; }
  QTreeView *readingsList() const { return readingsList_; }

  // Status field texts.
  static QString ArchiveCountText(int count, bool afterDeletion);
  static QString ReadingsCountText(qsizetype rows);
  static QString OpenedBandText(const QString &name);

protected:
  void done(int result) override;
  bool eventFilter(QObject *watched, QEvent *event) override;

private:
  void buildWindow();
  void refreshArchiveCount();
  void showArchiveCount(int count);
  void showReadingsCount();
  void setOpenedBand(const QString &name);
  int visibleFileCount();

  QString folder_;      // archive folder; "" = current directory
  QString printFolder_; // print folder; "" = current directory
  QString openedName_;  // bare name of the archive on display
  bool afterDeletion_ = false;
  QSet<QString> deletedNames_; // deleted here, possibly still listed

  Banner *banner_ = nullptr;
  DrawnButton *quit_ = nullptr;
  DrawnButton *delete_ = nullptr;
  DrawnButton *print_ = nullptr;
  DrawnButton *band_ = nullptr;
  QSplitter *splitter_ = nullptr;
  QFileSystemModel *files_ = nullptr;
  QTableView *fileList_ = nullptr;
  ArchiveReadingsModel *readings_ = nullptr;
  QTreeView *readingsList_ = nullptr;
  QLabel *archiveCount_ = nullptr;
  QLabel *readingsCount_ = nullptr;
};

} // namespace tl
