// The host's correlation manager, for programs: loading a correlation module, the catalogue of
// its classes, the ISO 6976 editions, one fluid through a set of correlations (with the host's
// flash when asked), batches on every core, the dew-point envelope, and the choice of classes,
// settings and module by words.
#pragma once

#include "host/fluids.h"
#include "host/manager/batch.h"
#include "host/manager/correlation_manager.h"
#include "host/manager/envelope.h"
#include "host/manager/evaluate.h"
#include "host/manager/iso_edition.h"
#include "host/manager/output_units.h"
#include "host/manager/selection.h"
#include "host/thermo.h"
