#pragma once

// The text of the About window, built at each opening.

#include <QDate>
#include <QString>

namespace tl {

// The day this program was built (its last build, not one file's compile).
QDate ProgramBuildDate();

// The About text: compatibility, build date (" le dd.mm.yyyy"), purpose,
// thanks and the contact sentence, with CR LF line breaks.
QString BuildAboutText(const QDate &buildDate);

} // namespace tl
