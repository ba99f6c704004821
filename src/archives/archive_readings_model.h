#pragma once

#include "measurements/reading.h"

#include <QAbstractTableModel>
#include <vector>

namespace tl {

// The read-only readings list of the archive manager: the six cells of each
// reading of the opened archive, shown exactly as read from the file, and a
// "Remarque" column when the archive kept notes or flags.
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
  // `remarks`: one text per reading (ContextSummary), or none at all.
  void setReadings(std::vector<Reading> readings, std::vector<QString> remarks = {});
  void clear() { setReadings({}); }
  bool hasRemarks() const { return !remarks_.empty(); }

private:
  std::vector<Reading> rows_;
  std::vector<QString> remarks_;
};

} // namespace tl
