#include "ui/fit_text.h"

#include "ui/assets/assets.h"
#include "ui/drawing.h"

#include <QComboBox>
#include <QFontMetrics>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QTabBar>
#include <QWidget>

namespace tl {

namespace {

// The width a line of text takes when drawn: its advance, plus the last
// glyph's overhang where the font engine gives one (Windows' does).
int DrawnTextWidth(const QFont &font, const QString &text, int room) {
  return QFontMetrics(font).boundingRect(QRect(0, 0, room, 100000), Qt::AlignLeft, text).width();
}

} // namespace

void FitTextToWidth(QWidget *widget, const QString &text, int room) {
  QFont font = widget->font();
  while (DrawnTextWidth(font, text, room) > room && font.pointSizeF() > 7.0) {
    font.setPointSizeF(font.pointSizeF() - 0.5);
  }
  widget->setFont(font);
}

void FitTabsToWidth(QTabBar *bar, int room) {
  QFont font = bar->font();
  while (bar->sizeHint().width() > room && font.pointSizeF() > 7.0) {
    font.setPointSizeF(font.pointSizeF() - 0.5);
    bar->setFont(font);
  }
}

void FitEntriesToWidth(QComboBox *combo) {
  QStyleOptionComboBox option;
  option.initFrom(combo);
  option.editable = combo->isEditable();
  option.frame = combo->hasFrame();
  // The style draws the text a pixel in from each end of the field.
  const int room =
      combo->style()
          ->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, combo)
          .width() -
      2;
  for (int i = 0; i < combo->count(); ++i) {
    FitTextToWidth(combo, combo->itemText(i), room);
  }
}

void FitLabelToButton(DrawnButton *button) {
  button->setFont(SharedFont(0));
  FitTextToWidth(button, button->label(), button->labelRoom());
}

} // namespace tl
