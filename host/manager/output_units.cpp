#include "host/manager/output_units.h"

#include "host/manager/correlation_manager.h"

namespace calorix::host {

namespace {

// NIST SP 811 (2008), appendix B: 1 ft = 0.3048 m, 1 lb = 0.45359237 kg, 1 Btu (IT) =
// 1055.05585262 J.
constexpr double kFootM = 0.3048;
constexpr double kCubicFootM3 = kFootM * kFootM * kFootM;
constexpr double kPoundKg = 0.45359237;
constexpr double kBtuJ = 1055.05585262;

}  // namespace

double OutputValue(std::int32_t resultType, double value, bool us) noexcept {
    if (!us) return value;
    switch (resultType) {
        case 1: return value * 1.8 + 32.0;                            // degC -> degF
        case 4: return value / kPoundKg;                              // kg/h -> lb/h
        case 16: return value * kCubicFootM3 / kPoundKg;              // kg/m3 -> lb/ft3
        case 21: return value * 1000.0 * kPoundKg / kBtuJ;            // kJ/kmol -> Btu/lbmol
        case 30: return value * 1000.0 * kPoundKg / kBtuJ;            // kJ/kg -> Btu/lb
        case 40: return value / kFootM;                               // m/s -> ft/s
        case 128: return value * 1.0e6 * kCubicFootM3 / kBtuJ;        // MJ/m3 -> Btu/ft3
        // mg/m3 -> lb/MMscf: 1e-6 kg/mg and 1e6 ft3/MMscf cancel.
        case 174: return value * kCubicFootM3 / kPoundKg;
        default: return value;
    }
}

std::string_view OutputUnit(std::int32_t resultType, bool us) noexcept {
    if (!us) return UnitOfResultType(resultType);
    switch (resultType) {
        case 1: return "degF";
        case 4: return "lb/h";
        case 16: return "lb/ft3";
        case 21: return "Btu/lbmol";
        case 30: return "Btu/lb";
        case 40: return "ft/s";
        case 128: return "Btu/ft3";
        case 174: return "lb/MMscf";
        default: return UnitOfResultType(resultType);
    }
}

double OutputMolarFlow(double kmolPerH, bool us) noexcept { return us ? kmolPerH / kPoundKg : kmolPerH; }

std::string_view MolarFlowUnit(bool us) noexcept { return us ? "lbmol/h" : "kmol/h"; }

}  // namespace calorix::host
