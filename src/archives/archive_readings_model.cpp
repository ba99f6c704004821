#include "archives/archive_readings_model.h"

#include <limits>

namespace tl {

int ArchiveReadingsModel::rowCount(const QModelIndex &parent) const {
  if (parent.isValid()) {
    return 0;
  }
  return int(qMin<size_t>(rows_.size(), size_t(std::numeric_limits<int>::max())));
}

int ArchiveReadingsModel::columnCount(const QModelIndex &parent) const {
  return parent.isValid() ? 0 : Reading::kCellCount;
}

QVariant ArchiveReadingsModel::data(const QModelIndex &index, int role) const {
  if (!index.isValid() || index.row() >= rowCount() || index.column() >= Reading::kCellCount) {
    return QVariant();
  }
  if (role == Qt::DisplayRole) {
    return rows_[size_t(index.row())][index.column()];
  }
  return QVariant();
}

QVariant ArchiveReadingsModel::headerData(int section, Qt::Orientation orientation,
                                          int role) const {
  if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
      section < Reading::kCellCount) {
    return ReadingColumnTitles()[size_t(section)];
  }
  return QVariant();
}

void ArchiveReadingsModel::setReadings(std::vector<Reading> readings) {
  beginResetModel();
  rows_ = std::move(readings);
  endResetModel();
}

} // namespace tl
