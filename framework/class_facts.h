// What the class catalogue (resources/catalogue.csv) says of a correlation class. The module
// builds its classes from these facts and the host reads the same ones (generated into
// calorix/catalogue.h as kClassFacts, in object-map order); nobody decides what a class is from
// its word's spelling.
#pragma once

#include <cstdint>
#include <string_view>

struct ClassFacts {
    const char* word;              // "HHV": class CHHV, ProgID "Calorix.HHV.1"
    int scriptId;                  // id of the class's registry script
    std::string_view family;       // "iso6976", "water", "co2e" or "line"
    int iso6976Edition;            // 1995 or 2016; 0 for a class outside ISO 6976
    std::string_view groups;       // words of a selection that take the class, separated by spaces
    std::string_view quantity;     // "gross calorific value on volume basis"
    std::string_view unit;         // SI unit of the result type, "MJ/m3"
    std::int32_t resultType;       // the host's code of the quantity (GetIntProperty2)
    std::string_view parameters;   // tagged names of the parameter set, separated by spaces
    const char* displayName;       // GetDisplayName

    // Whether `word` is one of the space-separated words of `list`.
    static constexpr bool Lists(std::string_view list, std::string_view word) noexcept {
        while (!list.empty()) {
            const auto end = list.find(' ');
            if (list.substr(0, end) == word) return true;
            if (end == std::string_view::npos) break;
            list.remove_prefix(end + 1);
        }
        return false;
    }
    constexpr bool HasParameter(std::string_view name) const noexcept { return Lists(parameters, name); }
    constexpr bool InGroup(std::string_view group) const noexcept { return Lists(groups, group); }
};
