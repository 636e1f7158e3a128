#include "host/fluid/suggest.h"

#include <algorithm>
#include <vector>

#include "host/fluid/components.h"

namespace calorix::host {

namespace {

std::string Letters(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+') out.push_back(c);
    }
    return out;
}

std::size_t EditDistance(const std::string& a, const std::string& b) {
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t up = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = up;
        }
    }
    return row[b.size()];
}

}  // namespace

std::string ClosestName(std::string_view word, std::span<const std::string_view> candidates) {
    const std::string key = Letters(word);
    if (key.empty()) return {};
    std::string_view best;
    std::size_t bestDistance = key.size() / 3 + 1;
    for (std::string_view c : candidates) {
        const std::size_t d = EditDistance(key, Letters(c));
        if (d < bestDistance) {
            bestDistance = d;
            best = c;
        }
    }
    return std::string(best);
}

std::string SuggestComponentName(std::string_view word) {
    std::vector<std::string_view> names;
    for (const auto& row : ComponentTable()) names.emplace_back(row.name);
    return ClosestName(word, names);
}

}  // namespace calorix::host
