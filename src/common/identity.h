#pragma once

#include <QString>

namespace tl {

// The program's identity texts, fixed for the life of the process.
QString BuildSuffix();  // "(x64)" or "(x86)"
QString ProgramTitle(); // "Tensiolog(x64)"
QString Version();      // "V1.03.02.26"
QString TitleLine();    // program title + " " + version
QString AuthorLabel();  // "Drevant Software"

} // namespace tl
