#pragma once

// The mark of a reading with context in the period lists: a small glyph
// after the date, red when the meter flagged an irregular heartbeat.

#include <QIcon>
#include <QStyledItemDelegate>
#include <array>

namespace tl {

// The glyph for a row's PeriodListModel::ContextRole value (never 0).
QIcon ContextMarkIcon(int context);

class ContextMarkDelegate : public QStyledItemDelegate {
  Q_OBJECT
public:
  using QStyledItemDelegate::QStyledItemDelegate;

protected:
  void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override;

private:
  mutable std::array<QIcon, 4> icons_; // by irregular and note, drawn once
};

} // namespace tl
