#include "calculator/calculator.h"

#include <algorithm>
#include <map>
#include <memory>
#include <mutex>
#include <utility>

#include <fmt/format.h>

namespace calorix::calculator {

namespace {

// Modules are loaded once per path and stay loaded for the life of the process.
std::shared_ptr<const host::CorrelationManager> Manager(const std::string& path) {
    static std::mutex lock;
    static std::map<std::string, std::shared_ptr<const host::CorrelationManager>> loaded;
    std::lock_guard guard(lock);
    auto& manager = loaded[path];
    if (!manager) {
        auto made = std::make_shared<host::CorrelationManager>();
        const HRESULT hr = made->Load(path);
        if (FAILED(hr)) {
            loaded.erase(path);
            throw CalculatorError(fmt::format("cannot load {}: {}", path, host::FormatStatus(hr)));
        }
        manager = std::move(made);
    }
    return manager;
}

// Evaluators of this thread for the last correlations and settings used: making one creates
// the correlation object, which takes far longer than a calculation with it.
host::FluidEvaluator& EvaluatorFor(const std::shared_ptr<const host::CorrelationManager>& manager,
                                   const host::CatalogueEntry* entry, const host::EvaluationSettings& settings) {
    struct Kept {
        const host::CorrelationManager* manager;
        const host::CatalogueEntry* entry;
        std::string key;
        std::unique_ptr<host::FluidEvaluator> evaluator;
    };
    constexpr std::size_t kKept = 16;
    thread_local std::vector<Kept> kept;
    const std::string key = fmt::format("{}/{}/{}/{}/{}/{}", settings.flash, settings.refTempOption.value_or(-1),
                                        settings.edition.combustionC, settings.edition.meteringC,
                                        settings.edition.reference1995C, settings.methaneOriginOption);
    for (auto it = kept.begin(); it != kept.end(); ++it)
        if (it->manager == manager.get() && it->entry == entry && it->key == key) {
            std::rotate(it, it + 1, kept.end());   // the most recent last
            return *kept.back().evaluator;
        }
    if (kept.size() == kKept) kept.erase(kept.begin());
    const host::CatalogueEntry* classes[] = {entry};
    kept.push_back({manager.get(), entry, key,
                    std::make_unique<host::FluidEvaluator>(*manager, classes, false, settings)});
    return *kept.back().evaluator;
}

// The one class a correlation argument names.
const host::CatalogueEntry* OneClass(std::string_view correlation, const host::IsoEdition& edition) {
    std::vector<const host::CatalogueEntry*> classes;
    bool optional = false;
    std::string problem;
    if (!host::SelectClasses(std::string(correlation), edition, classes, optional, problem))
        throw CalculatorError("correlation: " + problem);
    if (classes.size() != 1)
        throw CalculatorError(fmt::format("correlation: '{}' names {} classes; give one class word, such as HHV2016",
                                          correlation, classes.size()));
    return classes[0];
}

std::string DefaultModule() { return host::DefaultModulePath(); }

}  // namespace

Calculator::Calculator(std::string modulePath)
    : m_modulePath(modulePath.empty() ? DefaultModule() : std::move(modulePath)) {}

std::string Calculator::Version() { return CALORIX_VERSION; }

host::CorrelationResult Calculator::Evaluate(std::string_view correlation, const Composition& composition,
                                             double temperatureC, double pressureKPa,
                                             std::string_view options) const {
    const CalculatorOptions chosen = ParseOptions(options);
    const host::EvaluationSettings& settings = chosen.settings;
    const host::CatalogueEntry* entry = OneClass(correlation, settings.edition);
    // A reference option the class does not take would leave its value at other temperatures
    // than asked for: refused rather than computed.
    const host::CatalogueEntry* classes[] = {entry};
    const auto warnings =
        host::ReferenceOptionWarnings(classes, chosen.choices.ref, !chosen.choices.refTemp.empty(), settings.edition);
    if (!warnings.empty()) throw CalculatorError("options: " + InOptionWords(warnings.front()));
    const host::Fluid fluid = MakeFluid(composition, temperatureC, pressureKPa, chosen);

    const auto manager = Manager(m_modulePath);
    host::FluidResult result = EvaluatorFor(manager, entry, settings).Evaluate(fluid);
    if (!result.flashProblem.empty()) throw CalculatorError(result.flashProblem);
    host::CorrelationResult& r = result.correlations.front();
    if (!r.Ok()) throw CalculatorError(fmt::format("{}: {}", r.report.word, r.StatusText()));
    return std::move(r);
}

double Calculator::Value(std::string_view correlation, const Composition& composition, double temperatureC,
                         double pressureKPa, std::string_view options) const {
    const host::CorrelationResult r = Evaluate(correlation, composition, temperatureC, pressureKPa, options);
    const auto& overall = r.report.phaseValues[host::kPhaseValueIndex[0]];
    if (r.phases[0].state != host::PhaseState::Ok || !overall)
        throw CalculatorError(fmt::format("{}: {}", r.report.word, r.StatusText()));
    return *overall;
}

PhaseValueRow Calculator::PhaseValues(std::string_view correlation, const Composition& composition,
                                      double temperatureC, double pressureKPa, std::string_view options) const {
    const host::CorrelationResult r = Evaluate(correlation, composition, temperatureC, pressureKPa, options);
    PhaseValueRow row;
    for (std::size_t k = 0; k < host::kOutputColumns; ++k)
        if (r.phases[k].state == host::PhaseState::Ok) row[k] = r.report.phaseValues[host::kPhaseValueIndex[k]];
    return row;
}

host::Fluid Calculator::Flash(const Composition& composition, double temperatureC, double pressureKPa,
                              std::string_view options) const {
    host::Fluid fluid = MakeFluid(composition, temperatureC, pressureKPa, ParseOptions(options));
    std::string problem;
    if (!host::Equilibrate(fluid, problem)) throw CalculatorError(problem);
    return fluid;
}

std::vector<CorrelationRow> Calculator::Correlations() const {
    const auto manager = Manager(m_modulePath);
    std::vector<CorrelationRow> rows;
    for (const auto& e : host::Catalogue()) {
        const host::CorrelationReport described = host::DescribeClass(*manager, e);
        CorrelationRow row{e.word, fmt::format("Calorix.{}.1", e.word), described.displayName,
                           std::string(host::UnitOfResultType(described.resultType)), 0};
        for (int year : {1995, 2016})
            if (host::IsEditionClass(e, host::IsoEdition{year})) row.iso6976Edition = year;
        rows.push_back(std::move(row));
    }
    return rows;
}

}  // namespace calorix::calculator
