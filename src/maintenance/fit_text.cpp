#include "maintenance/fit_text.h"

#include <QFontMetrics>
#include <QWidget>

namespace tl {

void FitTextToWidth(QWidget *widget, const QString &text, int room) {
  QFont font = widget->font();
  while (QFontMetrics(font).horizontalAdvance(text) > room && font.pointSizeF() > 7.0) {
    font.setPointSizeF(font.pointSizeF() - 0.5);
  }
  widget->setFont(font);
}

} // namespace tl
