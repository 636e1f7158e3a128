// The host's fluids, for programs: the component list, the fluid (conditions, composition,
// phases), fluids read from JSON and streamed batches from CSV or JSON, and "did you mean".
#pragma once

#include "host/fluid/components.h"
#include "host/fluid/fluid_csv.h"
#include "host/fluid/fluid_json.h"
#include "host/fluid/fluid_model.h"
#include "host/fluid/suggest.h"
