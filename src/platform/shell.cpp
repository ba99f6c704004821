#include "platform/shell.h"

namespace tl {

namespace {

class NoShell : public Shell {
public:
  bool openDocument(const QString &) override { return false; }
  bool hasHandler(const QString &) override { return false; }
  bool openAddress(const QString &) override { return false; }
};

Shell *g_override = nullptr;
Shell *g_default = nullptr;

} // namespace

Shell &shell() {
  static NoShell none;
  if (g_override) {
    return *g_override;
  }
  return g_default ? *g_default : none;
}

void setShell(Shell *s) { g_override = s; }

void setDefaultShell(Shell *s) { g_default = s; }

} // namespace tl
