#include "host/batch.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <exception>
#include <mutex>
#include <thread>

#include <fmt/format.h>

#include "platform/program.h"

namespace calorix::host {

BatchRun EvaluateBatch(const CorrelationManager& manager, std::span<const CatalogueEntry* const> classes, bool optional,
                       const EvaluationSettings& settings, std::span<const Fluid> fluids, unsigned threads,
                       const std::function<void(std::size_t)>& progress) {
    BatchRun run;
    run.results.resize(fluids.size());
    if (threads == 0) threads = std::max(1u, std::thread::hardware_concurrency());
    threads = static_cast<unsigned>(std::min<std::size_t>(threads, std::max<std::size_t>(fluids.size(), 1)));

    std::atomic<std::size_t> next{0}, done{0};
    std::mutex lock;
    bool leftOutTaken = false;
    std::exception_ptr failure;
    auto work = [&] {
        platform::ComApartment apartment;  // creating a correlation needs one on Windows
        try {
            FluidEvaluator evaluator(manager, classes, optional, settings);
            {
                std::lock_guard guard(lock);
                if (!leftOutTaken) run.leftOut = evaluator.LeftOut();
                leftOutTaken = true;
            }
            for (std::size_t i = next++; i < fluids.size(); i = next++) {
                run.results[i] = evaluator.Evaluate(fluids[i]);
                ++done;
            }
        } catch (...) {
            std::lock_guard guard(lock);
            if (!failure) failure = std::current_exception();
            next = fluids.size();
            done = fluids.size();
        }
    };
    std::vector<std::thread> workers;
    for (unsigned t = 1; t < threads; ++t) workers.emplace_back(work);
    if (progress) {
        // The calling thread draws the progress while the workers run.
        std::thread last(work);
        while (done < fluids.size()) {
            progress(done);
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        last.join();
    } else {
        work();
    }
    for (auto& w : workers) w.join();
    if (failure) std::rethrow_exception(failure);
    if (progress) progress(fluids.size());
    return run;
}

std::string ProgressBar(std::size_t done, std::size_t total) {
    constexpr std::size_t kWidth = 40;
    const std::size_t filled = total ? done * kWidth / total : kWidth;
    return fmt::format("\r[{}{}] {:>{}}/{} fluids{}", std::string(filled, '#'), std::string(kWidth - filled, '.'), done,
                       fmt::formatted_size("{}", total), total, done >= total ? "\n" : "");
}

}  // namespace calorix::host
