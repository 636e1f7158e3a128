// ISO 6976 mixture engine: real-gas density, gross and net calorific values on volume, mass and
// molar basis and the superior Wobbe index of one composition at 101.325 kPa and 15 degC or
// 0 degC. LoadComponentTable takes the rows of one list of components; CalculateMixture may then
// run any number of times, on whatever fractions m_moleFractions points to at the time.
#pragma once

#include <bit>
#include <cstdint>

#include "calorific/inline_buffer.h"
#include "framework/empty_value.h"

struct FluidComposition;

// One component's data for a calculation.
struct WobbeComponent {
    double molarMass;     // the host's molecular weight, kg/kmol
    double sqrtB0;        // summation factor at 0 degC
    double sqrtB15;       // summation factor at 15 degC
    double grossCv0;      // ideal gross calorific value, MJ/m3 at 0 degC
    double grossCv15;     // ideal gross calorific value, MJ/m3 at 15 degC
    double netCv0;        // ideal net calorific value, MJ/m3 at 0 degC
    double netCv15;       // ideal net calorific value, MJ/m3 at 15 degC
    double moleFraction;  // 0 after loading; the input fraction during CalculateMixture
    std::int32_t origin;          // 0 listed, 1 alkane by molar mass, 3 the same above C11
    std::int32_t componentIndex;  // position in the host's component list
    std::int32_t casNumber;       // integer CAS key used for the lookup
};

class WobbeCalcs {
public:
    // refTempOption of CalculateMixture: 0 the 15 degC column, anything else 0 degC.
    static constexpr std::int32_t kRefTemp15C = 0;
    static constexpr std::int32_t kRefTemp0C = 1;

    explicit WobbeCalcs(FluidComposition* composition) noexcept;
    virtual ~WobbeCalcs();

    WobbeCalcs(const WobbeCalcs&) = delete;
    WobbeCalcs& operator=(const WobbeCalcs&) = delete;

    // The input arrays may hold fewer values than the record's componentCount (the host may
    // change its count between property requests). Told so before LoadComponentTable, the
    // engine uses min(componentCount, available) components; a negative count counts as 0.
    void SetAvailableCount(std::int32_t available) noexcept;

    // Builds one record per component from the CAS numbers and molecular weights. Returns 0,
    // or 1 when the records cannot be allocated (the engine must then not be calculated).
    std::int32_t LoadComponentTable() noexcept;

    // Forms the eight results; those that cannot be formed are EMPTY_VALUE. Returns 0.
    std::int32_t CalculateMixture(std::int32_t refTempOption) noexcept;

    WobbeComponent* m_components;  // m_componentCount records, in m_records
    double m_wobbeIndex;           // superior Wobbe index, MJ/m3
    double m_density;              // real-gas density, kg/m3
    double m_grossCvVolume;        // real-gas gross calorific value, MJ/m3
    double m_netCvVolume;          // real-gas net calorific value, MJ/m3
    double m_netCvMass;            // MJ/kg
    double m_netCvMolar;           // MJ/kmol
    double m_grossCvMass;          // MJ/kg
    double m_grossCvMolar;         // MJ/kmol
    const double* m_moleFractions;     // borrowed, one per component
    const double* m_molecularWeights;  // borrowed, kg/kmol
    const double* m_casNumbers;        // borrowed, whole numbers held in doubles
    FluidComposition* m_fluidComposition;  // borrowed; only componentCount is read
    std::int32_t m_componentCount;

private:
    std::int32_t m_availableCount;  // negative: not limited
    InlineBuffer<WobbeComponent> m_records;
};

// The integer key of a CAS number given as a double: truncated toward zero; a value outside
// the 32-bit range or not a number gives 0, which no component carries.
constexpr std::int32_t CasKeyFromDouble(double casNumber) noexcept {
    // Both bounds are exact doubles; every value strictly between them truncates into int32.
    constexpr double kBelowMin = -2147483649.0;
    constexpr double kAboveMax = 2147483648.0;
    if (!(casNumber > kBelowMin && casNumber < kAboveMax)) {
        return 0;
    }
    return static_cast<std::int32_t>(casNumber);
}

// A mole fraction that takes part in the sums: neither 0 nor EMPTY_VALUE (a not-a-number does).
// Written on the bits, two integer comparisons instead of two unordered floating-point ones, for
// the same answer: +0 and -0 are the only doubles equal to 0, and EMPTY_VALUE, a number other
// than 0, is the only double equal to itself.
constexpr bool TakesPart(double moleFraction) noexcept {
    const auto bits = std::bit_cast<std::uint64_t>(moleFraction);
    return (bits << 1) != 0 && bits != std::bit_cast<std::uint64_t>(EMPTY_VALUE);
}
