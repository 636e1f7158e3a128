// The fluid-file reader of calorix-host on arbitrary text. A fluid it accepts must be one the
// host can use; a refusal must be a FluidInputError with a one-line message naming the source.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <string_view>

#include "fuzz/fuzz_check.h"
#include "host/fluid/fluid_json.h"

namespace {

bool OneLine(const std::string& message) {
    return message.find('\n') == std::string::npos && message.rfind("input: ", 0) == 0;
}

void CheckFractions(const std::vector<double>& fractions, std::size_t count) {
    FUZZ_CHECK(fractions.size() == count);
    for (double x : fractions) FUZZ_CHECK(std::isfinite(x) && x >= 0.0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    calorix::host::ParsedFluid parsed;
    try {
        parsed = calorix::host::ParseFluidJson(text, "input");
    } catch (const calorix::host::FluidInputError& e) {
        FUZZ_CHECK(OneLine(e.what()));
        return 0;
    }
    const calorix::host::Fluid& fluid = parsed.fluid;
    FUZZ_CHECK(fluid.temperatureC > -273.15 && fluid.temperatureC <= calorix::host::kMaxTemperatureC);
    FUZZ_CHECK(fluid.pressureKPa > 0.0 && fluid.pressureKPa <= calorix::host::kMaxPressureKPa);
    FUZZ_CHECK(std::isfinite(fluid.molarFlowKmolPerH) && fluid.molarFlowKmolPerH >= 0.0);
    const std::size_t n = fluid.components.size();
    FUZZ_CHECK(n > 0);
    for (const calorix::host::Component& c : fluid.components) {
        FUZZ_CHECK(std::isfinite(c.molarMassKgPerKmol) && c.molarMassKgPerKmol > 0.0);
        FUZZ_CHECK(std::isfinite(c.criticalTemperatureK) && c.criticalTemperatureK > 0.0);
        FUZZ_CHECK(std::isfinite(c.criticalPressureKPa) && c.criticalPressureKPa > 0.0);
        FUZZ_CHECK(std::isfinite(c.acentricFactor));
    }
    CheckFractions(fluid.moleFractions, n);
    std::set<int> slots;
    for (const calorix::host::Phase& phase : fluid.phases) {
        FUZZ_CHECK(phase.slot >= 0 && phase.slot <= 3);
        FUZZ_CHECK(slots.insert(phase.slot).second);
        FUZZ_CHECK(phase.fraction >= 0.0 && phase.fraction <= 1.0);
        CheckFractions(phase.moleFractions, n);
    }
    for (const std::string& warning : parsed.warnings) FUZZ_CHECK(OneLine(warning));

    // The same text reads the same way again.
    const calorix::host::ParsedFluid again = calorix::host::ParseFluidJson(text, "input");
    FUZZ_CHECK(again.warnings == parsed.warnings);
    FUZZ_CHECK(again.fluid.moleFractions == fluid.moleFractions);
    FUZZ_CHECK(again.fluid.components.size() == n);
    return 0;
}
