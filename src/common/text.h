#pragma once

#include <QString>

namespace tl {

// Makes a text fit on one line of a record file: every line break (CR LF,
// CR or LF) becomes one blank, so a cell can never shift the records after it.
QString SingleLine(const QString &text);

} // namespace tl
