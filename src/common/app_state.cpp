#include "common/app_state.h"

namespace tl {

AppState &State() {
  static AppState state;
  return state;
}

QString ReadOnlyRefusalText() {
  return QStringLiteral("Le dossier de données ne peut pas être modifié (%1) : Tensiolog est "
                        "ouvert en lecture seule, et cette commande changerait vos fichiers.")
      .arg(State().readOnlyReason);
}

} // namespace tl
