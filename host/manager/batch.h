// Many fluids through the same correlations on every core, streamed. Each worker thread makes its
// own FluidEvaluator (its own correlation objects, created, used and released on that thread)
// and takes the next fluid read; results are handed back in input order as soon as they and all
// before them are done. At most a window of inputs (16 per thread) is held at any time, so
// memory does not grow with the batch.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "host/manager/evaluate.h"

namespace calorix::host {

// One input of a stream: a fluid, or why it was refused (then it is written, not evaluated).
struct BatchEntry {
    std::optional<Fluid> fluid;
    std::string problem;
    std::string where;   // where it was read ("file:line", "file[i]"), for messages
    std::string id;      // the fluid's "id" where it could be read, a refused entry's too
};

struct StreamOptions {
    unsigned threads = 0;              // 0: one per hardware thread
    // The window: inputs read and not yet written, per thread. Wide enough that a fluid of much
    // work (a dew point's long search) at the front of the window, or a writer kept waiting for a
    // processor, leaves the other workers fluids to go on with.
    std::size_t inputsPerThread = 16;
};

// Reads entries with `next` (false at the end), evaluates them and calls `write` with each entry
// and its result (null for a refused entry) in input order; `next` and `write` run on the calling
// thread. Returns the classes the module does not serve. An exception thrown by `next`, `write`
// or an evaluator stops the stream and is rethrown after the workers have ended.
std::vector<std::string> StreamBatch(const CorrelationManager& manager, std::span<const CatalogueEntry* const> classes,
                                     bool optional, const EvaluationSettings& settings,
                                     const std::function<bool(BatchEntry&)>& next,
                                     const std::function<void(const BatchEntry&, const FluidResult*)>& write,
                                     StreamOptions options = {});

// Calls work(i, evaluator) once for every i below `count`, on up to `threads` threads (0: one per
// hardware thread), the calling thread among them, each with its own evaluator. Items are handed
// out one at a time from a shared counter, so no thread waits for another while items are left.
// `progress`, when given, is called on the calling thread after each of its items with the
// number of items done; an exception from it or from `work` stops the others after their current
// item and is rethrown once they have ended. Returns the classes the module does not serve.
//
// Making an evaluator creates an object of every class, which takes longer than a thousand
// fluids of ISO 6976 (milliseconds), so a caller that runs many batches keeps its threads and
// their evaluators: `evaluator` gives the evaluator of the thread that calls it, made for the
// same classes and settings (default: one made for this call), and `run` runs a task on the
// calling thread and on `helpers` other threads, returning when every one has returned
// (default: threads started for this call).
struct EachOptions {
    unsigned threads = 0;
    std::function<void(std::size_t done)> progress;
    std::function<FluidEvaluator&()> evaluator;
    std::function<void(unsigned helpers, const std::function<void()>& task)> run;
};
std::vector<std::string> EvaluateEach(const CorrelationManager& manager, std::span<const CatalogueEntry* const> classes,
                                      bool optional, const EvaluationSettings& settings, std::size_t count,
                                      const std::function<void(std::size_t, FluidEvaluator&)>& work,
                                      const EachOptions& options = {});

struct BatchRun {
    std::vector<FluidResult> results;      // one per fluid, in input order
    std::vector<std::string> leftOut;      // classes the module does not serve
};

// The fluids of a list, results kept. `threads` 0: one per hardware thread. `progress`, when
// given, is called on the calling thread with the number of fluids done, the last time with all.
BatchRun EvaluateBatch(const CorrelationManager& manager, std::span<const CatalogueEntry* const> classes, bool optional,
                       const EvaluationSettings& settings, std::span<const Fluid> fluids, unsigned threads = 0,
                       const std::function<void(std::size_t done)>& progress = {});

// The warnings of many fluids, summarised: the first few of each kind (the same text but for
// its numbers, such as "mole fractions sum to 0.999999") are shown in full, the others only
// counted, and Summary() then says how many there were and at which fluids.
class WarningTally {
public:
    explicit WarningTally(std::size_t shownPerKind = 3) : m_shown(shownPerKind) {}
    // Counts a warning of fluid `fluidNumber` (1-based); true when it is to be shown now.
    bool Add(std::size_t fluidNumber, const std::string& text);
    // One line per kind with more warnings than were shown: "<first text> (and N more such
    // warnings, fluids 4, 5, 9, ...)".
    std::vector<std::string> Summary() const;

private:
    struct Kind {
        std::string key, first;
        std::size_t count = 0;
        std::vector<std::size_t> fluids;   // the first few beyond those shown
    };
    std::size_t m_shown;
    std::vector<Kind> m_kinds;
};

struct Progress {
    std::size_t done = 0;       // fluids written
    double share = 0.0;         // of the input, 0 to 1
    double seconds = 0.0;       // since the start
    std::size_t columns = 80;   // width of the terminal
    bool last = false;          // the final redraw: ends the line
};

// A progress bar for standard error, redrawn in place: "\r[#####.....]  42%  512 fluids  850/s
// 0:12 left", as wide as the terminal allows, ended by a newline on the last redraw.
std::string ProgressBar(const Progress& progress);

}  // namespace calorix::host
