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

// Gives `widget` its font, lowered by half points (down to 7) until `fits`
// holds with it set.
template <typename Fits> void ShrinkFontUntil(QWidget *widget, Fits fits) {
  QFont font = widget->font();
  widget->setFont(font);
  while (!fits(font) && font.pointSizeF() > 7.0) {
    font.setPointSizeF(font.pointSizeF() - 0.5);
    widget->setFont(font);
  }
}

} // namespace

void FitTextToWidth(QWidget *widget, const QString &text, int room) {
  ShrinkFontUntil(widget,
                  [&](const QFont &font) { return DrawnTextWidth(font, text, room) <= room; });
}

void FitTabsToWidth(QTabBar *bar, int room) {
  ShrinkFontUntil(bar, [&](const QFont &) { return bar->sizeHint().width() <= room; });
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
