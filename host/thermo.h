// The host's thermodynamics, for programs: the Peng-Robinson flash (temperature-pressure
// flashes, dew points, the host's flash protocol on a composition record) over the host's
// component data. The parts behind it (model, stability, split, saturation, phase
// identification) are in thermo/ and are not part of this interface.
#pragma once

#include "host/fluids.h"
#include "host/thermo/flash.h"
