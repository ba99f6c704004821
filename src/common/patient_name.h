#pragma once

#include <QString>

namespace tl {

// A patient name becomes part of the measurement file names, so it must be
// usable as a file name inside the data folder: none of \ / : * ? " < > |,
// no control character, and neither "." nor "..". The empty name is refused
// too (it names no patient).
bool IsUsablePatientName(const QString &name);

// The message that explains a refused name.
QString UnusableNameMessage();

} // namespace tl
