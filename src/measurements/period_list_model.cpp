#include "measurements/period_list_model.h"

#include "common/text.h"
#include "measurements/context_texts.h"

#include <algorithm>
#include <limits>
#include <numeric>

namespace tl {

const std::array<QString, Reading::kCellCount> &ReadingColumnTitles() {
  static const std::array<QString, Reading::kCellCount> titles = {
      QStringLiteral("Date"),        QStringLiteral("Heure"), QStringLiteral("Systolique"),
      QStringLiteral("Diastolique"), QStringLiteral("Pouls"), QStringLiteral("Diagnostic")};
  return titles;
}

PeriodListModel::PeriodListModel(DayPeriod period, QObject *parent)
    : QAbstractTableModel(parent), period_(period) {}

int PeriodListModel::rowCount(const QModelIndex &parent) const {
  return parent.isValid() ? 0 : int(rows_.size());
}

int PeriodListModel::columnCount(const QModelIndex &parent) const {
  return parent.isValid() ? 0 : Reading::kCellCount;
}

QVariant PeriodListModel::data(const QModelIndex &index, int role) const {
  if (!index.isValid() || size_t(index.row()) >= rows_.size()) {
    return {};
  }
  if (role == Qt::DisplayRole || role == Qt::EditRole) {
    return rows_[size_t(index.row())][index.column()];
  }
  if (role == Qt::CheckStateRole && index.column() == 0) {
    return checked_[size_t(index.row())] ? Qt::Checked : Qt::Unchecked;
  }
  if (role == ContextRole || role == Qt::ToolTipRole || role == Qt::AccessibleTextRole ||
      role == Qt::AccessibleDescriptionRole) {
    // Only the rows on show are asked, and only for these roles.
    const ReadingContext *context = contextOf(index.row());
    if (!context) {
      return role == ContextRole ? QVariant(0) : QVariant();
    }
    switch (role) {
    case ContextRole:
      return int(context->flags) | (context->note.isEmpty() ? 0 : kNoteBit);
    case Qt::ToolTipRole:
      return PlainToolTip(ContextToolTip(*context));
    case Qt::AccessibleTextRole:
      if (index.column() != 0) {
        return {};
      }
      return rows_[size_t(index.row())][0] + QStringLiteral(", ") + ContextSummary(*context);
    default:
      return ContextSummary(*context);
    }
  }
  return {};
}

const ReadingContext *PeriodListModel::contextOf(qsizetype row) const {
  if (!contexts_ || row < 0 || size_t(row) >= rows_.size()) {
    return nullptr;
  }
  return contexts_->find(period_, rows_[size_t(row)]);
}

void PeriodListModel::contextsChanged() {
  if (rows_.empty()) {
    return;
  }
  emit dataChanged(
      index(0, 0), index(int(rows_.size()) - 1, Reading::kCellCount - 1),
      {ContextRole, Qt::ToolTipRole, Qt::AccessibleTextRole, Qt::AccessibleDescriptionRole});
}

bool PeriodListModel::setData(const QModelIndex &index, const QVariant &value, int role) {
  if (!index.isValid() || size_t(index.row()) >= rows_.size()) {
    return false;
  }
  if (role == Qt::CheckStateRole && index.column() == 0) {
    setChecked(index.row(), value.toInt() == Qt::Checked);
    return true;
  }
  if (role == Qt::EditRole) {
    setCell(index.row(), index.column(), value.toString());
    return true;
  }
  return false;
}

QVariant PeriodListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
      section < Reading::kCellCount) {
    return ReadingColumnTitles()[size_t(section)];
  }
  return QAbstractTableModel::headerData(section, orientation, role);
}

Qt::ItemFlags PeriodListModel::flags(const QModelIndex &index) const {
  Qt::ItemFlags f = QAbstractTableModel::flags(index);
  if (index.isValid() && index.column() == 0) {
    f |= Qt::ItemIsUserCheckable;
  }
  return f;
}

namespace {

// Cells held as numbers have no line break to remove.
void MakeCellsSingleLine(Reading &reading) {
  for (int cell = 0; cell < Reading::kCellCount; ++cell) {
    if (reading.holdsText(cell)) {
      reading.set(cell, SingleLine(reading[cell]));
    }
  }
}

} // namespace

void PeriodListModel::append(Reading reading) {
  MakeCellsSingleLine(reading);
  const int row = int(rows_.size());
  beginInsertRows(QModelIndex(), row, row);
  rows_.push_back(std::move(reading));
  checked_.push_back(0);
  ++revision_;
  endInsertRows();
}

void PeriodListModel::appendReadings(std::vector<Reading> readings) {
  if (readings.empty()) {
    return;
  }
  for (Reading &reading : readings) {
    MakeCellsSingleLine(reading);
  }
  const int first = int(rows_.size());
  beginInsertRows(QModelIndex(), first, first + int(readings.size()) - 1);
  rows_.insert(rows_.end(), std::make_move_iterator(readings.begin()),
               std::make_move_iterator(readings.end()));
  checked_.resize(rows_.size(), 0);
  ++revision_;
  endInsertRows();
}

namespace {

// Date and time as one number, or -1 when either cell is not canonical.
qint64 WhenOf(const Reading &reading) {
  const std::optional<QDate> date = reading.date();
  const std::optional<int> minutes = reading.minutes();
  return date && minutes ? date->toJulianDay() * 1440 + *minutes : -1;
}

} // namespace

void PeriodListModel::mergeReadings(std::vector<Reading> readings) {
  if (readings.empty()) {
    return;
  }
  // Undated readings (none come from an import) sort last, in their order.
  std::vector<qint64> when(readings.size());
  for (size_t i = 0; i < readings.size(); ++i) {
    const qint64 w = WhenOf(readings[i]);
    when[i] = w < 0 ? std::numeric_limits<qint64>::max() : w;
  }
  // Most imports come in date order already: then nothing is sorted.
  std::vector<size_t> order(readings.size());
  std::iota(order.begin(), order.end(), size_t(0));
  if (!std::is_sorted(when.begin(), when.end())) {
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return when[a] < when[b]; });
  }
  // Each goes before the first reading of the list dated later than it.
  const auto before = [&](size_t incoming, qint64 there) {
    return there >= 0 && when[incoming] < there;
  };
  size_t row = 0;
  while (row < rows_.size() && !before(order.front(), WhenOf(rows_[row]))) {
    ++row;
  }
  if (row == rows_.size()) { // all after the list, as most imports are: one insertion
    std::vector<Reading> sorted;
    sorted.reserve(readings.size());
    for (const size_t i : order) {
      sorted.push_back(std::move(readings[i]));
    }
    appendReadings(std::move(sorted));
    return;
  }
  for (Reading &reading : readings) {
    MakeCellsSingleLine(reading);
  }
  std::vector<Reading> rows;
  std::vector<char> checked;
  rows.reserve(rows_.size() + readings.size());
  checked.reserve(rows_.size() + readings.size());
  size_t next = 0;
  for (size_t i = 0; i < rows_.size(); ++i) {
    for (const qint64 there = WhenOf(rows_[i]); next < order.size() && before(order[next], there);
         ++next) {
      rows.push_back(std::move(readings[order[next]]));
      checked.push_back(0);
    }
    rows.push_back(std::move(rows_[i]));
    checked.push_back(checked_[i]);
  }
  for (; next < order.size(); ++next) {
    rows.push_back(std::move(readings[order[next]]));
    checked.push_back(0);
  }
  beginResetModel();
  rows_ = std::move(rows);
  checked_ = std::move(checked);
  ++revision_;
  endResetModel();
}

void PeriodListModel::setReadings(std::vector<Reading> readings) {
  beginResetModel();
  rows_ = std::move(readings);
  checked_.assign(rows_.size(), 0);
  ++revision_;
  endResetModel();
}

void PeriodListModel::clear() { setReadings({}); }

void PeriodListModel::removeReading(qsizetype row) {
  if (row < 0 || size_t(row) >= rows_.size()) {
    return;
  }
  beginRemoveRows(QModelIndex(), int(row), int(row));
  rows_.erase(rows_.begin() + row);
  checked_.erase(checked_.begin() + row);
  ++revision_;
  endRemoveRows();
}

void PeriodListModel::setCell(qsizetype row, int cell, const QString &text) {
  if (row < 0 || size_t(row) >= rows_.size() || cell < 0 || cell >= Reading::kCellCount) {
    return;
  }
  rows_[size_t(row)].set(cell, SingleLine(text));
  ++revision_;
  const QModelIndex i = index(int(row), cell);
  emit dataChanged(i, i, {Qt::DisplayRole, Qt::EditRole});
}

void PeriodListModel::setChecked(qsizetype row, bool checked) {
  if (row < 0 || size_t(row) >= rows_.size()) {
    return;
  }
  checked_[size_t(row)] = checked ? 1 : 0;
  const QModelIndex i = index(int(row), 0);
  emit dataChanged(i, i, {Qt::CheckStateRole});
}

PeriodLists::PeriodLists(QObject *parent) : QObject(parent) {
  for (DayPeriod p : kAllPeriods) {
    models_[size_t(PeriodIndex(p))] = new PeriodListModel(p, this);
  }
}

qsizetype PeriodLists::totalCount() const {
  qsizetype total = 0;
  for (const PeriodListModel *m : models_) {
    total += m->size();
  }
  return total;
}

} // namespace tl
