// "Did you mean": the closest of a list of names to a word that matched none of them.
#pragma once

#include <span>
#include <string>
#include <string_view>

namespace calorix::host {

// The candidate nearest to `word` by edit distance (ignoring case, spaces, hyphens and commas),
// when it is close enough to be a slip (at most a third of the word's letters); else empty.
std::string ClosestName(std::string_view word, std::span<const std::string_view> candidates);

// The closest name of the host's component list, or empty.
std::string SuggestComponentName(std::string_view word);

}  // namespace calorix::host
