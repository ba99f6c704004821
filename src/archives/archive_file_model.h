#pragma once

#include <QFileSystemModel>

namespace tl {

// The archive manager's file list: the files of one folder, followed live,
// with French column titles and French size, type and date texts.
class ArchiveFileModel : public QFileSystemModel {
  Q_OBJECT
public:
  explicit ArchiveFileModel(QObject *parent = nullptr);

  QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;

  // "262 octets", "2 Ko", "1,5 Mo", "3,2 Go" (sizes rounded up, like a file browser).
  static QString SizeText(qint64 bytes);
  // "Fichier TXT", or "Fichier" for a name without an extension.
  static QString TypeText(const QString &fileName);
};

} // namespace tl
