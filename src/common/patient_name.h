#pragma once

#include <QString>

namespace tl {

// A patient name becomes part of the measurement file names, so it must be
// usable as a file name inside the data folder: none of \ / : * ? " < > |,
// no control character, and neither "." nor "..". The empty name is refused
// too (it names no patient).
bool IsUsablePatientName(const QString &name);

// Whether a name just typed may name a patient: usable, not too long, and
// without an invisible character. A profile already saved keeps its name and its
// files, whatever the name holds.
bool IsNewPatientName(const QString &name);

// The message that explains a name refused for its file-name characters.
QString UnusableNameMessage();

// A name as the user typed it, as it is stored: on one line, without
// leading or trailing blanks (the preferences file drops them, so the next
// start would open another patient) and in composed form (NFC), so that the
// same name typed on two keyboards names the same files.
QString TypedPatientName(const QString &typed);

// The first character of `name` that shows nothing or steers the text
// (format characters such as U+200B to U+200F, U+202A to U+202E, U+2066 to
// U+2069, U+FEFF, and control characters): two names that look the same
// would name different files. 0 when there is none.
char32_t InvisibleCharacter(const QString &name);

// A name as it is shown: each invisible or steering character (as
// InvisibleCharacter finds them) written out as "[U+202E]", so that a name
// read from a file that holds one never looks like another patient's.
QString VisiblePatientName(const QString &name);

// Names become part of file names (up to "ARTL_Matin_" + name + ".txt" and
// the suffixes of the copies kept aside): a new name holds at most this many
// bytes in UTF-8, so that every one of those names fits the 255 bytes a file
// system allows.
inline constexpr qsizetype kMaxPatientNameBytes = 180;
// Whether `name` is longer than that.
bool IsTooLongPatientName(const QString &name);
// The message that refuses a name for its length, with the limit.
QString TooLongNameMessage();

// The message that refuses a name holding the invisible character `c`.
QString InvisibleCharacterMessage(char32_t c);

// The message that explains why a name is refused.
QString RefusedNameMessage(const QString &name);

} // namespace tl
