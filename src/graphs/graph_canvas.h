#pragma once

#include <QFrame>
#include <QImage>

namespace tl {

// A bordered canvas that keeps the last picture drawn into it until the next
// drawing occasion. The picture is made at the screen's device pixel ratio.
class GraphCanvas : public QFrame {
  Q_OBJECT
public:
  explicit GraphCanvas(QWidget *parent = nullptr);

  void setPicture(QImage picture);
  const QImage &picture() const { return picture_; }

protected:
  void paintEvent(QPaintEvent *event) override;

private:
  QImage picture_;
};

} // namespace tl
