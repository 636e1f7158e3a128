// The tangent-plane test of a feed alone (PengRobinsonFlash::Splits) against the flash: the feed
// splits exactly where the flash finds more than one phase.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "host/fluid/components.h"
#include "host/thermo/flash.h"

namespace calorix::host {
namespace {

std::vector<Component> Named(std::initializer_list<const char*> names) {
    std::vector<Component> out;
    for (const char* n : names) {
        const ComponentRecord* r = FindComponentByName(n);
        EXPECT_NE(r, nullptr) << n;
        if (r) out.push_back(ComponentFromRecord(*r));
    }
    return out;
}

struct Feed {
    const char* name;
    std::vector<Component> components;
    std::vector<double> z;
};

// Gases, a wet gas, a rich gas with water, a liquid and carbon dioxide with methane, each on a
// grid of temperatures and pressures that crosses their dew points; wherever the flash certifies
// its answer, the feed splits when and only when the flash finds two phases or more.
TEST(FeedStability, SplitsWhereTheFlashFindsMoreThanOnePhase) {
    const Feed feeds[] = {
        {"pipeline gas",
         Named({"nitrogen", "carbon dioxide", "methane", "ethane", "propane", "n-butane", "n-hexane", "n-octane"}),
         {0.010, 0.015, 0.900, 0.045, 0.020, 0.006, 0.003, 0.001}},
        {"wet gas", Named({"methane", "ethane", "propane", "n-hexane", "water"}), {0.90, 0.05, 0.03, 0.01, 0.01}},
        {"rich gas with water", Named({"methane", "propane", "n-hexane", "n-octane", "water"}),
         {0.80, 0.08, 0.05, 0.04, 0.03}},
        {"n-decane", Named({"n-decane"}), {1.0}},
        {"carbon dioxide with methane", Named({"carbon dioxide", "methane"}), {0.7, 0.3}},
    };
    int split = 0, single = 0;
    for (const Feed& f : feeds) {
        const PengRobinsonFlash flash(f.components);
        for (double t : {-80.0, -40.0, -10.0, 10.0, 40.0, 80.0})
            for (double p : {200.0, 1000.0, 3000.0, 6000.0, 10000.0}) {
                SCOPED_TRACE(std::string(f.name) + " at " + std::to_string(t) + " degC, " + std::to_string(p) + " kPa");
                const auto result = flash.FlashTP(t + 273.15, p, f.z);
                const auto splits = flash.Splits(t + 273.15, p, f.z);
                ASSERT_TRUE(splits.has_value());
                if (!result) continue;
                EXPECT_EQ(*splits, result->PresentCount() > 1);
                (*splits ? split : single) += 1;
            }
    }
    // The grid holds both kinds.
    EXPECT_GT(split, 20);
    EXPECT_GT(single, 20);
}

TEST(FeedStability, UnusableInputHasNoAnswer) {
    const PengRobinsonFlash flash(Named({"methane", "ethane"}));
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_FALSE(flash.Splits(0.0, 5000.0, std::vector<double>{0.9, 0.1}).has_value());
    EXPECT_FALSE(flash.Splits(288.15, -1.0, std::vector<double>{0.9, 0.1}).has_value());
    EXPECT_FALSE(flash.Splits(288.15, 5000.0, std::vector<double>{nan, 0.1}).has_value());
    EXPECT_FALSE(flash.Splits(288.15, 5000.0, std::vector<double>{0.0, 0.0}).has_value());
    EXPECT_FALSE(flash.Splits(288.15, 5000.0, std::vector<double>{1.0}).has_value());   // one fraction for two
    EXPECT_EQ(flash.Splits(288.15, 5000.0, std::vector<double>{0.9, 0.1}), false);
}

}  // namespace
}  // namespace calorix::host
