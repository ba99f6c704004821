#include "platform/profile.h"

#include <QStandardPaths>

namespace tl {

QString ProfileFolder() {
  QString home = QStandardPaths::writableLocation(QStandardPaths::HomeLocation);
  if (!home.endsWith(u'/')) {
    home += u'/';
  }
  return home;
}

} // namespace tl
