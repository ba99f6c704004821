#pragma once

class QComboBox;
class QString;
class QTabBar;
class QWidget;

namespace tl {

class DrawnButton;

// Lowers the font size of `widget` (down to 7 points at most) until `text`
// fits in `room` pixels, so a fixed-size control shows its whole text with
// any system font.
void FitTextToWidth(QWidget *widget, const QString &text, int room);

// The same for a tab bar: all its tabs fit in `room` pixels, with no scroll
// arrows.
void FitTabsToWidth(QTabBar *bar, int room);

// The same for a drop-down list: every entry fits the text area its style
// leaves beside the arrow.
void FitEntriesToWidth(QComboBox *combo);

// The same for a drawn button's label, from font 0: centred, it keeps clear
// of the icon.
void FitLabelToButton(DrawnButton *button);

} // namespace tl
