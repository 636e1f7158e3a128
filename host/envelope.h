// The dew-point curves of a fluid: hydrocarbon and water dew-point temperatures over a range of
// pressures, each point one calculation of the HCDewPt and WaterDewPt correlations on the fluid
// at that pressure (the way the simulator would ask), the cricondenbar and cricondentherm of
// the hydrocarbon curve, and the curves as an SVG plot.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "host/evaluate.h"

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
    std::vector<std::string> problems;                // correlations that could not be created
};

// `evaluator` runs HCDewPt and WaterDewPt (in this order, either may be missing). The fluid's
// phases are ignored: every point is the dew point of its overall composition. Pressures:
// `count` points spaced evenly from `fromKPa` to `toKPa`; the cricondenbar is refined by
// bisection between the last pressure with a hydrocarbon dew point and the next, the
// cricondentherm by a golden-section search around the warmest point.
DewPointEnvelope TraceEnvelope(FluidEvaluator& evaluator, const Fluid& fluid, double fromKPa, double toKPa,
                               int count);

// An SVG drawing: temperature on x, pressure on y (in `pressureUnit`, kPa scaled by
// `kPaPerUnit`), both curves, the cricondenbar and cricondentherm, and the fluid's own point.
std::string EnvelopeSvg(const DewPointEnvelope& envelope, const Fluid& fluid, const std::string& pressureUnit,
                        double kPaPerUnit);

}  // namespace calorix::host
