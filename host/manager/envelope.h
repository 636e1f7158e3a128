// The dew-point curves of a fluid: hydrocarbon and water dew-point temperatures over a range of
// pressures, each point one calculation of the HCDewPt and WaterDewPt correlations on the fluid
// at that pressure (the way the simulator would ask), the cricondenbar and cricondentherm of
// the hydrocarbon curve, and the curves as an SVG plot.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "host/manager/evaluate.h"

namespace calorix::host {

struct EnvelopePoint {
    double pressureKPa = 0.0;
    std::optional<double> hcDewPointC;
    std::optional<double> waterDewPointC;
};

struct DewPointEnvelope {
    std::vector<EnvelopePoint> points;                // by rising pressure
    std::optional<EnvelopePoint> cricondenbar;        // highest pressure with a hydrocarbon dew point
    std::optional<EnvelopePoint> cricondentherm;      // highest hydrocarbon dew-point temperature
    // Beyond the cricondenbar the hydrocarbon dew-point correlation may answer with a much
    // colder temperature of another branch; such values are left out of the curve and listed
    // here.
    std::vector<EnvelopePoint> otherBranch;
};

// `curve` runs HCDewPt and WaterDewPt, `hydrocarbon` HCDewPt alone (for the refinements); each
// evaluator's classes in this order. The fluid's phases are ignored: every point is the dew
// point of its overall composition. Pressures: `count` points spaced evenly from `fromKPa` to
// `toKPa`. The cricondenbar is found by bisection between the last pressure of the curve and
// the next (without a dew point, or with one of another branch: a step down of more than
// kBranchStepK); it is reported only when the range goes beyond it. The cricondentherm is
// refined by a golden-section search around the warmest point.
inline constexpr double kBranchStepK = 25.0;
// The pressures of an envelope when none are asked for: 100 kPa to 15000 kPa, or to 1.2 times
// the fluid's pressure when that is higher.
std::pair<double, double> DefaultEnvelopePressures(const Fluid& fluid) noexcept;
DewPointEnvelope TraceEnvelope(FluidEvaluator& curve, FluidEvaluator& hydrocarbon, const Fluid& fluid, double fromKPa,
                               double toKPa, int count);

// An SVG drawing titled with the fluid's name: temperature on x (the envelope's and the fluid's
// temperatures taken as written in `temperatureUnit`, "°C" or "°F"), pressure on y (in
// `pressureUnit`, kPa scaled by `kPaPerUnit`), both curves, the cricondenbar and cricondentherm
// with their values, and the fluid's own point; the axes hold every mark, the legend (the fluid's
// label with it) sits above the axes, clear of the curves.
std::string EnvelopeSvg(const DewPointEnvelope& envelope, const Fluid& fluid, const std::string& name,
                        const std::string& temperatureUnit, const std::string& pressureUnit, double kPaPerUnit);

}  // namespace calorix::host
