#include "host/manager/envelope.h"

#include <algorithm>
#include <cmath>

#include <fmt/format.h>

namespace calorix::host {

namespace {

std::optional<double> Overall(const FluidResult& r, std::size_t i) {
    if (i >= r.correlations.size() || !r.correlations[i].Ok()) return std::nullopt;
    return r.correlations[i].report.phaseValues[0];
}

// The fluid at one pressure through an evaluator whose first class is HCDewPt and second (if
// any) WaterDewPt.
class DewPoints {
public:
    DewPoints(FluidEvaluator& evaluator, const Fluid& fluid) : m_evaluator(evaluator), m_fluid(fluid) {
        m_fluid.phases.clear();
    }
    EnvelopePoint At(double pressureKPa) {
        m_fluid.pressureKPa = pressureKPa;
        const FluidResult r = m_evaluator.Evaluate(m_fluid);
        return EnvelopePoint{pressureKPa, Overall(r, 0), Overall(r, 1)};
    }

private:
    FluidEvaluator& m_evaluator;
    Fluid m_fluid;
};

// Is `p` on the same branch of the hydrocarbon curve as `known` (a point of the curve)?
bool SameBranch(const EnvelopePoint& known, const EnvelopePoint& p) {
    return p.hcDewPointC && *p.hcDewPointC > *known.hcDewPointC - kBranchStepK;
}

// Round steps for axis ticks: 1, 2 or 5 times a power of ten, about `target` steps in range.
double TickStep(double range, int target) {
    const double raw = range / target;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (double m : {1.0, 2.0, 5.0})
        if (raw <= m * power) return m * power;
    return 10.0 * power;
}

}  // namespace

std::pair<double, double> DefaultEnvelopePressures(const Fluid& fluid) noexcept {
    return {100.0, std::max(15000.0, 1.2 * fluid.pressureKPa)};
}

DewPointEnvelope TraceEnvelope(FluidEvaluator& curve, FluidEvaluator& hydrocarbon, const Fluid& fluid, double fromKPa,
                               double toKPa, int count) {
    DewPointEnvelope env;
    DewPoints grid(curve, fluid), refine(hydrocarbon, fluid);
    count = std::max(count, 2);
    for (int i = 0; i < count; ++i) env.points.push_back(grid.At(fromKPa + (toKPa - fromKPa) * i / (count - 1)));

    // The curve: from the first point with a hydrocarbon dew point up to the first point
    // without one or of another branch.
    std::size_t first = 0;
    while (first < env.points.size() && !env.points[first].hcDewPointC) ++first;
    if (first == env.points.size()) return env;
    std::size_t last = first;
    while (last + 1 < env.points.size() && SameBranch(env.points[last], env.points[last + 1])) ++last;
    for (std::size_t i = last + 1; i < env.points.size(); ++i) {
        if (env.points[i].hcDewPointC) env.otherBranch.push_back(env.points[i]);
        env.points[i].hcDewPointC.reset();
    }

    EnvelopePoint top = env.points[last];
    if (last + 1 < env.points.size()) {
        double hi = env.points[last + 1].pressureKPa;
        for (int k = 0; k < 10; ++k) {
            const EnvelopePoint mid = refine.At(0.5 * (top.pressureKPa + hi));
            if (SameBranch(top, mid))
                top = mid;
            else
                hi = mid.pressureKPa;
        }
        env.cricondenbar = top;
    }

    // Cricondentherm: golden-section search between the neighbours of the warmest point.
    std::size_t warm = first;
    for (std::size_t i = first; i <= last; ++i)
        if (*env.points[i].hcDewPointC > *env.points[warm].hcDewPointC) warm = i;
    EnvelopePoint best = env.points[warm];
    double a = env.points[warm > first ? warm - 1 : warm].pressureKPa;
    double b = warm < last ? env.points[warm + 1].pressureKPa : top.pressureKPa;
    auto value = [](const EnvelopePoint& p) { return p.hcDewPointC ? *p.hcDewPointC : -1e300; };
    if (b > a) {
        const double g = (std::sqrt(5.0) - 1.0) / 2.0;
        EnvelopePoint c = refine.At(b - g * (b - a)), d = refine.At(a + g * (b - a));
        for (int k = 0; k < 8; ++k) {
            for (const EnvelopePoint& p : {c, d})
                if (value(p) > value(best)) best = p;
            if (value(c) >= value(d)) {
                b = d.pressureKPa;
                d = c;
                c = refine.At(b - g * (b - a));
            } else {
                a = c.pressureKPa;
                c = d;
                d = refine.At(a + g * (b - a));
            }
        }
        for (const EnvelopePoint& p : {c, d})
            if (value(p) > value(best)) best = p;
    }
    env.cricondentherm = best;
    return env;
}

namespace {

// Text for an SVG element: the XML special characters escaped.
std::string XmlText(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            default: out += c;
        }
    }
    return out;
}

// A rectangle of the drawing, in its pixels (y down).
struct Box {
    double left, top, right, bottom;
    bool Overlaps(const Box& o) const { return left < o.right && o.left < right && top < o.bottom && o.top < bottom; }
    bool Within(const Box& o) const { return left >= o.left && right <= o.right && top >= o.top && bottom <= o.bottom; }
};

// The box a line of text takes, estimated on the wide side: 0.6 em per character (digits and
// lower-case letters of a sans-serif font are narrower), from 0.8 em above its baseline to 0.25
// em below; `end`: the text ends at x (text-anchor end), else it starts there.
Box TextBox(double x, double baseline, bool end, const std::string& text, double fontSize) {
    std::size_t characters = 0;
    for (unsigned char c : text) characters += (c & 0xC0) != 0x80 ? 1 : 0;   // UTF-8 lead bytes
    const double width = 0.6 * fontSize * static_cast<double>(characters);
    return {end ? x - width : x, baseline - 0.8 * fontSize, end ? x : x + width, baseline + 0.25 * fontSize};
}

}  // namespace

std::string EnvelopeSvg(const DewPointEnvelope& env, const Fluid& fluid, const std::string& name,
                        const std::string& temperatureUnit, const std::string& pressureUnit, double kPaPerUnit) {
    constexpr double kWidth = 760, kHeight = 540, kLeft = 80, kRight = 30, kTop = 80, kBottom = 60;
    double tMin = fluid.temperatureC, tMax = fluid.temperatureC;
    double pMax = fluid.pressureKPa / kPaPerUnit;
    // The axes hold the curves' points and the marks (found between them, by refinement).
    std::vector<EnvelopePoint> all = env.points;
    for (const auto& p : {env.cricondenbar, env.cricondentherm})
        if (p) all.push_back(*p);
    for (const auto& p : all) {
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
        "<text x=\"{2}\" y=\"28\" text-anchor=\"middle\" font-size=\"16\">Dew-point curves of {3}</text>\n",
        kWidth, kHeight, kWidth / 2, XmlText(name));
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
    svg += fmt::format("<text x=\"{}\" y=\"{}\" text-anchor=\"middle\">Temperature ({})</text>\n",
                       (kLeft + kWidth - kRight) / 2, kHeight - 20, temperatureUnit);
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
    // The hydrocarbon curve runs through its cricondentherm and ends at its cricondenbar.
    std::vector<EnvelopePoint> hydrocarbon = env.points;
    for (const auto& p : {env.cricondentherm, env.cricondenbar})
        if (p) hydrocarbon.push_back(*p);
    std::stable_sort(hydrocarbon.begin(), hydrocarbon.end(),
                     [](const EnvelopePoint& a, const EnvelopePoint& b) { return a.pressureKPa < b.pressureKPa; });
    int legend = 0;
    for (const auto& s : series) {
        std::string points;
        for (const auto& p : s.member == &EnvelopePoint::hcDewPointC ? hydrocarbon : env.points)
            if (p.*s.member) points += fmt::format("{:.1f},{:.1f} ", x(*(p.*s.member)), y(p.pressureKPa));
        if (points.empty()) continue;
        points.pop_back();
        svg += fmt::format("<polyline id=\"{}\" fill=\"none\" stroke=\"{}\" stroke-width=\"2.5\" points=\"{}\"/>\n",
                           s.id, s.colour, points);
        const double lx = kLeft + 200 * legend++, ly = kTop - 22;
        svg += fmt::format("<line x1=\"{0}\" y1=\"{1}\" x2=\"{2}\" y2=\"{1}\" stroke=\"{3}\" stroke-width=\"2.5\"/>"
                           "<text x=\"{4}\" y=\"{5}\">{6}</text>\n",
                           lx, ly, lx + 25, s.colour, lx + 32, ly + 4, s.label);
    }
    // Cricondenbar, cricondentherm and the fluid's own point.
    // A mark's label goes beside it, above and to its right where it fits: else below, else to
    // its left; it stays within the axes and clear of the fluid's cross, the other mark and the
    // label placed before it (where no place is clear, the first within the axes).
    constexpr double kLabelSize = 11, kMarkRadius = 4, kCross = 6;
    const Box axes{kLeft, kTop, kWidth - kRight, kHeight - kBottom};
    const double fx = x(fluid.temperatureC), fy = y(fluid.pressureKPa);
    std::vector<Box> taken = {{fx - kCross - 1, fy - kCross - 1, fx + kCross + 1, fy + kCross + 1}};
    for (const auto& p : {env.cricondenbar, env.cricondentherm})
        if (p && p->hcDewPointC) {
            const double cx = x(*p->hcDewPointC), cy = y(p->pressureKPa), r = kMarkRadius + 1;
            taken.push_back({cx - r, cy - r, cx + r, cy + r});
        }
    auto mark = [&](const std::optional<EnvelopePoint>& p, const char* id, const char* label) {
        if (!p || !p->hcDewPointC) return;
        const double cx = x(*p->hcDewPointC), cy = y(p->pressureKPa);
        const std::string text = fmt::format("{} ({:.2f} {}, {:.4g} {})", label, *p->hcDewPointC, temperatureUnit,
                                             p->pressureKPa / kPaPerUnit, pressureUnit);
        struct Place {
            bool left;
            double baseline;
        };
        const Place places[] = {{false, cy - 6}, {false, cy + 16}, {true, cy - 6}, {true, cy + 16}};
        const Place* chosen = nullptr;
        const Place* firstWithin = nullptr;
        for (const Place& place : places) {
            const Box box = TextBox(cx + (place.left ? -7 : 7), place.baseline, place.left, text, kLabelSize);
            if (!box.Within(axes)) continue;
            if (!firstWithin) firstWithin = &place;
            bool clear = true;
            for (const Box& t : taken) clear = clear && !box.Overlaps(t);
            if (clear) {
                chosen = &place;
                break;
            }
        }
        const Place& place = chosen ? *chosen : firstWithin ? *firstWithin : places[0];
        taken.push_back(TextBox(cx + (place.left ? -7 : 7), place.baseline, place.left, text, kLabelSize));
        svg += fmt::format("<circle id=\"{}\" cx=\"{:.1f}\" cy=\"{:.1f}\" r=\"{}\" fill=\"#c0392b\"/>"
                           "<text x=\"{:.1f}\" y=\"{:.1f}\" font-size=\"{}\" text-anchor=\"{}\">{}</text>\n",
                           id, cx, cy, kMarkRadius, cx + (place.left ? -7 : 7), place.baseline, kLabelSize,
                           place.left ? "end" : "start", XmlText(text));
    };
    mark(env.cricondenbar, "cricondenbar", "cricondenbar");
    mark(env.cricondentherm, "cricondentherm", "cricondentherm");
    const double lx = kLeft + 200 * legend, ly = kTop - 22;
    svg += fmt::format("<path id=\"fluid\" d=\"M {0:.1f} {1:.1f} m -6 0 l 12 0 m -6 -6 l 0 12\" stroke=\"black\" "
                       "stroke-width=\"2\"/><path d=\"M {2:.1f} {3:.1f} m -6 0 l 12 0 m -6 -6 l 0 12\" stroke=\"black\" "
                       "stroke-width=\"2\"/><text x=\"{4:.1f}\" y=\"{5:.1f}\">fluid ({6:.1f} {9}, {7:g} {8})</text>\n",
                       x(fluid.temperatureC), y(fluid.pressureKPa), lx + 12, ly, lx + 32, ly + 4, fluid.temperatureC,
                       fluid.pressureKPa / kPaPerUnit, pressureUnit, temperatureUnit);
    svg += "</svg>\n";
    return svg;
}

}  // namespace calorix::host
