#include "calculator/com/variants.h"

#include <algorithm>
#include <new>

#include <fmt/format.h>

#include "platform/strings.h"

namespace calorix::calculator {

namespace {

void Check(HRESULT hr, std::string_view field, std::string_view what) {
    if (FAILED(hr)) throw CalculatorError(fmt::format("{}: {} (0x{:08X})", field, what, static_cast<unsigned>(hr)));
}

// A property of an object by name; false when the object has none.
bool NamedProperty(IDispatch* object, std::string_view utf8Name, VARIANT* out) {
    platform::WideString name = platform::Utf8ToWide(utf8Name);
    LPOLESTR names[] = {name.data()};
    DISPID id = 0;
    if (FAILED(object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id))) return false;
    DISPPARAMS none{};
    return SUCCEEDED(object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, out, nullptr, nullptr));
}

// The value with references followed and an object replaced by what it holds: a script's array
// object (JScript) by an array of its elements, any other object (an Excel range) by its
// default value.
void Resolve(const VARIANT& in, Variant& out, std::string_view field) {
    Check(VariantCopyInd(&out, const_cast<VARIANT*>(&in)), field, "cannot read the value");
    for (int depth = 0; V_VT(&out) == VT_DISPATCH && depth < 4; ++depth) {
        IDispatch* object = V_DISPATCH(&out);
        Variant next;
        if (!object) {
            VariantClear(&out);
            return;
        }
        Variant length;
        if (NamedProperty(object, "length", &length) && SUCCEEDED(VariantChangeType(&length, &length, 0, VT_I4)) &&
            V_I4(&length) >= 0) {
            const LONG n = V_I4(&length);
            SAFEARRAY* array = SafeArrayCreateVector(VT_VARIANT, 0, static_cast<ULONG>(n));
            if (!array) throw std::bad_alloc();
            for (LONG i = 0; i < n; ++i) {
                Variant element;
                if (NamedProperty(object, std::to_string(i), &element)) SafeArrayPutElement(array, &i, &element);
            }
            V_VT(&next) = VT_ARRAY | VT_VARIANT;
            V_ARRAY(&next) = array;
        } else {
            DISPPARAMS none{};
            Check(object->Invoke(DISPID_VALUE, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, &next,
                                 nullptr, nullptr),
                  field, "the object has no value to read");
        }
        VariantClear(&out);
        next.MoveTo(&out);
    }
}

// One element of an array or a plain value, as a cell.
Cell ScalarCell(const VARIANT& value) {
    switch (V_VT(&value)) {
        case VT_EMPTY:
        case VT_NULL: return Cell{};
        case VT_BSTR: return Cell{platform::WideToUtf8(V_BSTR(&value) ? V_BSTR(&value) : OLESTR(""))};
        case VT_ERROR:
            // An argument left out; a cell holding an error value (#N/A) reads as its code.
            if (V_ERROR(&value) == DISP_E_PARAMNOTFOUND) return Cell{};
            return Cell{fmt::format("error value 0x{:08X}", static_cast<unsigned>(V_ERROR(&value)))};
        default: {
            Variant number;
            if (SUCCEEDED(VariantChangeTypeEx(&number, const_cast<VARIANT*>(&value), LOCALE_INVARIANT, 0, VT_R8)))
                return Cell{V_R8(&number)};
            Variant text;
            if (SUCCEEDED(VariantChangeTypeEx(&text, const_cast<VARIANT*>(&value), LOCALE_INVARIANT, 0, VT_BSTR)))
                return Cell{platform::WideToUtf8(V_BSTR(&text) ? V_BSTR(&text) : OLESTR(""))};
            return Cell{fmt::format("a value of type {}", V_VT(&value))};
        }
    }
}

std::vector<Cell> ArrayCells(SAFEARRAY* array, std::string_view field) {
    const UINT dims = SafeArrayGetDim(array);
    if (dims != 1 && dims != 2)
        throw CalculatorError(fmt::format("{}: expected a list, a row or a column, found an array of {} dimensions",
                                          field, dims));
    LONG lower[2] = {0, 0}, upper[2] = {-1, 0};
    for (UINT d = 0; d < dims; ++d) {
        Check(SafeArrayGetLBound(array, d + 1, &lower[d]), field, "cannot read the array");
        Check(SafeArrayGetUBound(array, d + 1, &upper[d]), field, "cannot read the array");
    }
    const LONG rows = upper[0] - lower[0] + 1, columns = dims == 2 ? upper[1] - lower[1] + 1 : 1;
    if (rows > 1 && columns > 1)
        throw CalculatorError(fmt::format("{}: expected one row or one column, found a range of {} rows and {} columns",
                                          field, rows, columns));
    VARTYPE type = VT_EMPTY;
    Check(SafeArrayGetVartype(array, &type), field, "cannot read the array");
    std::vector<Cell> cells;
    for (LONG i = 0; i < std::max(rows, columns); ++i) {
        LONG index[2] = {lower[0] + (rows > 1 ? i : 0), lower[1] + (columns > 1 ? i : 0)};
        Variant element;
        if (type == VT_VARIANT) {
            Check(SafeArrayGetElement(array, index, &element), field, "cannot read the array");
        } else {
            V_VT(&element) = type;
            Check(SafeArrayGetElement(array, index, &V_UI1(&element)), field, "cannot read the array");
        }
        Variant plain;
        Check(VariantCopyInd(&plain, &element), field, "cannot read the array");
        cells.push_back(ScalarCell(*&plain));
    }
    return cells;
}

BSTR Bstr(std::string_view text) {
    const auto wide = platform::Utf8ToWide(text);
    BSTR b = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
    if (!b) throw std::bad_alloc();
    return b;
}

void PutCell(SAFEARRAY* array, LONG* index, const Cell& cell) {
    Variant v;
    if (const double* d = std::get_if<double>(&cell)) {
        V_VT(&v) = VT_R8;
        V_R8(&v) = *d;
    } else if (const std::string* s = std::get_if<std::string>(&cell)) {
        V_VT(&v) = VT_BSTR;
        V_BSTR(&v) = Bstr(*s);
    }
    const HRESULT hr = SafeArrayPutElement(array, index, &v);
    if (FAILED(hr)) throw std::bad_alloc();
}

}  // namespace

std::vector<Cell> ListArgument(const VARIANT& value, std::string_view field) {
    Variant plain;
    Resolve(value, plain, field);
    if (V_VT(&plain) & VT_ARRAY) return ArrayCells(V_ARRAY(&plain), field);
    const Cell cell = ScalarCell(*&plain);
    if (const std::string* text = std::get_if<std::string>(&cell)) return SplitTextList(*text);
    if (std::holds_alternative<std::monostate>(cell)) return {};
    return {cell};
}

Cell CellArgument(const VARIANT& value, std::string_view field) {
    Variant plain;
    Resolve(value, plain, field);
    if (V_VT(&plain) & VT_ARRAY) {
        const std::vector<Cell> cells = ArrayCells(V_ARRAY(&plain), field);
        if (cells.size() != 1)
            throw CalculatorError(fmt::format("{}: expected one value, found a list of {}", field, cells.size()));
        return cells.front();
    }
    return ScalarCell(*&plain);
}

std::string TextArgument(const VARIANT& value, std::string_view field) {
    const Cell cell = CellArgument(value, field);
    if (const std::string* text = std::get_if<std::string>(&cell)) return *text;
    if (const double* number = std::get_if<double>(&cell))
        throw CalculatorError(fmt::format("{}: expected a text, found the number {}", field, *number));
    return {};
}

void NumberRow(const std::vector<std::optional<double>>& values, VARIANT* out) {
    SAFEARRAY* array = SafeArrayCreateVector(VT_VARIANT, 0, static_cast<ULONG>(values.size()));
    if (!array) throw std::bad_alloc();
    Variant result;
    V_VT(&result) = VT_ARRAY | VT_VARIANT;
    V_ARRAY(&result) = array;
    for (LONG i = 0; i < static_cast<LONG>(values.size()); ++i)
        PutCell(array, &i, values[i] ? Cell{*values[i]} : Cell{});
    result.MoveTo(out);
}

void Table(const std::vector<std::vector<Cell>>& rows, VARIANT* out) {
    std::size_t columns = 0;
    for (const auto& row : rows) columns = std::max(columns, row.size());
    SAFEARRAYBOUND bounds[2] = {{static_cast<ULONG>(rows.size()), 0}, {static_cast<ULONG>(columns), 0}};
    SAFEARRAY* array = SafeArrayCreate(VT_VARIANT, 2, bounds);
    if (!array) throw std::bad_alloc();
    Variant result;
    V_VT(&result) = VT_ARRAY | VT_VARIANT;
    V_ARRAY(&result) = array;
    for (LONG r = 0; r < static_cast<LONG>(rows.size()); ++r)
        for (LONG c = 0; c < static_cast<LONG>(rows[r].size()); ++c) {
            LONG index[2] = {r, c};
            PutCell(array, index, rows[r][c]);
        }
    result.MoveTo(out);
}

}  // namespace calorix::calculator
