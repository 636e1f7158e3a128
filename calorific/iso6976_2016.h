// ISO 6976:2016 mixture engine: real-gas density, gross and net calorific values on volume,
// mass and molar basis and the superior Wobbe index of one composition at 101.325 kPa, for one
// pair of combustion and metering reference temperatures.
#pragma once

#include <cstdint>

#include "calorific/inline_buffer.h"
#include "calorific/iso6976_2016_table.h"

class Iso2016Calcs {
public:
    // count components; the three arrays are borrowed and hold at least count values. The table
    // rows are looked up here, once: the engine may then be calculated any number of times, for
    // any reference conditions and for any fractions written into the borrowed array meanwhile
    // (the CAS numbers and molecular weights must stay as they were).
    Iso2016Calcs(std::int32_t count, const double* moleFractions, const double* molecularWeights,
                 const double* casNumbers) noexcept;

    // Forms every result; those that cannot be formed are EMPTY_VALUE.
    void Calculate(const iso6976_2016::RefConditions& conditions) noexcept;

    // Points the engine at another array of count fractions (not null when count > 0), read by
    // the next Calculate; the rows stay.
    void SetMoleFractions(const double* moleFractions) noexcept { m_moleFractions = moleFractions; }

    // False when the rows could not be allocated; Calculate then forms nothing.
    bool Loaded() const noexcept { return m_count == 0 || m_components != nullptr; }

    // The same result names and units as the 1995 engine, so that the classes of both editions
    // read them alike.
    double m_wobbeIndex;     // superior Wobbe index, MJ/m3
    double m_density;        // real-gas density, kg/m3
    double m_grossCvVolume;  // real-gas gross calorific value, MJ/m3
    double m_netCvVolume;    // MJ/m3
    double m_netCvMass;      // MJ/kg
    double m_netCvMolar;     // MJ/kmol
    double m_grossCvMass;    // MJ/kg
    double m_grossCvMolar;   // MJ/kmol
    // Formed on the way.
    double m_compressionFactor;  // Z of the mixture
    double m_molarMass;          // kg/kmol
    double m_relativeDensity;    // real-gas relative density
    double m_netWobbeIndex;      // inferior Wobbe index, MJ/m3

private:
    // One component's row and the molar mass it adds to M.
    struct Component {
        const iso6976_2016::Row* row;
        double molarMass;    // the table's for a listed component, else the host's
        bool addsMolarMass;  // false: an unlisted component without a molecular weight
    };

    std::int32_t m_count;
    InlineBuffer<Component> m_records;
    Component* m_components = nullptr;  // m_count records in m_records; null when not allocated
    const double* m_moleFractions;
    const double* m_molecularWeights;
    const double* m_casNumbers;
};
