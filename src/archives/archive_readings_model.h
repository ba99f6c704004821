#pragma once

#include "measurements/reading.h"

#include <QAbstractTableModel>
#include <vector>

namespace tl {

// The read-only readings list of the archive manager: the six cells of each
// reading of the opened archive, shown exactly as read from the file.
class ArchiveReadingsModel : public QAbstractTableModel {
  Q_OBJECT
public:
  using QAbstractTableModel::QAbstractTableModel;

  int rowCount(const QModelIndex &parent = QModelIndex()) const override;
  int columnCount(const QModelIndex &parent = QModelIndex()) const override;
  QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;

  const std::vector<Reading> &readings() const { return rows_; }
  void setReadings(std::vector<Reading> readings);
  void clear() { setReadings({}); }

private:
  std::vector<Reading> rows_;
};

} // namespace tl
