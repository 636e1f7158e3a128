// The calculator's arguments and results as automation values: a cell, an Excel range (an
// object whose default value is a 2-D array), a 1-D or 2-D array, a script's array object or a
// text list in; a number, a 1-D array or a 2-D table of VARIANTs out.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "calculator/arguments.h"
#include "platform/com.h"

namespace calorix::calculator {

// Owns one VARIANT.
class Variant {
public:
    Variant() noexcept { VariantInit(&m_value); }
    ~Variant() { VariantClear(&m_value); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    VARIANT* operator&() noexcept { return &m_value; }
    const VARIANT& operator*() const noexcept { return m_value; }
    // Hands the value over to an out-parameter.
    void MoveTo(VARIANT* out) noexcept {
        *out = m_value;
        VariantInit(&m_value);
    }

private:
    VARIANT m_value;
};

// The cells of a list argument (components, mole_fractions). Throws CalculatorError naming
// `field` for a range of more than one row and column or a value that is no list.
std::vector<Cell> ListArgument(const VARIANT& value, std::string_view field);
// One cell: a number argument (temperature_C) or a text (correlation, options).
Cell CellArgument(const VARIANT& value, std::string_view field);
// A text argument; empty when missing.
std::string TextArgument(const VARIANT& value, std::string_view field);

// A 1-D array of VARIANTs, Empty where there is no value.
void NumberRow(const std::vector<std::optional<double>>& values, VARIANT* out);
// A 2-D table of VARIANTs (row, column), from 0; each cell a number, a text or Empty.
void Table(const std::vector<std::vector<Cell>>& rows, VARIANT* out);

}  // namespace calorix::calculator
