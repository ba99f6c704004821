#include "archives/archive_file_model.h"

#include "common/text.h"

#include <QDateTime>
#include <QFileInfo>
#include <QLocale>

namespace tl {

namespace {

enum Column { Name = 0, Size = 1, Type = 2, Modified = 3 };

QString Decimal(double value) {
  return QLocale(QLocale::French, QLocale::France).toString(value, 'f', 1);
}

} // namespace

ArchiveFileModel::ArchiveFileModel(QObject *parent) : QFileSystemModel(parent) {}

QString ArchiveFileModel::SizeText(qint64 bytes) {
  constexpr qint64 kKilo = 1024;
  if (bytes < kKilo) {
    return QString::number(bytes) + QStringLiteral(" octets");
  }
  if (bytes < kKilo * kKilo) {
    return QString::number((bytes + kKilo - 1) / kKilo) + QStringLiteral(" Ko");
  }
  if (bytes < kKilo * kKilo * kKilo) {
    return Decimal(double(bytes) / double(kKilo * kKilo)) + QStringLiteral(" Mo");
  }
  return Decimal(double(bytes) / double(kKilo * kKilo * kKilo)) + QStringLiteral(" Go");
}

QString ArchiveFileModel::TypeText(const QString &fileName) {
  const QString suffix = QFileInfo(fileName).suffix();
  if (suffix.isEmpty()) {
    return QStringLiteral("Fichier");
  }
  return QStringLiteral("Fichier ") + suffix.toUpper();
}

QVariant ArchiveFileModel::data(const QModelIndex &index, int role) const {
  // The texts come from the row's file information, never from data() of a
  // cell: QFileSystemModel::fileName() asks data() of the cell it is given,
  // so calling it from here on the same cell would recurse without end.
  if (index.isValid() && role == Qt::DisplayRole && index.column() != Name) {
    const QFileInfo info = fileInfo(index);
    switch (index.column()) {
    case Size:
      return SizeText(info.size());
    case Type:
      return TypeText(info.fileName());
    case Modified:
      return info.lastModified().toString(QStringLiteral("dd/MM/yyyy HH:mm"));
    default:
      break;
    }
  }
  // The name column is narrow: the whole name shows on hover.
  if (index.isValid() && role == Qt::ToolTipRole && index.column() == Name) {
    return PlainToolTip(fileInfo(index).fileName());
  }
  return QFileSystemModel::data(index, role);
}

QVariant ArchiveFileModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation == Qt::Horizontal && role == Qt::DisplayRole) {
    switch (section) {
    case Name:
      return QStringLiteral("Nom");
    case Size:
      return QStringLiteral("Taille");
    case Type:
      return QStringLiteral("Type");
    case Modified:
      return QStringLiteral("Modifié le");
    default:
      break;
    }
  }
  return QFileSystemModel::headerData(section, orientation, role);
}

} // namespace tl
