#pragma once

#include <QLayout>
#include <QList>

namespace tl {

// A row of widgets side by side, each at its own width from the left. On a
// row narrower than their widths together, every widget shrinks in
// proportion (its edges rounded), so none covers the next. A filler, if
// any, takes what is left on the right.
class ShareRowLayout : public QLayout {
public:
  explicit ShareRowLayout(int height, QWidget *parent = nullptr);
  ~ShareRowLayout() override;

  void addWidget(QWidget *widget, int width);
  void setFiller(QWidget *widget);
  // The part of their widths the widgets have at the row's current width (1: whole).
  double share() const { return share_; }

  void addItem(QLayoutItem *item) override;
  QLayoutItem *itemAt(int index) const override;
  QLayoutItem *takeAt(int index) override;
  int count() const override { return int(items_.size()); }
  QSize sizeHint() const override;
  QSize minimumSize() const override;
  Qt::Orientations expandingDirections() const override { return Qt::Horizontal; }
  void setGeometry(const QRect &rect) override;

private:
  int widthsTogether() const;

  struct Entry {
    QLayoutItem *item;
    int width; // -1: the filler
  };
  QList<Entry> items_;
  int height_;
  double share_ = 1;
};

// One widget kept square, up to `largest` pixels a side, at the bottom of
// its room and centred across it (it may overhang the room's sides). The
// room asks for no height of its own and takes what the widgets above it
// leave; below `least` pixels the widget is too small to be worth showing
// and is given no size.
class BottomSquareLayout : public QLayout {
public:
  BottomSquareLayout(QWidget *widget, int largest, int least);
  ~BottomSquareLayout() override;

  void addItem(QLayoutItem *item) override;
  QLayoutItem *itemAt(int index) const override { return index == 0 ? item_ : nullptr; }
  QLayoutItem *takeAt(int index) override;
  int count() const override { return item_ ? 1 : 0; }
  QSize sizeHint() const override { return {largest_, largest_}; }
  QSize minimumSize() const override { return {0, 0}; }
  QSize maximumSize() const override { return {QLAYOUTSIZE_MAX, QLAYOUTSIZE_MAX}; }
  Qt::Orientations expandingDirections() const override { return Qt::Vertical; }
  void setGeometry(const QRect &rect) override;

private:
  QLayoutItem *item_ = nullptr;
  int largest_, least_;
};

} // namespace tl
