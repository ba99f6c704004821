#pragma once

#include "common/day_period.h"
#include "measurements/reading.h"
#include "measurements/reading_context.h"

#include <QAbstractTableModel>
#include <QObject>
#include <array>
#include <vector>

namespace tl {

// One period list: the readings of one day period, in the order they were
// loaded or added, each row with a check state. The only in-memory copy of
// the current patient's readings of that period.
class PeriodListModel : public QAbstractTableModel {
  Q_OBJECT
public:
  explicit PeriodListModel(DayPeriod period, QObject *parent = nullptr);

  DayPeriod period() const { return period_; }

  // The role giving a row's context for its mark: the ContextFlag bits, with
  // kNoteBit when it has a note; 0 without context.
  static constexpr int ContextRole = Qt::UserRole + 1;
  static constexpr int kNoteBit = 0x100;

  // The notes and flags of the readings (read only, not owned; null for
  // none). A row with context answers ContextRole, has its flags and note as
  // tooltip and accessible description, and its date cell names them.
  void setContexts(const ReadingContexts *contexts) { contexts_ = contexts; }
  const ReadingContext *contextOf(qsizetype row) const;
  // The contexts changed: the views draw the rows again.
  void contextsChanged();

  int rowCount(const QModelIndex &parent = QModelIndex()) const override;
  int columnCount(const QModelIndex &parent = QModelIndex()) const override;
  QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
  bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex &index) const override;

  qsizetype size() const { return qsizetype(rows_.size()); }
  const Reading &reading(qsizetype row) const { return rows_[size_t(row)]; }
  const std::vector<Reading> &readings() const { return rows_; }

  // Appends one reading at the end (line breaks in cells become blanks).
  void append(Reading reading);
  // Appends readings at the end in one insertion (an import).
  void appendReadings(std::vector<Reading> readings);
  // Files readings in date and time order (an import, a meter): each goes
  // before the first reading of the list dated later, after those of the
  // same minute; the list's own order is kept as it stands, and a reading
  // of the list without a readable date or time stays where it is.
  void mergeReadings(std::vector<Reading> readings);
  // Replaces every row at once (loading a file); check marks are cleared.
  void setReadings(std::vector<Reading> readings);
  void clear();
  void removeReading(qsizetype row);
  // Sets one cell; line breaks become blanks.
  void setCell(qsizetype row, int cell, const QString &text);

  // Counts the changes of the readings (not of the check marks): a list
  // whose revision is the one it had when it was loaded or saved holds what
  // its file held then.
  quint64 revision() const { return revision_; }

  bool isChecked(qsizetype row) const { return checked_[size_t(row)] != 0; }
  void setChecked(qsizetype row, bool checked);

private:
  DayPeriod period_;
  std::vector<Reading> rows_;
  std::vector<char> checked_;
  quint64 revision_ = 0;
  const ReadingContexts *contexts_ = nullptr;
};

// The four period lists of the current patient, indexed by DayPeriod.
class PeriodLists : public QObject {
  Q_OBJECT
public:
  explicit PeriodLists(QObject *parent = nullptr);

  PeriodListModel &list(DayPeriod p) { return *models_[size_t(PeriodIndex(p))]; }
  const PeriodListModel &list(DayPeriod p) const { return *models_[size_t(PeriodIndex(p))]; }
  qsizetype totalCount() const;

private:
  std::array<PeriodListModel *, 4> models_{};
};

} // namespace tl
