#include "ui/read_only.h"

#include "common/app_state.h"
#include "platform/dialogs.h"

namespace tl {

bool RefusedWhileReadOnly(QWidget *parent) {
  if (State().readOnlyReason.isEmpty()) {
    return false;
  }
  dialogs().warning(parent, QStringLiteral("Lecture seule"), ReadOnlyRefusalText());
  return true;
}

} // namespace tl
