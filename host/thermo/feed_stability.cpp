// The tangent-plane test of a feed alone, for a caller that needs to know whether the feed is one
// phase but not what it splits into (a warning that a fluid taken as one vapour is not one).
#include "host/thermo/flash.h"
#include "host/thermo/peng_robinson.h"

namespace calorix::host {

using namespace pr;

std::optional<bool> PengRobinsonFlash::Splits(double temperatureK, double pressureKPa,
                                              std::span<const double> feed) const {
    try {
        std::vector<std::size_t> active;
        std::vector<double> z;
        if (!UsableConditions(temperatureK, pressureKPa) || !PrepareFeed(feed, m_components.size(), active, z) ||
            !UsableComponents(m_components, active))
            return std::nullopt;
        const Model m = BuildModel(m_components, m_kij, active, temperatureK, pressureKPa);
        const auto stability = TestFeed(m, z, RootChoice::Stable);
        if (!stability) return std::nullopt;
        return stability->unstable;
    } catch (...) {
        return std::nullopt;
    }
}

}  // namespace calorix::host
