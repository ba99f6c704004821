#include "platform/clock.h"

namespace tl {

namespace {
const Clock *g_override = nullptr;
}

const Clock &clock() {
  static SystemClock real;
  return g_override ? *g_override : real;
}

void setClock(const Clock *c) { g_override = c; }

} // namespace tl
