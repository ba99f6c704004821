#include "meter_link/meter_link.h"

// Besides the text below, this unit gives the interface its meta-object.

namespace tl {

FileError NoBluetoothFailure() {
  return {QString(), QStringLiteral("cette version de Tensiolog ne peut pas lire de tensiomètre : "
                                    "elle a été construite sans le Bluetooth de Qt")};
}

} // namespace tl
