// One fluid through a set of correlations: the host's flash first when asked, then every
// correlation, then a check of every value. An evaluator owns its correlation objects; they
// are created, used and released on the thread that made the evaluator (the objects are
// apartment-threaded), so a batch makes one evaluator per worker thread.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "host/fluid/fluid_model.h"
#include "host/manager/correlation_manager.h"
#include "host/manager/iso_edition.h"
#include "host/thermo/flash.h"

namespace calorix::host {

// The options are set once, on every object that reports the parameter, when the object is made.
struct EvaluationSettings {
    bool flash = false;                          // replace the phases by the host's flash at T, P
    std::optional<std::int32_t> refTempOption;   // "RefTempOption": 0 for 15 degC, 1 for 0 degC
    IsoEdition edition;                          // "RefConditions": the pair of edition.combustionC, meteringC
    std::int32_t methaneOriginOption = 0;        // "MethaneOrigin": 0 fossil, 1 non-fossil
    std::int32_t gergModelOption = 0;            // "Model": 0 GERG-2008, 1 with the 2021 hydrogen binaries
    bool usUnits = false;                        // "TempUnitFlag" 0: water content per m3 at 60 degF

    bool operator==(const EvaluationSettings&) const = default;
};

// What a phase column of the output says.
enum class PhaseState { Ok, Absent, NotComputed };
struct PhaseStatus {
    PhaseStatus() = default;
    PhaseStatus(PhaseState s, std::string why = {}, std::string aside = {})
        : state(s), reason(std::move(why)), note(std::move(aside)) {}

    PhaseState state = PhaseState::Absent;
    std::string reason;   // why a phase present has no value
    std::string note;     // of a value: where it lies outside the model's normal range
    // "ok", "ok (extended range: hydrogen 20 % above 10 %)", "absent" or "not computed".
    std::string Text() const;
};

// Outputs, in "Phase_Values" order of the columns shown: overall, vapour, HC liquid, aqueous,
// phase 3 (indexes 0, 1, 2, 3, 5).
inline constexpr std::size_t kOutputColumns = 5;
inline constexpr std::array<std::size_t, kOutputColumns> kPhaseValueIndex = {0, 1, 2, 3, 5};
inline constexpr std::array<const char*, kOutputColumns> kPhaseKey = {"overall", "vapour", "hc_liquid", "aqueous",
                                                                     "phase3"};

struct CorrelationResult {
    CorrelationReport report;
    std::string problem;                                  // empty when every value is sound
    std::array<PhaseStatus, kOutputColumns> phases;
    // ISO 6976 classes and classes with a reference option: the edition (the catalogue's) and the
    // reference temperatures the values were computed with.
    std::optional<IsoEdition> edition;
    std::optional<std::string> model;                     // classes with "Model": the one selected, as the class names it
    // Nothing failed (a value may still be missing for a reason, such as no dew point).
    bool Ok() const { return SUCCEEDED(report.status) && problem.empty(); }
    // "ok" only when the overall value is there; else what failed or why it is missing.
    std::string StatusText() const;
};

struct FluidResult {
    Fluid fluid;                                          // as calculated (after the flash)
    std::string flashProblem;                             // the flash failed: why
    std::vector<CorrelationResult> correlations;
    // What every front end warns about for this fluid: it splits into phases and no flash was
    // asked; it is no gas at the reference conditions of the ISO 6976 classes run; a phase the
    // host's flash cannot tell from a solid.
    std::vector<std::string> warnings;
    bool Ok() const;
};

class FluidEvaluator {
public:
    // Creates one object of each class. Classes the module does not serve are left out when
    // `optional` (see LeftOut()); any other failure shows in every result of that class.
    FluidEvaluator(const CorrelationManager& manager, std::span<const CatalogueEntry* const> classes, bool optional,
                   EvaluationSettings settings);
    FluidEvaluator(const FluidEvaluator&) = delete;
    FluidEvaluator& operator=(const FluidEvaluator&) = delete;

    FluidResult Evaluate(const Fluid& fluid);
    const std::vector<std::string>& LeftOut() const { return m_leftOut; }

private:
    struct Slot {
        const CatalogueEntry* entry;
        platform::ComPtr<ICorrelation> correlation;
        HRESULT createStatus;
        const char* failedStep;
        std::optional<IsoEdition> edition;
        std::optional<std::string> model;
        CorrelationReport described;   // display name, class id, result type: read once
    };
    // The warnings of a fluid evaluated.
    void AddWarnings(const Fluid& input, FluidResult& out);

    std::vector<Slot> m_slots;
    std::vector<std::string> m_leftOut;
    EvaluationSettings m_settings;
    // The Peng-Robinson model of the last fluid checked for a split, kept for the next fluid of
    // the same components (every row of a CSV batch).
    std::optional<PengRobinsonFlash> m_splitModel;
    // The module's ISO 6976 compression factor at the lowest metering temperature of the
    // classes run that have one; null when none has.
    platform::ComPtr<ICorrelation> m_gasCheck;
    double m_gasCheckMeteringC = 0.0;
};

// Below this compression factor at its reference conditions a fluid is no gas there, and ISO
// 6976 heating values and densities, which are for gases, are outside the standard's range.
inline constexpr double kGasCompressionFactor = 0.9;

// The fluid at its own temperature and pressure by the host's flash, phases replaced; false,
// with the reason, when the flash fails.
bool Equilibrate(Fluid& fluid, std::string& problem);
// Warnings for phases of a flashed fluid that the host's flash cannot tell apart from a solid:
// a liquid that is mostly carbon dioxide below its triple point.
std::vector<std::string> SolidPhaseWarnings(const Fluid& fluid);

// Is a value of this result type physically possible? (finite; dew points above absolute zero;
// densities positive; everything else not negative)
bool PlausibleValue(std::int32_t resultType, double value) noexcept;

}  // namespace calorix::host
