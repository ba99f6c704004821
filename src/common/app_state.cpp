#include "common/app_state.h"

namespace tl {

AppState &State() {
  static AppState state;
  return state;
}

} // namespace tl
