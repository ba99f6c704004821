#pragma once

#include <QString>

namespace tl {

// Opens documents and web addresses with their default handlers.
class Shell {
public:
  virtual ~Shell() = default;
  // A local file path; true when a handler accepted it.
  virtual bool openDocument(const QString &path) = 0;
  // Whether the file exists and the system names a program for its type.
  // Opening can report success with no program behind it (xdg-open does),
  // so a document that may have none is checked first.
  virtual bool hasHandler(const QString &path) = 0;
  // A web address such as "https://...".
  virtual bool openAddress(const QString &address) = 0;
};

// The shell in use: the one a test installed, else the program's own
// (installed at start-up), else none, which opens nothing.
Shell &shell();
void setShell(Shell *s);        // not owned; nullptr removes it
void setDefaultShell(Shell *s); // the program's own, not owned

} // namespace tl
