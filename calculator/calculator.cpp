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

}  // namespace

Calculator::Calculator(std::string modulePath)
    : m_modulePath(modulePath.empty() ? host::DefaultModulePath() : std::move(modulePath)) {}

Calculator::~Calculator() = default;

host::FluidEvaluator& Calculator::EvaluatorFor(const host::CatalogueEntry* entry,
                                               const host::EvaluationSettings& settings) const {
    // Every setting is part of the key: an evaluator sets its options on its objects once.
    for (auto it = m_kept.begin(); it != m_kept.end(); ++it)
        if (it->entry == entry && it->settings == settings) {
            std::rotate(it, it + 1, m_kept.end());   // the most recent last
            return *m_kept.back().evaluator;
        }
    constexpr std::size_t kKept = 16;
    if (m_kept.size() == kKept) m_kept.erase(m_kept.begin());
    const auto manager = Manager(m_modulePath);
    const host::CatalogueEntry* classes[] = {entry};
    m_kept.push_back({entry, settings, std::make_unique<host::FluidEvaluator>(*manager, classes, false, settings)});
    return *m_kept.back().evaluator;
}

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

    host::FluidResult result = EvaluatorFor(entry, settings).Evaluate(fluid);
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
