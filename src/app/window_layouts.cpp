#include "app/window_layouts.h"

#include <QWidget>
#include <algorithm>
#include <cmath>

namespace tl {

ShareRowLayout::ShareRowLayout(int height, QWidget *parent) : QLayout(parent), height_(height) {
  setContentsMargins(0, 0, 0, 0);
  setSpacing(0);
}

ShareRowLayout::~ShareRowLayout() {
  for (const Entry &entry : items_) {
    delete entry.item;
  }
}

void ShareRowLayout::addWidget(QWidget *widget, int width) {
  addChildWidget(widget);
  items_.append({new QWidgetItem(widget), width});
  invalidate();
}

void ShareRowLayout::setFiller(QWidget *widget) {
  addChildWidget(widget);
  items_.append({new QWidgetItem(widget), -1});
  invalidate();
}

void ShareRowLayout::addItem(QLayoutItem *item) { items_.append({item, 0}); }

QLayoutItem *ShareRowLayout::itemAt(int index) const {
  return index >= 0 && index < items_.size() ? items_[index].item : nullptr;
}

QLayoutItem *ShareRowLayout::takeAt(int index) {
  return index >= 0 && index < items_.size() ? items_.takeAt(index).item : nullptr;
}

int ShareRowLayout::widthsTogether() const {
  int sum = 0;
  for (const Entry &entry : items_) {
    sum += std::max(entry.width, 0);
  }
  return sum;
}

QSize ShareRowLayout::sizeHint() const { return {widthsTogether(), height_}; }

QSize ShareRowLayout::minimumSize() const { return {0, height_}; }

void ShareRowLayout::setGeometry(const QRect &rect) {
  // Laid out again at the same place (another widget's size changed): the
  // widgets stay where they are, a hovered one nudged.
  if (rect == geometry()) {
    return;
  }
  QLayout::setGeometry(rect);
  const int together = widthsTogether();
  share_ = together > 0 ? std::min(1.0, double(rect.width()) / together) : 1.0;
  int x = 0;
  for (const Entry &entry : items_) {
    if (entry.width < 0) {
      const int from = std::min(together, rect.width());
      entry.item->setGeometry(
          QRect(rect.x() + from, rect.y(), std::max(rect.width() - from, 0), height_));
      continue;
    }
    const int left = int(std::lround(x * share_));
    const int right = int(std::lround((x + entry.width) * share_));
    entry.item->setGeometry(QRect(rect.x() + left, rect.y(), right - left, height_));
    x += entry.width;
  }
}

BottomSquareLayout::BottomSquareLayout(QWidget *widget, int largest, int least)
    : largest_(largest), least_(least) {
  setContentsMargins(0, 0, 0, 0);
  item_ = new QWidgetItem(widget);
}

BottomSquareLayout::~BottomSquareLayout() { delete item_; }

void BottomSquareLayout::addItem(QLayoutItem *item) {
  delete item_;
  item_ = item;
}

QLayoutItem *BottomSquareLayout::takeAt(int index) {
  QLayoutItem *taken = index == 0 ? item_ : nullptr;
  if (taken) {
    item_ = nullptr;
  }
  return taken;
}

void BottomSquareLayout::setGeometry(const QRect &rect) {
  QLayout::setGeometry(rect);
  if (!item_) {
    return;
  }
  // Too small to be worth showing, it takes no room at all.
  int side = std::clamp(rect.height(), 0, largest_);
  if (side < least_) {
    side = 0;
  }
  const int centre = rect.x() + rect.width() / 2;
  item_->setGeometry(QRect(centre - (side + 1) / 2, rect.bottom() + 1 - side, side, side));
}

} // namespace tl
