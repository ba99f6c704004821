#pragma once

#include <QFrame>
#include <QImage>
#include <functional>

namespace tl {

// A bordered canvas that keeps the last picture drawn into it until the next
// drawing occasion. The picture is made at the screen's device pixel ratio.
//
// A picture can also be given as the painting that makes it: it is then
// painted only when first needed (the canvas shown, or its picture asked
// for), so graphs on a page not on show cost nothing until it is. A painting
// that gives no picture leaves the previous one.
class GraphCanvas : public QFrame {
  Q_OBJECT
public:
  explicit GraphCanvas(QWidget *parent = nullptr);

  void setPicture(QImage picture);
  // Replaces any painting still waiting.
  void setPendingPicture(std::function<QImage()> paint);
  const QImage &picture() const;

protected:
  void paintEvent(QPaintEvent *event) override;

private:
  mutable QImage picture_;
  mutable std::function<QImage()> pending_;
};

} // namespace tl
