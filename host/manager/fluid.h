// The reference host's fluid objects: the fluid source a correlation is attached to, the fluid
// state it asks for on every calculation, and the component data with the flash behind it.
//
//   IFluidSource::GetFluidState(index)   a new state of fluid `index` (0-based)
//   IFluidState::GetComponentData        the state's component data (one object per state)
//   IFluidState::NeedsRecalculation      Fluid::needsRecalculation (1 by default)
//   IComponentData::GetComponentProperty "Molecular Weight" (kg/kmol), "CAS_Numbers" and
//                                        "ComponentIDs" (the CAS digits, 74828.0),
//                                        "ComponentClass", "TempUnitFlag" (1 by default: SI,
//                                        15 degC reference; 0: US, 60 degF), "MolarFlow" (kmol/h, the fluid's flow for
//                                        every component); one value per component
//   IComponentData::GetComposition       the five composition slots (4 overall; phases 0-3,
//                                        zeros where a phase is absent), phase fractions and
//                                        flags, temperature (deg C) and pressure (kPa)
//   IFlashCalculator (same object)       the Peng-Robinson flash of host/thermo/flash.h
//
// Objects made by the factories start with one reference, owned by the returned ComPtr.
// Compositions shorter than the component list read as zeros beyond their end; a phase slot
// outside 0-3 is ignored.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "framework/host_interfaces.h"
#include "host/fluid/fluid_model.h"
#include "platform/comptr.h"

namespace calorix::host {

platform::ComPtr<IFluidSource> MakeFluidSource(std::vector<Fluid> fluids, double tempUnitFlag = 1.0);
platform::ComPtr<IFluidState> MakeFluidState(std::shared_ptr<const Fluid> fluid, double tempUnitFlag = 1.0);
platform::ComPtr<IComponentData> MakeComponentData(std::shared_ptr<const Fluid> fluid, double tempUnitFlag = 1.0);

// Number of host objects alive in the process (for leak checks).
std::int32_t LiveHostObjects() noexcept;

}  // namespace calorix::host
