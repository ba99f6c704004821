#include "meter_link/meter_link.h"

// Besides the text below, this unit gives the interface its meta-object.

namespace tl {

QString NoBluetoothText() {
  return QStringLiteral("Cette version de Tensiolog ne peut pas lire de tensiomètre : elle a été "
                        "construite sans le Bluetooth de Qt");
}

} // namespace tl
