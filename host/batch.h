// Many fluids through the same correlations on every core. Each worker thread makes its own
// FluidEvaluator (its own correlation objects, created, used and released on that thread)
// and takes the next fluid until none is left; results keep the order of the fluids.
#pragma once

#include <cstddef>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "host/evaluate.h"

namespace calorix::host {

struct BatchRun {
    std::vector<FluidResult> results;      // one per fluid, in input order
    std::vector<std::string> leftOut;      // classes the module does not serve
};

// `threads` 0: one per hardware thread (never more than fluids). `progress`, when given, is
// called on the calling thread now and then with the number of fluids done, and once at the end.
BatchRun EvaluateBatch(const CorrelationManager& manager, std::span<const CatalogueEntry* const> classes, bool optional,
                       const EvaluationSettings& settings, std::span<const Fluid> fluids, unsigned threads = 0,
                       const std::function<void(std::size_t done)>& progress = {});

// A progress bar for standard error: "\r[#####.....]  512/10000 fluids", ended by a newline
// when done == total.
std::string ProgressBar(std::size_t done, std::size_t total);

}  // namespace calorix::host
