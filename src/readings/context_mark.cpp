#include "readings/context_mark.h"

#include "measurements/period_list_model.h"

#include <QPainter>
#include <QPixmap>

namespace tl {

namespace {

constexpr int kMarkSide = 12;

} // namespace

QIcon ContextMarkIcon(int context) {
  const bool irregular = (context & int(ContextFlag::Irregular)) != 0;
  const bool note = (context & PeriodListModel::kNoteBit) != 0;
  QIcon icon;
  for (int scale : {1, 2}) {
    QPixmap pixmap(kMarkSide * scale, kMarkSide * scale);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(scale, scale);
    p.setPen(Qt::NoPen);
    p.setBrush(irregular ? QColor(196, 30, 50) : QColor(31, 58, 96));
    p.drawRoundedRect(QRectF(0.5, 0.5, kMarkSide - 1, kMarkSide - 1), 2.5, 2.5);
    p.setPen(QPen(Qt::white, 1.4, Qt::SolidLine, Qt::RoundCap));
    if (note) {
      // Three lines of text: a note.
      for (double y : {3.5, 6.0, 8.5}) {
        p.drawLine(QPointF(3, y), QPointF(y < 8 ? 9 : 7, y));
      }
    } else {
      // An exclamation mark: flags only.
      p.drawLine(QPointF(6, 3), QPointF(6, 6.8));
      p.drawPoint(QPointF(6, 9));
    }
    p.end();
    icon.addPixmap(pixmap);
  }
  return icon;
}

void ContextMarkDelegate::initStyleOption(QStyleOptionViewItem *option,
                                          const QModelIndex &index) const {
  QStyledItemDelegate::initStyleOption(option, index);
  if (index.column() != 0) {
    return;
  }
  const int context = index.data(PeriodListModel::ContextRole).toInt();
  if (context == 0) {
    return;
  }
  option->features |= QStyleOptionViewItem::HasDecoration;
  const bool irregular = (context & int(ContextFlag::Irregular)) != 0;
  const bool note = (context & PeriodListModel::kNoteBit) != 0;
  QIcon &icon = icons_[size_t((irregular ? 1 : 0) | (note ? 2 : 0))];
  if (icon.isNull()) {
    icon = ContextMarkIcon(context);
  }
  option->icon = icon;
  option->decorationSize = QSize(kMarkSide, kMarkSide);
  option->decorationPosition = QStyleOptionViewItem::Right;
}

} // namespace tl
