#include "graphs/graph_canvas.h"

#include <QPainter>

namespace tl {

GraphCanvas::GraphCanvas(QWidget *parent) : QFrame(parent) {
  setFrameStyle(QFrame::Box | QFrame::Plain);
}

void GraphCanvas::setPicture(QImage picture) {
  picture_ = std::move(picture);
  update();
}

void GraphCanvas::paintEvent(QPaintEvent *event) {
  if (!picture_.isNull()) {
    QPainter painter(this);
    painter.drawImage(QPoint(0, 0), picture_);
  }
  QFrame::paintEvent(event);
}

} // namespace tl
