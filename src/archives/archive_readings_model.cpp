#include "archives/archive_readings_model.h"

#include "common/text.h"

#include <limits>

namespace tl {

int ArchiveReadingsModel::rowCount(const QModelIndex &parent) const {
  if (parent.isValid()) {
    return 0;
  }
  return int(qMin<size_t>(rows_.size(), size_t(std::numeric_limits<int>::max())));
}

int ArchiveReadingsModel::columnCount(const QModelIndex &parent) const {
  return parent.isValid() ? 0 : Reading::kCellCount + (remarks_.empty() ? 0 : 1);
}

QVariant ArchiveReadingsModel::data(const QModelIndex &index, int role) const {
  if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount()) {
    return QVariant();
  }
  const size_t row = size_t(index.row());
  if (role == Qt::DisplayRole) {
    return index.column() < Reading::kCellCount ? rows_[row][index.column()] : remarks_[row];
  }
  if (role == Qt::ToolTipRole && !remarks_.empty() && !remarks_[row].isEmpty()) {
    return PlainToolTip(remarks_[row]);
  }
  return QVariant();
}

QVariant ArchiveReadingsModel::headerData(int section, Qt::Orientation orientation,
                                          int role) const {
  if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
      section < columnCount()) {
    return section < Reading::kCellCount ? ReadingColumnTitles()[size_t(section)]
                                         : QStringLiteral("Remarque");
  }
  return QVariant();
}

void ArchiveReadingsModel::setReadings(std::vector<Reading> readings,
                                       std::vector<QString> remarks) {
  beginResetModel();
  rows_ = std::move(readings);
  remarks_ = remarks.size() == rows_.size() ? std::move(remarks) : std::vector<QString>();
  endResetModel();
}

} // namespace tl
