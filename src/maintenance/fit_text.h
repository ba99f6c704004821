#pragma once

class QString;
class QWidget;

namespace tl {

// Lowers the font size of `widget` (down to 7 points at most) until `text`
// fits in `room` pixels, so a fixed-size control shows its whole text with
// any system font.
void FitTextToWidth(QWidget *widget, const QString &text, int room);

} // namespace tl
