// CO2-equivalent objects calculating in two threads at once. Every such object shares the
// one process-wide calculator, so the calculations have to take turns: each thread must see
// the values it would see calculating alone. Run under the thread sanitizer, any unguarded
// access to the shared calculator is reported as well.
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <limits>
#include <thread>
#include <vector>

#include "tests/support/fake_host.h"
#include "tests/support/module_client.h"

using fakehost::FakeHost;
using platform::ComPtr;

using moduleclient::Attached;
using moduleclient::Calorix;

namespace {

constexpr int kIterations = 400;  // per thread




// The indexes a calculation writes.
std::array<double, 5> Written(IVariableSet* results) {
    const std::vector<double> v = moduleclient::PhaseValues(results);
    return {v[0], v[1], v[2], v[3], v[5]};
}

// Makes the calculator let go of the last host: a calculation whose "Phase_Values" is gone.
void ReleaseCalculator() {
    FakeHost janitor;
    janitor.SetGas({});
    janitor.SetProperty("MolarFlow", {0.0});
    {
        Attached a = moduleclient::Attach(CLSID_CO2ESAR, janitor.Source());
        ASSERT_TRUE(a.correlation);
        ASSERT_EQ(a.results->RemoveVariable(OLESTR("Phase_Values")), S_OK);
        EXPECT_EQ(a.correlation->Calculate(a.key), E_FAIL);
    }
    EXPECT_EQ(janitor.OutstandingReferences(), 0);
}

TEST(Co2eThreads, ConcurrentCalculationsGiveTheValuesOfSequentialOnes) {
    // Two different fluids, each with enough components and phases that a calculation makes
    // many host calls during which the other thread could step in.
    FakeHost hosts[2];
    hosts[0].SetGas({{124389, 44.0095, 0.4}, {74828, 16.043, 0.3}, {7727379, 28.0134, 0.2}, {10024972, 44.013, 0.1}});
    hosts[0].SetPhase(0, 0.7, {0.5, 0.3, 0.15, 0.05});
    hosts[0].SetPhase(1, 0.2, {0.1, 0.6, 0.1, 0.2});
    hosts[0].SetPhase(2, 0.05, {0.2, 0.1, 0.0, 0.7});
    hosts[0].SetPhase(3, 0.05, {0.25, 0.25, 0.25, 0.25});
    hosts[0].SetProperty("MolarFlow", {120.0});
    hosts[1].SetGas({{74828, 16.043, 0.6}, {2551624, 146.06, 0.1}, {75105, 52.02, 0.2}, {74840, 30.07, 0.1}, {124389, 44.0095, 0.0}});
    hosts[1].SetPhase(0, 0.5, {0.7, 0.05, 0.1, 0.15, 0.0});
    hosts[1].SetPhase(1, 0.1, {0.5, 0.0, 0.3, 0.2, 0.0});
    hosts[1].SetPhase(2, 0.4, {0.2, 0.3, 0.3, 0.1, 0.1});
    hosts[1].SetProperty("MolarFlow", {35.5});
    // However the test ends, the calculator lets go of the hosts before they are destroyed.
    struct CalculatorRelease {
        ~CalculatorRelease() { ReleaseCalculator(); }
    } release;

    {
        Attached objects[2] = {moduleclient::Attach(CLSID_CO2ESAR, hosts[0].Source()), moduleclient::Attach(CLSID_CO2EUS, hosts[1].Source())};
        ASSERT_TRUE(objects[0].correlation && objects[1].correlation);

        // One after the other.
        std::array<double, 5> expected[2];
        for (int t = 0; t < 2; ++t) {
            ASSERT_EQ(objects[t].correlation->Calculate(objects[t].key), S_OK);
            expected[t] = Written(objects[t].results.Get());
        }
        ASSERT_NE(expected[0], expected[1]);
        for (int t = 0; t < 2; ++t)
            for (double v : {expected[t][0], expected[t][1], expected[t][2], expected[t][3]}) ASSERT_GT(v, 0.0);

        // At once.
        std::atomic<int> ready{0};
        int mismatches[2] = {0, 0};
        std::array<double, 5> lastDifferent[2] = {};
        auto work = [&](int t) {
            ready.fetch_add(1);
            while (ready.load() < 2) std::this_thread::yield();
            for (int i = 0; i < kIterations; ++i) {
                const HRESULT hr = objects[t].correlation->Calculate(objects[t].key);
                const std::array<double, 5> got = Written(objects[t].results.Get());
                if (hr != S_OK || got != expected[t]) {
                    ++mismatches[t];
                    lastDifferent[t] = got;
                }
            }
        };
        std::thread first(work, 0);
        std::thread second(work, 1);
        first.join();
        second.join();
        for (int t = 0; t < 2; ++t) {
            EXPECT_EQ(mismatches[t], 0) << "thread " << t << ", e.g. index 0 " << lastDifferent[t][0]
                                        << " instead of " << expected[t][0];
        }
    }

    ReleaseCalculator();
    for (const FakeHost& h : hosts) {
        EXPECT_EQ(h.OutstandingReferences(), 0);
        // The calculator keeps the last fluid's arrays until its next load, so only
        // references and double frees are checked here.
        EXPECT_EQ(h.Check(std::numeric_limits<int>::max()), "");
    }
}

}  // namespace
