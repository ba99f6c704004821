#include "meter_link/meter_link.h"

// The interface has no code of its own; this unit gives the library its
// meta-object.
