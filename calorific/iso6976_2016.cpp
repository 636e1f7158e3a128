#include "calorific/iso6976_2016.h"

#include <cmath>

#include "calorific/wobbe_calcs.h"
#include "framework/empty_value.h"

namespace {

using namespace iso6976_2016;

// A molecular weight that is missing (0, negative, EMPTY_VALUE) adds nothing to M.
constexpr bool HasMolarMass(double molarMass) noexcept { return !(molarMass <= 0.0); }

}  // namespace

Iso2016Calcs::Iso2016Calcs(std::int32_t count, const double* moleFractions, const double* molecularWeights,
                           const double* casNumbers) noexcept
    : m_count(moleFractions && molecularWeights && casNumbers && count > 0 ? count : 0),
      m_moleFractions(moleFractions),
      m_molecularWeights(molecularWeights),
      m_casNumbers(casNumbers) {
    if (m_count > 0) m_components = m_records.Allocate(static_cast<std::size_t>(m_count));
    if (m_components) {
        for (std::int32_t i = 0; i < m_count; ++i) {
            const double hostMolarMass = m_molecularWeights[i];
            const Lookup found = LookUp(CasKeyFromDouble(m_casNumbers[i]), hostMolarMass);
            m_components[i] = found.listed ? Component{found.row, found.row->molarMass_kg_per_kmol, true}
                                           : Component{found.row, hostMolarMass, HasMolarMass(hostMolarMass)};
        }
    }
    Calculate({-1, -1});
}

void Iso2016Calcs::Calculate(const RefConditions& conditions) noexcept {
    m_wobbeIndex = m_density = m_grossCvVolume = m_netCvVolume = EMPTY_VALUE;
    m_netCvMass = m_netCvMolar = m_grossCvMass = m_grossCvMolar = EMPTY_VALUE;
    m_compressionFactor = m_molarMass = m_relativeDensity = m_netWobbeIndex = EMPTY_VALUE;
    const int c = conditions.combustion;
    const int m = conditions.metering;
    if (c < 0 || c >= kCombustionCount || m < 0 || m >= kMeteringCount || !Loaded()) return;

    // Sums over the components taking part: s (the summation factors of the metering
    // temperature), the ideal molar calorific values (of the combustion temperature), M.
    double s = 0.0, gross = 0.0, net = 0.0, molarMass = 0.0;
    for (std::int32_t i = 0; i < m_count; ++i) {
        const double x = m_moleFractions[i];
        if (!TakesPart(x)) continue;
        const Component& component = m_components[i];
        const Row& row = *component.row;
        s += row.summationFactor[static_cast<std::size_t>(m)] * x;
        gross += row.grossMolar_kJ_per_mol[static_cast<std::size_t>(c)] * x;
        net += NetMolar_kJ_per_mol(row, c) * x;
        if (component.addsMolarMass) molarMass += component.molarMass * x;
    }

    const double z = 1.0 - s * s;  // at the reference pressure p0, p/p0 = 1
    if (z == 0.0) return;
    m_compressionFactor = z;
    const double idealMolarVolume = kGasConstant_J_per_molK * kMeteringTemperature_K[static_cast<std::size_t>(m)] /
                                    kRefPressure_kPa;  // m3/kmol
    m_grossCvVolume = gross / (z * idealMolarVolume);
    m_netCvVolume = net / (z * idealMolarVolume);
    if (molarMass == 0.0) return;

    // kJ/mol is MJ/kmol.
    m_molarMass = molarMass;
    m_grossCvMolar = gross;
    m_netCvMolar = net;
    m_grossCvMass = gross / molarMass;
    m_netCvMass = net / molarMass;
    m_density = molarMass / (z * idealMolarVolume);
    m_relativeDensity = molarMass / kAirMolarMass_kg_per_kmol * kAirCompressionFactor[static_cast<std::size_t>(m)] / z;
    if (m_relativeDensity > 0.0) {
        m_wobbeIndex = m_grossCvVolume / std::sqrt(m_relativeDensity);
        m_netWobbeIndex = m_netCvVolume / std::sqrt(m_relativeDensity);
    }
}
