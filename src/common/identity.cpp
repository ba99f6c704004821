#include "common/identity.h"

namespace tl {

QString BuildSuffix() {
  return sizeof(void *) == 8 ? QStringLiteral("(x64)") : QStringLiteral("(x86)");
}

QString ProgramTitle() { return QStringLiteral("Tensiolog") + BuildSuffix(); }

QString Version() { return QStringLiteral("V1.03.02.26"); }

QString TitleLine() { return ProgramTitle() + u' ' + Version(); }

QString AuthorLabel() { return QStringLiteral("Drevant Software"); }

} // namespace tl
