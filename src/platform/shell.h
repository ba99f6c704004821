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

Shell &shell();
void setShell(Shell *s); // not owned; nullptr restores the real one

class DesktopShell : public Shell {
public:
  bool openDocument(const QString &path) override;
  bool hasHandler(const QString &path) override;
  bool openAddress(const QString &address) override;
};

} // namespace tl
