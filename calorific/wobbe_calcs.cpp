#include "calorific/wobbe_calcs.h"

#include <algorithm>
#include <cmath>

#include "calorific/iso6976_table.h"
#include "framework/empty_value.h"
#include "framework/host_interfaces.h"

namespace {

constexpr double kRefPressure_kPa = 101.325;
constexpr double kGasConstant_kJ_per_kmolK = 8.31451;
constexpr double kAirMolarMass_kg_per_kmol = 28.962;

struct ReferenceColumns {
    double temperature_K;
    double zAir;
    double WobbeComponent::*sqrtB;
    double WobbeComponent::*grossCv;
    double WobbeComponent::*netCv;
};

constexpr ReferenceColumns kAt15C{288.15, 0.99958, &WobbeComponent::sqrtB15,
                                  &WobbeComponent::grossCv15, &WobbeComponent::netCv15};
constexpr ReferenceColumns kAt0C{273.15, 0.99941, &WobbeComponent::sqrtB0,
                                 &WobbeComponent::grossCv0, &WobbeComponent::netCv0};

constexpr bool IsSet(double value) noexcept { return value != EMPTY_VALUE; }
constexpr bool IsUsableZ(double z) noexcept { return z != 0.0 && z != EMPTY_VALUE; }
// A molar mass that is missing (0, negative, EMPTY_VALUE) adds nothing to M and D; a value
// that is not a number passes through.
constexpr bool HasMolarMass(double molarMass) noexcept { return !(molarMass <= 0.0); }

// The five sums of a mixture over the components taking part, each term added in component
// order: s (summation factors), hi and hs (ideal net and gross calorific values; a missing column
// value adds nothing), M (molar mass) and the ideal relative density d (each term taken relative
// to air before it is added; a missing molar mass adds nothing to M and d). One pass fills them
// all and writes each fraction into its component record on the way.
struct MixtureSums {
    double s = 0.0;
    double hi = 0.0;
    double hs = 0.0;
    double m = 0.0;
    double d = 0.0;
};

template <const ReferenceColumns& ref>
MixtureSums SumComponents(WobbeComponent* components, std::int32_t count, const double* fractions) noexcept {
    MixtureSums sums;
    for (std::int32_t i = 0; i < count; ++i) {
        WobbeComponent& c = components[i];
        const double x = fractions != nullptr ? fractions[i] : 0.0;
        c.moleFraction = x;
        if (!TakesPart(x)) continue;
        if (IsSet(c.*ref.sqrtB)) sums.s += c.*ref.sqrtB * x;
        if (IsSet(c.*ref.netCv)) sums.hi += c.*ref.netCv * x;
        if (IsSet(c.*ref.grossCv)) sums.hs += c.*ref.grossCv * x;
        if (HasMolarMass(c.molarMass)) {
            const double mx = c.molarMass * x;
            sums.m += mx;
            sums.d += mx / kAirMolarMass_kg_per_kmol;
        }
    }
    return sums;
}

}  // namespace

WobbeCalcs::WobbeCalcs(FluidComposition* composition) noexcept
    : m_components(nullptr),
      m_wobbeIndex(EMPTY_VALUE),
      m_density(EMPTY_VALUE),
      m_grossCvVolume(EMPTY_VALUE),
      m_netCvVolume(EMPTY_VALUE),
      m_netCvMass(EMPTY_VALUE),
      m_netCvMolar(EMPTY_VALUE),
      m_grossCvMass(EMPTY_VALUE),
      m_grossCvMolar(EMPTY_VALUE),
      m_moleFractions(nullptr),
      m_molecularWeights(nullptr),
      m_casNumbers(nullptr),
      m_fluidComposition(composition),
      m_componentCount(0),
      m_availableCount(-1) {}

WobbeCalcs::~WobbeCalcs() {
    m_components = nullptr;
    m_moleFractions = nullptr;
    m_molecularWeights = nullptr;
    m_casNumbers = nullptr;
    m_fluidComposition = nullptr;
}

void WobbeCalcs::SetAvailableCount(std::int32_t available) noexcept {
    m_availableCount = std::max<std::int32_t>(available, 0);
}

std::int32_t WobbeCalcs::LoadComponentTable() noexcept {
    m_records.Release();
    m_components = nullptr;

    std::int32_t count = m_fluidComposition != nullptr ? m_fluidComposition->componentCount : 0;
    if (m_availableCount >= 0) {
        count = std::min(count, m_availableCount);
    }
    // Without its input arrays the engine can read nothing.
    if (count < 0 || m_moleFractions == nullptr || m_molecularWeights == nullptr ||
        m_casNumbers == nullptr) {
        count = 0;
    }
    m_componentCount = 0;
    if (count == 0) {
        return 0;
    }

    m_components = m_records.Allocate(static_cast<std::size_t>(count));
    if (m_components == nullptr) {
        return 1;
    }
    m_componentCount = count;

    for (std::int32_t i = 0; i < count; ++i) {
        WobbeComponent& c = m_components[i];
        c.componentIndex = i;
        c.origin = kIso6976OriginListed;
        c.casNumber = CasKeyFromDouble(m_casNumbers[i]);
        c.molarMass = m_molecularWeights[i];
        c.moleFraction = 0.0;
        const Iso6976Lookup found = LookUpIso6976Row(c.casNumber, c.molarMass);
        c.sqrtB0 = found.row.sqrtB0;
        c.sqrtB15 = found.row.sqrtB15;
        c.grossCv0 = found.row.grossCv0;
        c.grossCv15 = found.row.grossCv15;
        c.netCv0 = found.row.netCv0;
        c.netCv15 = found.row.netCv15;
        c.origin = found.origin;
    }
    return 0;
}

std::int32_t WobbeCalcs::CalculateMixture(std::int32_t refTempOption) noexcept {
    m_wobbeIndex = EMPTY_VALUE;
    m_density = EMPTY_VALUE;
    m_grossCvVolume = EMPTY_VALUE;
    m_netCvVolume = EMPTY_VALUE;
    m_netCvMass = EMPTY_VALUE;
    m_netCvMolar = EMPTY_VALUE;
    m_grossCvMass = EMPTY_VALUE;
    m_grossCvMolar = EMPTY_VALUE;

    const std::int32_t count = m_components != nullptr ? m_componentCount : 0;
    const bool at15C = refTempOption == kRefTemp15C;
    const ReferenceColumns& ref = at15C ? kAt15C : kAt0C;
    const MixtureSums sums = at15C ? SumComponents<kAt15C>(m_components, count, m_moleFractions)
                                   : SumComponents<kAt0C>(m_components, count, m_moleFractions);

    // Compression factor of the mixture.
    const double z = 1.0 - sums.s * sums.s;
    const bool zUsable = IsUsableZ(z);
    if (zUsable) {
        m_netCvVolume = sums.hi / z;
        m_grossCvVolume = sums.hs / z;
    }

    // Molar mass of the mixture.
    const double m = sums.m;
    if (zUsable && m != 0.0) {
        m_density = m * kRefPressure_kPa / kGasConstant_kJ_per_kmolK / ref.temperature_K / z;
    }

    if (IsSet(m_netCvVolume) && IsSet(m_density)) {
        m_netCvMass = m_netCvVolume / m_density;
        m_netCvMolar = m_netCvMass * m;
    }
    if (IsSet(m_grossCvVolume) && IsSet(m_density)) {
        m_grossCvMass = m_grossCvVolume / m_density;
        m_grossCvMolar = m_grossCvMass * m;
    }

    // Ideal relative density, each term taken relative to air before it is added.
    double d = sums.d;
    if (zUsable) {
        if (d == 0.0) {
            return 0;
        }
        d = d * ref.zAir / z;  // real relative density
    }

    if (d != 0.0 && d != EMPTY_VALUE && IsSet(m_grossCvVolume)) {
        m_wobbeIndex = m_grossCvVolume / std::sqrt(d);
    }
    return 0;
}
