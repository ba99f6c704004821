#pragma once

#include <QStringView>

namespace tl {

// The one rule by which a number is taken from a text: leading blanks and
// tabs, an optional sign, then "$" hexadecimal, "%" binary or decimal digits,
// up to the first character that does not belong. No digits give 0. Values
// beyond the 64-bit range saturate at its limits. `found`, when given, tells
// whether any digit was read (a text with none is no number at all).
qint64 ParseLeadingInteger(QStringView text, bool *found = nullptr);

// Adds without leaving the 64-bit range (sums of parsed cells).
qint64 SaturatingAdd(qint64 a, qint64 b);

} // namespace tl
