// Not built yet: the patient manager does not exist, so no patient can be chosen.
#include "app/feature_calls.h"

namespace tl {

bool RunPatientManager(MainWindowApi &, bool) { return false; }

} // namespace tl
