#include "graphs/graph_canvas.h"

#include <QPainter>

namespace tl {

GraphCanvas::GraphCanvas(QWidget *parent) : QFrame(parent) {
  setFrameStyle(QFrame::Box | QFrame::Plain);
}

void GraphCanvas::setPicture(QImage picture) {
  pending_ = nullptr;
  picture_ = std::move(picture);
  update();
}

void GraphCanvas::setPendingPicture(std::function<QImage()> paint) {
  pending_ = std::move(paint);
  update();
}

const QImage &GraphCanvas::picture() const {
  if (pending_) {
    const std::function<QImage()> paint = std::move(pending_);
    pending_ = nullptr;
    QImage picture = paint();
    if (!picture.isNull()) {
      picture_ = std::move(picture);
    }
  }
  return picture_;
}

void GraphCanvas::paintEvent(QPaintEvent *event) {
  if (const QImage &shown = picture(); !shown.isNull()) {
    QPainter painter(this);
    painter.drawImage(QPoint(0, 0), shown);
  }
  QFrame::paintEvent(event);
}

} // namespace tl
