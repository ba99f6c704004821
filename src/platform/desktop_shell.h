#pragma once

#include "platform/shell.h"

namespace tl {

// Documents and addresses opened with the desktop's default handlers.
class DesktopShell : public Shell {
public:
  bool openDocument(const QString &path) override;
  bool hasHandler(const QString &path) override;
  bool openAddress(const QString &address) override;
};

} // namespace tl
