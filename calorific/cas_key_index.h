// A constant-time index of the CAS keys of a component table: the key's remainder modulo a
// divisor addresses a slot holding the key's position in the table. The divisor is the smallest
// for which no two keys of the table share a remainder, found when the table is compiled, so a
// lookup is one remainder, one byte read and one key comparison instead of a binary search (the
// engines look up every component of every calculation).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace cas_key_index {

inline constexpr std::size_t kMaxDivisor = 1024;  // the slots of one index
inline constexpr std::uint8_t kEmpty = 0xff;       // a slot no key addresses

struct Index {
    std::uint32_t divisor = 0;
    std::array<std::uint8_t, kMaxDivisor> slots{};

    // The slot of a key; a negative key is taken as its unsigned bit pattern, which only
    // addresses some slot, whose key then differs.
    constexpr std::uint8_t operator[](std::int32_t key) const noexcept {
        return slots[static_cast<std::uint32_t>(key) % divisor];
    }
};

// The index of a table of entries with distinct keys in their member casKey; divisor 0 when no
// divisor up to kMaxDivisor separates them (a compile-time check of each table rejects that).
template <typename Table>
constexpr Index MakeIndex(const Table& table) noexcept {
    Index index;
    if (table.size() >= kEmpty) return index;  // a slot holds a position below kEmpty
    index.slots.fill(kEmpty);
    for (std::uint32_t divisor = static_cast<std::uint32_t>(table.size()); divisor <= kMaxDivisor; ++divisor) {
        std::size_t placed = 0;
        while (placed < table.size()) {
            std::uint8_t& slot = index.slots[static_cast<std::uint32_t>(table[placed].casKey) % divisor];
            if (slot != kEmpty) break;
            slot = static_cast<std::uint8_t>(placed++);
        }
        if (placed == table.size()) {
            index.divisor = divisor;
            return index;
        }
        // Empty the slots this divisor filled (fewer steps than filling them all again).
        for (std::size_t i = 0; i < placed; ++i)
            index.slots[static_cast<std::uint32_t>(table[i].casKey) % divisor] = kEmpty;
    }
    return Index{};
}

// Position of casKey in the table, or table.size() when it is not listed.
template <typename Table>
constexpr std::size_t Find(const Table& table, const Index& index, std::int32_t casKey) noexcept {
    const std::size_t at = index[casKey];
    return at < table.size() && table[at].casKey == casKey ? at : table.size();
}

// True when every key of the table finds its own entry and no other key reaches past it.
template <typename Table>
constexpr bool FindsEveryKey(const Table& table, const Index& index) noexcept {
    if (index.divisor == 0) return false;
    for (std::size_t i = 0; i < table.size(); ++i)
        if (Find(table, index, table[i].casKey) != i) return false;
    return true;
}

}  // namespace cas_key_index
