#include "host/manager/batch.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>

#include <fmt/format.h>

#include "platform/program.h"

namespace calorix::host {

std::vector<std::string> StreamBatch(const CorrelationManager& manager, std::span<const CatalogueEntry* const> classes,
                                     bool optional, const EvaluationSettings& settings,
                                     const std::function<bool(BatchEntry&)>& next,
                                     const std::function<void(const BatchEntry&, const FluidResult*)>& write,
                                     StreamOptions options) {
    const unsigned threads = options.threads ? options.threads : std::max(1u, std::thread::hardware_concurrency());
    const std::size_t window = std::max<std::size_t>(2, threads * std::max<std::size_t>(options.inputsPerThread, 1));

    struct Slot {
        BatchEntry entry;
        std::optional<FluidResult> result;
        bool done = false;
    };
    // Slots of the inputs read and not yet written; the front is the next to write. A deque keeps
    // the addresses of its elements when the ends change, so a worker works on its slot unlocked.
    std::deque<Slot> slots;
    std::size_t front = 0, taken = 0;   // sequence numbers: of slots.front() and of the next to evaluate
    bool stop = false;
    std::mutex lock;
    std::condition_variable work, written;
    std::exception_ptr failure;
    std::vector<std::string> leftOut;
    bool leftOutTaken = false;

    auto worker = [&] {
        platform::ComApartment apartment;  // creating a correlation needs one on Windows
        std::unique_lock guard(lock);
        try {
            guard.unlock();
            FluidEvaluator evaluator(manager, classes, optional, settings);
            guard.lock();
            if (!leftOutTaken) leftOut = evaluator.LeftOut();
            leftOutTaken = true;
            for (;;) {
                work.wait(guard, [&] {
                    // Refused inputs are written without a worker: the writer may have passed them.
                    taken = std::max(taken, front);
                    return stop || taken < front + slots.size();
                });
                if (failure || taken >= front + slots.size()) break;
                Slot& slot = slots[taken++ - front];
                if (slot.done) continue;
                guard.unlock();
                FluidResult result = evaluator.Evaluate(*slot.entry.fluid);
                guard.lock();
                slot.result = std::move(result);
                slot.done = true;
                written.notify_one();
            }
        } catch (...) {
            if (!guard.owns_lock()) guard.lock();
            if (!failure) failure = std::current_exception();
            stop = true;
            written.notify_all();
            work.notify_all();
        }
    };
    std::vector<std::thread> workers;
    for (unsigned t = 0; t < threads; ++t) workers.emplace_back(worker);

    try {
        bool ended = false;
        std::unique_lock guard(lock);
        while (!failure) {
            while (!ended && slots.size() < window) {
                guard.unlock();
                Slot slot;
                ended = !next(slot.entry);
                slot.done = !slot.entry.fluid;
                guard.lock();
                if (ended) break;
                slots.push_back(std::move(slot));
                work.notify_one();
            }
            while (!slots.empty() && slots.front().done) {
                Slot slot = std::move(slots.front());
                slots.pop_front();
                ++front;
                guard.unlock();
                write(slot.entry, slot.result ? &*slot.result : nullptr);
                guard.lock();
            }
            if (ended && slots.empty()) break;
            if (ended || slots.size() >= window)
                written.wait(guard, [&] { return failure || (!slots.empty() && slots.front().done); });
        }
        stop = true;
    } catch (...) {
        std::lock_guard guard(lock);
        if (!failure) failure = std::current_exception();
        stop = true;
    }
    work.notify_all();
    for (auto& w : workers) w.join();
    if (failure) std::rethrow_exception(failure);
    return leftOut;
}

BatchRun EvaluateBatch(const CorrelationManager& manager, std::span<const CatalogueEntry* const> classes, bool optional,
                       const EvaluationSettings& settings, std::span<const Fluid> fluids, unsigned threads,
                       const std::function<void(std::size_t)>& progress) {
    BatchRun run;
    run.results.reserve(fluids.size());
    std::size_t read = 0;
    run.leftOut = StreamBatch(
        manager, classes, optional, settings,
        [&](BatchEntry& entry) {
            if (read == fluids.size()) return false;
            entry.fluid = fluids[read++];
            return true;
        },
        [&](const BatchEntry&, const FluidResult* result) {
            run.results.push_back(*result);
            if (progress) progress(run.results.size());
        },
        StreamOptions{threads});
    if (progress && fluids.empty()) progress(0);
    return run;
}

std::string ProgressBar(const Progress& p) {
    const double share = std::clamp(p.share, 0.0, 1.0);
    std::string tail = fmt::format(" {:3.0f}%  {} fluids", 100.0 * share, p.done);
    if (p.seconds > 0.5 && p.done > 0) {
        tail += fmt::format("  {:.0f}/s", static_cast<double>(p.done) / p.seconds);
        if (share > 0.0 && !p.last) {
            const auto left = static_cast<long long>(p.seconds * (1.0 - share) / share + 0.5);
            tail += fmt::format("  {}:{:02} left", left / 60, left % 60);
        }
    }
    // "\r[" + bar + "]" + tail, padded with spaces to one column short of the width (which clears
    // a longer line drawn before and never lets the cursor wrap).
    const std::size_t columns = std::max<std::size_t>(p.columns, 20) - 1;
    const std::size_t width = std::min<std::size_t>(columns > tail.size() + 12 ? columns - tail.size() - 2 : 0, 50);
    const auto filled = static_cast<std::size_t>(share * static_cast<double>(width));
    std::string line = "\r";
    if (width) line.append("[").append(filled, '#').append(width - filled, '.').append("]");
    line.append(tail);
    line.resize(columns + 1, ' ');
    if (p.last) line.push_back('\n');
    return line;
}

namespace {

// A warning's kind: its text with every number written as '#'.
std::string KindOf(const std::string& text) {
    std::string key;
    bool number = false;
    for (char c : text) {
        const bool digit = (c >= '0' && c <= '9') || (number && (c == '.' || c == 'e' || c == '-' || c == '+'));
        if (digit && !number) key += '#';
        if (!digit) key += c;
        number = digit;
    }
    return key;
}

}  // namespace

bool WarningTally::Add(std::size_t fluidNumber, const std::string& text) {
    constexpr std::size_t kListed = 10;
    const std::string key = KindOf(text);
    auto it = std::find_if(m_kinds.begin(), m_kinds.end(), [&](const Kind& k) { return k.key == key; });
    if (it == m_kinds.end()) it = m_kinds.insert(m_kinds.end(), Kind{key, text, 0, {}});
    ++it->count;
    if (it->count <= m_shown) return true;
    if (it->fluids.size() < kListed) it->fluids.push_back(fluidNumber);
    return false;
}

std::vector<std::string> WarningTally::Summary() const {
    std::vector<std::string> lines;
    for (const Kind& k : m_kinds) {
        if (k.count <= m_shown) continue;
        const std::size_t more = k.count - m_shown;
        std::string fluids;
        for (std::size_t n : k.fluids) fluids += (fluids.empty() ? "" : ", ") + std::to_string(n);
        if (more > k.fluids.size()) fluids += ", ...";
        lines.push_back(fmt::format("{} (and {} more such warning{}, fluid{} {})", k.first, more, more == 1 ? "" : "s",
                                    more == 1 ? "" : "s", fluids));
    }
    return lines;
}

}  // namespace calorix::host
