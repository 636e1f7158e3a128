#include "host/envelope.h"

#include <algorithm>
#include <cmath>

#include <fmt/format.h>

namespace calorix::host {

namespace {

std::optional<double> Overall(const FluidResult& r, std::size_t i) {
    if (i >= r.correlations.size() || !r.correlations[i].Ok()) return std::nullopt;
    return r.correlations[i].report.phaseValues[0];
}

class Curve {
public:
    Curve(FluidEvaluator& evaluator, const Fluid& fluid) : m_evaluator(evaluator), m_fluid(fluid) {
        m_fluid.phases.clear();
        const FluidResult probe = m_evaluator.Evaluate(m_fluid);
        for (std::size_t i = 0; i < probe.correlations.size(); ++i) {
            const std::string& word = probe.correlations[i].report.word;
            if (word == "HCDewPt") m_hc = i;
            if (word == "WaterDewPt") m_water = i;
        }
    }
    EnvelopePoint At(double pressureKPa) {
        m_fluid.pressureKPa = pressureKPa;
        const FluidResult r = m_evaluator.Evaluate(m_fluid);
        return EnvelopePoint{pressureKPa, Overall(r, m_hc), Overall(r, m_water)};
    }

private:
    FluidEvaluator& m_evaluator;
    Fluid m_fluid;
    std::size_t m_hc = static_cast<std::size_t>(-1), m_water = static_cast<std::size_t>(-1);
};

// Round steps for axis ticks: 1, 2 or 5 times a power of ten, about `target` steps in range.
double TickStep(double range, int target) {
    const double raw = range / target;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (double m : {1.0, 2.0, 5.0})
        if (raw <= m * power) return m * power;
    return 10.0 * power;
}

}  // namespace

DewPointEnvelope TraceEnvelope(FluidEvaluator& evaluator, const Fluid& fluid, double fromKPa, double toKPa, int count) {
    DewPointEnvelope env;
    Curve curve(evaluator, fluid);
    count = std::max(count, 2);
    for (int i = 0; i < count; ++i) env.points.push_back(curve.At(fromKPa + (toKPa - fromKPa) * i / (count - 1)));

    // Cricondenbar: between the last pressure with a hydrocarbon dew point and the next one.
    std::size_t last = env.points.size();
    for (std::size_t i = 0; i < env.points.size(); ++i)
        if (env.points[i].hcDewPointC) last = i;
    if (last == env.points.size()) return env;
    EnvelopePoint top = env.points[last];
    if (last + 1 < env.points.size()) {
        double lo = top.pressureKPa, hi = env.points[last + 1].pressureKPa;
        for (int k = 0; k < 12; ++k) {
            const EnvelopePoint mid = curve.At(0.5 * (lo + hi));
            if (mid.hcDewPointC) {
                lo = mid.pressureKPa;
                top = mid;
            } else {
                hi = mid.pressureKPa;
            }
        }
    }
    env.cricondenbar = top;

    // Cricondentherm: golden-section search around the warmest point of the grid.
    std::size_t warm = last;
    for (std::size_t i = 0; i <= last; ++i)
        if (env.points[i].hcDewPointC && *env.points[i].hcDewPointC > *env.points[warm].hcDewPointC) warm = i;
    EnvelopePoint best = env.points[warm];
    double a = env.points[warm > 0 ? warm - 1 : 0].pressureKPa;
    double b = warm + 1 <= last ? env.points[warm + 1].pressureKPa : top.pressureKPa;
    const double g = (std::sqrt(5.0) - 1.0) / 2.0;
    auto value = [](const EnvelopePoint& p) { return p.hcDewPointC ? *p.hcDewPointC : -1e300; };
    EnvelopePoint c = curve.At(b - g * (b - a)), d = curve.At(a + g * (b - a));
    for (int k = 0; k < 14 && b - a > 1e-3 * std::max(1.0, b); ++k) {
        if (value(c) >= value(d)) {
            b = d.pressureKPa;
            d = c;
            c = curve.At(b - g * (b - a));
        } else {
            a = c.pressureKPa;
            c = d;
            d = curve.At(a + g * (b - a));
        }
        for (const EnvelopePoint& p : {c, d})
            if (value(p) > value(best)) best = p;
    }
    env.cricondentherm = best;
    return env;
}

std::string EnvelopeSvg(const DewPointEnvelope& env, const Fluid& fluid, const std::string& pressureUnit,
                        double kPaPerUnit) {
    constexpr double kWidth = 760, kHeight = 520, kLeft = 80, kRight = 30, kTop = 50, kBottom = 70;
    double tMin = fluid.temperatureC, tMax = fluid.temperatureC;
    double pMax = fluid.pressureKPa / kPaPerUnit;
    for (const auto& p : env.points) {
        for (const auto& t : {p.hcDewPointC, p.waterDewPointC}) {
            if (!t) continue;
            tMin = std::min(tMin, *t);
            tMax = std::max(tMax, *t);
        }
        pMax = std::max(pMax, p.pressureKPa / kPaPerUnit);
    }
    const double tStep = TickStep(std::max(tMax - tMin, 1.0), 8);
    tMin = std::floor(tMin / tStep) * tStep;
    tMax = std::ceil(tMax / tStep) * tStep;
    if (tMax <= tMin) tMax = tMin + tStep;
    const double pStep = TickStep(std::max(pMax, 1e-9), 8);
    pMax = std::ceil(pMax / pStep) * pStep;
    auto x = [&](double t) { return kLeft + (t - tMin) / (tMax - tMin) * (kWidth - kLeft - kRight); };
    auto y = [&](double kPa) { return kHeight - kBottom - kPa / kPaPerUnit / pMax * (kHeight - kTop - kBottom); };

    std::string svg = fmt::format(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"{0}\" height=\"{1}\" viewBox=\"0 0 {0} {1}\" "
        "font-family=\"sans-serif\" font-size=\"13\">\n"
        "<rect width=\"{0}\" height=\"{1}\" fill=\"white\"/>\n"
        "<text x=\"{2}\" y=\"28\" text-anchor=\"middle\" font-size=\"16\">Dew-point curves</text>\n",
        kWidth, kHeight, kWidth / 2);
    // Grid, ticks and axis labels.
    for (double t = tMin; t <= tMax + 1e-9 * tStep; t += tStep)
        svg += fmt::format("<line x1=\"{0:.1f}\" y1=\"{1}\" x2=\"{0:.1f}\" y2=\"{2}\" stroke=\"#ddd\"/>"
                           "<text x=\"{0:.1f}\" y=\"{3}\" text-anchor=\"middle\">{4:g}</text>\n",
                           x(t), kTop, kHeight - kBottom, kHeight - kBottom + 18, t);
    for (double p = 0; p <= pMax + 1e-9 * pStep; p += pStep)
        svg += fmt::format("<line x1=\"{0}\" y1=\"{1:.1f}\" x2=\"{2}\" y2=\"{1:.1f}\" stroke=\"#ddd\"/>"
                           "<text x=\"{3}\" y=\"{4:.1f}\" text-anchor=\"end\">{5:g}</text>\n",
                           kLeft, y(p * kPaPerUnit), kWidth - kRight, kLeft - 6, y(p * kPaPerUnit) + 4, p);
    svg += fmt::format("<rect x=\"{}\" y=\"{}\" width=\"{}\" height=\"{}\" fill=\"none\" stroke=\"black\"/>\n", kLeft,
                       kTop, kWidth - kLeft - kRight, kHeight - kTop - kBottom);
    svg += fmt::format("<text x=\"{}\" y=\"{}\" text-anchor=\"middle\">Temperature (°C)</text>\n",
                       (kLeft + kWidth - kRight) / 2, kHeight - 25);
    svg += fmt::format("<text x=\"20\" y=\"{0}\" text-anchor=\"middle\" transform=\"rotate(-90 20 {0})\">"
                       "Pressure ({1}, absolute)</text>\n",
                       (kTop + kHeight - kBottom) / 2, pressureUnit);
    // The curves.
    struct Series {
        const char* id;
        const char* label;
        const char* colour;
        std::optional<double> EnvelopePoint::*member;
    };
    const Series series[] = {{"hc-dew-point", "Hydrocarbon dew point", "#c0392b", &EnvelopePoint::hcDewPointC},
                             {"water-dew-point", "Water dew point", "#2471a3", &EnvelopePoint::waterDewPointC}};
    int legend = 0;
    for (const auto& s : series) {
        std::string points;
        for (const auto& p : env.points)
            if (p.*s.member) points += fmt::format("{:.1f},{:.1f} ", x(*(p.*s.member)), y(p.pressureKPa));
        if (points.empty()) continue;
        points.pop_back();
        svg += fmt::format("<polyline id=\"{}\" fill=\"none\" stroke=\"{}\" stroke-width=\"2.5\" points=\"{}\"/>\n",
                           s.id, s.colour, points);
        const double ly = kTop + 20 + 20 * legend++;
        svg += fmt::format("<line x1=\"{0}\" y1=\"{1}\" x2=\"{2}\" y2=\"{1}\" stroke=\"{3}\" stroke-width=\"2.5\"/>"
                           "<text x=\"{4}\" y=\"{5}\">{6}</text>\n",
                           kWidth - kRight - 200, ly, kWidth - kRight - 175, s.colour, kWidth - kRight - 168, ly + 4,
                           s.label);
    }
    // Cricondenbar, cricondentherm and the fluid's own point.
    auto mark = [&](const std::optional<EnvelopePoint>& p, const char* id, const char* label) {
        if (!p || !p->hcDewPointC) return;
        svg += fmt::format("<circle id=\"{}\" cx=\"{:.1f}\" cy=\"{:.1f}\" r=\"4\" fill=\"#c0392b\"/>"
                           "<text x=\"{:.1f}\" y=\"{:.1f}\" font-size=\"11\">{}</text>\n",
                           id, x(*p->hcDewPointC), y(p->pressureKPa), x(*p->hcDewPointC) + 7, y(p->pressureKPa) - 6,
                           label);
    };
    mark(env.cricondenbar, "cricondenbar", "cricondenbar");
    mark(env.cricondentherm, "cricondentherm", "cricondentherm");
    svg += fmt::format("<path id=\"fluid\" d=\"M {0:.1f} {1:.1f} m -6 0 l 12 0 m -6 -6 l 0 12\" stroke=\"black\" "
                       "stroke-width=\"2\"/><text x=\"{2:.1f}\" y=\"{3:.1f}\" font-size=\"11\">fluid ({4:.1f} °C, "
                       "{5:g} {6})</text>\n",
                       x(fluid.temperatureC), y(fluid.pressureKPa), x(fluid.temperatureC) + 8, y(fluid.pressureKPa) + 16,
                       fluid.temperatureC, fluid.pressureKPa / kPaPerUnit, pressureUnit);
    svg += "</svg>\n";
    return svg;
}

}  // namespace calorix::host
