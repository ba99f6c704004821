#pragma once

#include <QString>

namespace tl {

// Makes a text fit on one line of a record file: every line break (CR LF,
// CR or LF) becomes one blank, so a cell can never shift the records after it.
QString SingleLine(const QString &text);

// A tooltip that shows `text` as it stands. Qt takes a tooltip for rich
// text when its first line looks like markup ("<b>", "&lt;"), and would then
// draw it as HTML and load the images it names; such a text (anything with
// "<" or "&") is given escaped inside a paragraph that keeps its line breaks
// and blanks, so that what shows is the text itself. Any other text is
// returned unchanged.
QString PlainToolTip(const QString &text);

} // namespace tl
