#include "co2e/property_calculator.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "co2e/gwp_tables.h"

namespace {

double* AllocateDoubles(std::int32_t count) noexcept {
    return static_cast<double*>(CoTaskMemAlloc(static_cast<std::size_t>(count) * sizeof(double)));
}

// The one calculator of the process. Constant initialisation puts it in its start state
// before any constructor of the library runs; its destructor runs when the library unloads.
constinit CPropertyCalculator g_calculator;

}  // namespace

CPropertyCalculator& GetPropertyCalculator() noexcept { return g_calculator; }

std::recursive_mutex& PropertyCalculatorLock() noexcept {
    static std::recursive_mutex lock;
    return lock;
}

CPropertyCalculator::~CPropertyCalculator() {
    m_componentData = nullptr;
    CoTaskMemFree(m_propertyValues);
    m_propertyValues = nullptr;
    m_propertyCount = 0;
    ResetFluid();
}

void CPropertyCalculator::SetComponentData(IComponentData* componentData) noexcept {
    // The new reference is taken before the old one goes, so handing in the same object again
    // never lets its count touch zero.
    platform::ComPtr<IComponentData> incoming(componentData);
    m_componentData.Swap(incoming);
}

double CPropertyCalculator::LookUpGwpFactor(double casValue, std::string_view label) noexcept {
    return co2e::LookUpGwpFactor(casValue, label);
}

void CPropertyCalculator::ResetFluid() noexcept {
    CoTaskMemFree(m_molecularWeights);
    m_molecularWeights = nullptr;
    m_molarFlow = EMPTY_VALUE;
    // The record is packed on 4-byte boundaries: its pointers are reached through the
    // record, never through references of their own.
    for (int slot = 0; slot < kSlotCount; ++slot) {
        CoTaskMemFree(m_composition.moleFractions[slot]);
        m_composition.moleFractions[slot] = nullptr;
    }
    std::memset(&m_composition, 0, sizeof m_composition);
}

double* CPropertyCalculator::GetPropertyArray(const char* name, int copy) noexcept {
    if (!m_componentData) return nullptr;
    try {
        if (FAILED(m_componentData->GetComponentProperty(name, &m_propertyCount, &m_propertyValues)))
            return nullptr;
    } catch (...) {
        return nullptr;
    }
    // A success without an array, or with a negative count, answers nothing.
    if (!m_propertyValues || m_propertyCount < 0) return nullptr;
    if (copy == 0) return m_propertyValues;
    double* values = AllocateDoubles(m_propertyCount);
    if (!values) return nullptr;
    std::copy_n(m_propertyValues, m_propertyCount, values);
    return values;
}

int CPropertyCalculator::LoadFluid() noexcept {
    if (!m_componentData) return 0;
    if (m_loaded != 0) return 1;
    try {
        ResetFluid();
        if (FAILED(m_componentData->GetComposition(&m_composition))) return 0;

        const std::int32_t n = std::max(m_composition.componentCount, std::int32_t{0});
        if (!m_molecularWeights) {
            m_molecularWeights = AllocateDoubles(n);
        } else if (n != m_molecularWeightCount) {
            // At least one element: a reallocation to nothing frees the block.
            double* grown = static_cast<double*>(
                CoTaskMemRealloc(m_molecularWeights, static_cast<std::size_t>(std::max(n, std::int32_t{1})) * sizeof(double)));
            if (!grown) CoTaskMemFree(m_molecularWeights);
            m_molecularWeights = grown;
        }
        m_molecularWeightCount = n;
        // Every weight starts missing, so that a load that stops half-way leaves nothing
        // undefined behind for a phase sum that reuses it.
        if (m_molecularWeights) std::fill_n(m_molecularWeights, n, EMPTY_VALUE);

        const double* weights = GetPropertyArray("Molecular Weight", 0);
        if (!weights) return 0;
        if (!m_molecularWeights) return 0;
        // A host that reports fewer weights than components is never read past; the
        // components without one keep EMPTY_VALUE and contribute no mass flow.
        std::copy_n(weights, std::min(n, m_propertyCount), m_molecularWeights);

        const double* flow = GetPropertyArray("MolarFlow", 0);
        if (!flow) return 0;
        // An empty answer carries no molar flow: treated like one that cannot be obtained.
        if (m_propertyCount < 1) return 0;
        m_molarFlow = flow[0];
        return 1;
    } catch (...) {
        return 0;
    }
}

double CPropertyCalculator::SumPhase(int phase, std::string_view label) noexcept {
    if (phase < 0 || phase >= kPhaseCount) return EMPTY_VALUE;
    if (LoadFluid() == 0) return EMPTY_VALUE;

    double sum = 0.0;
    const std::int32_t n = m_composition.componentCount;
    for (std::int32_t i = 0; i < n; ++i) {
        // A phase without a mole-fraction array contributes nothing.
        const double* fractions = m_composition.moleFractions[phase];
        const double x = fractions ? fractions[i] : EMPTY_VALUE;
        const double beta = m_composition.phaseFraction[phase];

        m_loaded = 1;
        double* casNumbers = GetPropertyArray("CAS_Numbers", 1);
        const std::int32_t casCount = m_propertyCount;
        m_loaded = 0;
        if (!casNumbers) return EMPTY_VALUE;

        // Components beyond the CAS numbers or the molecular weights the host gave count as
        // missing: they contribute nothing, and nothing is read past either array.
        const double g = i < casCount ? LookUpGwpFactor(casNumbers[i], label) : EMPTY_VALUE;
        const double molecularWeight =
            m_molecularWeights && i < m_molecularWeightCount ? m_molecularWeights[i] : EMPTY_VALUE;

        if (m_molarFlow != EMPTY_VALUE && beta != EMPTY_VALUE && x != EMPTY_VALUE &&
            molecularWeight != EMPTY_VALUE) {
            // Mass flow of the component in this phase: molar flow x phase fraction x mole
            // fraction x molecular weight, multiplied in this order.
            const double t = ((m_molarFlow * beta) * x) * molecularWeight;
            if (t != EMPTY_VALUE && g != EMPTY_VALUE) sum = sum + g * t;
        }
        CoTaskMemFree(casNumbers);
    }
    return sum;
}

double CPropertyCalculator::CalculateCO2E(int slot, std::string_view label) noexcept {
    if (slot >= 0 && slot < kPhaseCount) return SumPhase(slot, label);
    if (slot != kOverallSlot) return EMPTY_VALUE;
    // The whole fluid is the sum of the four phases; the overall mole fractions are not used.
    double sum = 0.0;
    for (int phase = 0; phase < kPhaseCount; ++phase) {
        const double value = SumPhase(phase, label);
        if (value == EMPTY_VALUE) return EMPTY_VALUE;
        sum = sum + value;
    }
    return sum;
}
