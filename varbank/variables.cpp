#include "varbank/variables.h"

#include <algorithm>
#include <new>

#include "platform/guarded_call.h"
#include "platform/out_param.h"
#include "platform/strings.h"

namespace varbank {

using platform::ComPtr;

namespace {

using platform::GuardedCall;
using platform::OutValue;

HRESULT OutString(const platform::WideString& text, BSTR* out) {
    if (!out) return E_POINTER;
    *out = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return *out ? S_OK : E_OUTOFMEMORY;
}

// The six operations every variable shares.
template <typename Interface>
class Variable : public platform::ComObject<Interface> {
public:
    HRESULT COMCALL GetTaggedName(BSTR* name) override { return GuardedCall([&] { return OutString(m_taggedName, name); }); }
    HRESULT COMCALL SetTaggedName(const OLECHAR* name) override {
        return GuardedCall([&] {
            m_taggedName.assign(name ? name : OLESTR(""));
            return S_OK;
        });
    }
    HRESULT COMCALL GetDisplayName(BSTR* name) override { return GuardedCall([&] { return OutString(m_displayName, name); }); }
    HRESULT COMCALL SetDisplayName(BSTR name) override {
        return GuardedCall([&] {
            m_displayName.assign(name ? name : OLESTR(""), name ? SysStringLen(name) : 0);
            return S_OK;
        });
    }
    HRESULT COMCALL GetIntAttribute(std::int32_t* value) override { return OutValue(m_intAttribute, value); }
    HRESULT COMCALL SetIntAttribute(std::int32_t value) override {
        m_intAttribute = value;
        return S_OK;
    }

protected:
    void* QueryOther(REFIID riid) override {
        return riid == IID_IVariable ? static_cast<IVariable*>(static_cast<Interface*>(this)) : nullptr;
    }

    platform::WideString m_taggedName;
    platform::WideString m_displayName;
    std::int32_t m_intAttribute = 0;
};

class NumericVector final : public Variable<INumericVectorVariable> {
public:
    HRESULT COMCALL GetSize(std::int32_t* size) override { return OutValue(m_values.size(), size); }
    HRESULT COMCALL SetSize(std::int32_t size) override {
        if (size < 0) return E_INVALIDARG;
        return GuardedCall([&] {
            m_values.resize(static_cast<std::size_t>(size), 0.0);
            return S_OK;
        });
    }
    HRESULT COMCALL GetValue(std::int32_t index, double* value) override {
        if (!value) return E_POINTER;
        if (index < 0 || static_cast<std::size_t>(index) >= m_values.size()) return E_INVALIDARG;
        *value = m_values[static_cast<std::size_t>(index)];
        return S_OK;
    }
    HRESULT COMCALL GetValues(std::int32_t count, double* values) override {
        if (!values) return E_POINTER;
        if (count < 0 || static_cast<std::size_t>(count) > m_values.size()) return E_INVALIDARG;
        std::copy_n(m_values.begin(), count, values);
        return S_OK;
    }
    HRESULT COMCALL SetValues(std::int32_t count, const double* values) override {
        if (count < 0 || (count > 0 && !values)) return E_INVALIDARG;
        return GuardedCall([&] {
            m_values.assign(values, values + count);
            return S_OK;
        });
    }
    HRESULT COMCALL GetUnitCode(std::int32_t* code) override { return OutValue(m_unitCode, code); }
    HRESULT COMCALL SetUnitCode(std::int32_t code) override {
        m_unitCode = code;
        return S_OK;
    }
    HRESULT COMCALL Clear() override {
        m_values.clear();
        return S_OK;
    }
    // Grows the vector to the index written; new elements start at 0.
    HRESULT COMCALL SetValue(std::int32_t index, double value) override {
        if (index < 0) return E_INVALIDARG;
        return GuardedCall([&] {
            auto i = static_cast<std::size_t>(index);
            if (i >= m_values.size()) m_values.resize(i + 1, 0.0);
            m_values[i] = value;
            return S_OK;
        });
    }

private:
    std::vector<double> m_values;
    std::int32_t m_unitCode = 0;
};

class EnumVariable final : public Variable<IEnumVariable> {
public:
    HRESULT COMCALL GetOptionCount(std::int32_t* count) override { return OutValue(m_options.size(), count); }
    HRESULT COMCALL GetEnumText(std::int32_t option, BSTR* text) override {
        if (option < 0 || static_cast<std::size_t>(option) >= m_options.size()) return E_INVALIDARG;
        return GuardedCall([&] { return OutString(m_options[static_cast<std::size_t>(option)], text); });
    }
    HRESULT COMCALL GetEnumParameter1(std::int32_t* value) override { return OutValue(m_parameter1, value); }
    HRESULT COMCALL GetEnumParameter2(std::int32_t* value) override { return OutValue(m_parameter2, value); }
    HRESULT COMCALL GetElementCount(std::int32_t* count) override { return OutValue(m_selected.size(), count); }
    HRESULT COMCALL SetElementCount(std::int32_t count) override {
        if (count < 1) return E_INVALIDARG;
        return GuardedCall([&] {
            m_selected.resize(static_cast<std::size_t>(count), 0);
            return S_OK;
        });
    }
    HRESULT COMCALL ClearOptions() override {
        m_options.clear();
        std::fill(m_selected.begin(), m_selected.end(), 0);
        return S_OK;
    }
    HRESULT COMCALL GetSelectedText(std::int32_t element, BSTR* text) override {
        std::int32_t option = 0;
        HRESULT hr = GetValue(element, &option);
        if (FAILED(hr)) return hr;
        return GetEnumText(option, text);
    }
    HRESULT COMCALL GetValue(std::int32_t element, std::int32_t* option) override {
        if (!option) return E_POINTER;
        if (element < 0 || static_cast<std::size_t>(element) >= m_selected.size()) return E_INVALIDARG;
        *option = m_selected[static_cast<std::size_t>(element)];
        return S_OK;
    }
    // Selects an option; only defined options can be selected once any exist.
    HRESULT COMCALL SetValue(std::int32_t element, std::int32_t option) override {
        if (element < 0 || static_cast<std::size_t>(element) >= m_selected.size()) return E_INVALIDARG;
        if (option < 0 || (!m_options.empty() && static_cast<std::size_t>(option) >= m_options.size()))
            return E_INVALIDARG;
        m_selected[static_cast<std::size_t>(element)] = option;
        return S_OK;
    }
    HRESULT COMCALL SelectText(std::int32_t element, const OLECHAR* text) override {
        if (!text) return E_POINTER;
        auto it = std::find(m_options.begin(), m_options.end(), platform::WideStringView(text));
        if (it == m_options.end()) return E_INVALIDARG;
        return SetValue(element, static_cast<std::int32_t>(it - m_options.begin()));
    }
    HRESULT COMCALL SetEnumParameter1(std::int32_t value) override {
        m_parameter1 = value;
        return S_OK;
    }
    HRESULT COMCALL SetEnumParameter2(std::int32_t value) override {
        m_parameter2 = value;
        return S_OK;
    }
    // Defines option texts in order; an index past the end appends.
    HRESULT COMCALL SetEnumText(std::int32_t option, BSTR text) override {
        if (option < 0) return E_INVALIDARG;
        return GuardedCall([&] {
            auto i = static_cast<std::size_t>(option);
            if (i >= m_options.size()) m_options.resize(i + 1);
            m_options[i].assign(text ? text : OLESTR(""), text ? SysStringLen(text) : 0);
            return S_OK;
        });
    }

private:
    std::vector<platform::WideString> m_options;
    std::vector<std::int32_t> m_selected = std::vector<std::int32_t>(1, 0);
    std::int32_t m_parameter1 = 0;
    std::int32_t m_parameter2 = 0;
};

platform::WideString TaggedNameOf(IVariable* variable) {
    BSTR name = nullptr;
    if (FAILED(variable->GetTaggedName(&name)) || !name) return {};
    platform::WideString result(name, SysStringLen(name));
    SysFreeString(name);
    return result;
}

// Copies the common attributes of one variable to another through the public interface.
HRESULT CopyCommon(IVariable* from, IVariable* to) {
    BSTR text = nullptr;
    HRESULT hr = from->GetTaggedName(&text);
    if (FAILED(hr)) return hr;
    to->SetTaggedName(text ? text : OLESTR(""));
    SysFreeString(text);
    text = nullptr;
    hr = from->GetDisplayName(&text);
    if (FAILED(hr)) return hr;
    to->SetDisplayName(text);
    SysFreeString(text);
    std::int32_t attribute = 0;
    if (SUCCEEDED(from->GetIntAttribute(&attribute))) to->SetIntAttribute(attribute);
    return S_OK;
}

// A deep copy of any variable, through its public interfaces.
HRESULT CloneVariable(IVariable* source, ComPtr<IVariable>* copy) {
    ComPtr<IVariable> src(source);
    ComPtr<INumericVectorVariable> vector;
    ComPtr<IEnumVariable> enumeration;
    if (SUCCEEDED(src.As(&vector))) {
        auto out = NewNumericVector();
        HRESULT hr = CopyCommon(source, out.Get());
        if (FAILED(hr)) return hr;
        std::int32_t size = 0;
        vector->GetSize(&size);
        std::vector<double> values(static_cast<std::size_t>(std::max(size, 0)));
        if (size > 0 && SUCCEEDED(vector->GetValues(size, values.data()))) out->SetValues(size, values.data());
        std::int32_t unit = 0;
        if (SUCCEEDED(vector->GetUnitCode(&unit))) out->SetUnitCode(unit);
        *copy = ComPtr<IVariable>(out.Get());
        return S_OK;
    }
    if (SUCCEEDED(src.As(&enumeration))) {
        auto out = NewEnumVariable();
        HRESULT hr = CopyCommon(source, out.Get());
        if (FAILED(hr)) return hr;
        std::int32_t value = 0, options = 0, elements = 1;
        if (SUCCEEDED(enumeration->GetEnumParameter1(&value))) out->SetEnumParameter1(value);
        if (SUCCEEDED(enumeration->GetEnumParameter2(&value))) out->SetEnumParameter2(value);
        enumeration->GetOptionCount(&options);
        for (std::int32_t i = 0; i < options; ++i) {
            BSTR text = nullptr;
            if (SUCCEEDED(enumeration->GetEnumText(i, &text))) out->SetEnumText(i, text);
            SysFreeString(text);
        }
        if (SUCCEEDED(enumeration->GetElementCount(&elements)) && elements > 0) out->SetElementCount(elements);
        for (std::int32_t e = 0; e < elements; ++e)
            if (SUCCEEDED(enumeration->GetValue(e, &value))) out->SetValue(e, value);
        *copy = ComPtr<IVariable>(out.Get());
        return S_OK;
    }
    *copy = src;  // a variable of unknown kind is shared, not copied
    return S_OK;
}

class VariableSet final : public platform::ComObject<IVariableSet> {
public:
    HRESULT COMCALL GetCount(std::int32_t* count) override { return OutValue(m_variables.size(), count); }
    HRESULT COMCALL GetVariableAt(std::int32_t index, IVariable** variable) override {
        if (!variable) return E_POINTER;
        *variable = nullptr;
        if (index < 0 || static_cast<std::size_t>(index) >= m_variables.size()) return E_INVALIDARG;
        return m_variables[static_cast<std::size_t>(index)].CopyTo(variable);
    }
    HRESULT COMCALL GetSetName(BSTR* name) override { return GuardedCall([&] { return OutString(m_name, name); }); }
    HRESULT COMCALL SetSetName(const OLECHAR* name) override {
        return GuardedCall([&] {
            m_name.assign(name ? name : OLESTR(""));
            return S_OK;
        });
    }
    HRESULT COMCALL AddVariable(IVariable* variable) override {
        if (!variable) return E_POINTER;
        return GuardedCall([&] {
            m_variables.emplace_back(variable);
            m_modified = 1;
            return S_OK;
        });
    }
    HRESULT COMCALL RemoveVariable(const OLECHAR* taggedName) override {
        if (!taggedName) return E_POINTER;
        return GuardedCall([&] {
            auto it = Find(taggedName);
            if (it == m_variables.end()) return E_INVALIDARG;
            m_variables.erase(it);
            m_modified = 1;
            return S_OK;
        });
    }
    HRESULT COMCALL RemoveAll() override {
        m_variables.clear();
        m_modified = 1;
        return S_OK;
    }
    HRESULT COMCALL Contains(const OLECHAR* taggedName, std::int32_t* found) override {
        if (!taggedName || !found) return E_POINTER;
        return GuardedCall([&] {
            *found = Find(taggedName) != m_variables.end() ? 1 : 0;
            return S_OK;
        });
    }
    HRESULT COMCALL GetModified(std::int32_t* modified) override { return OutValue(m_modified, modified); }
    HRESULT COMCALL SetModified(std::int32_t modified) override {
        m_modified = modified;
        return S_OK;
    }
    HRESULT COMCALL Clone(IVariableSet** set) override {
        if (!set) return E_POINTER;
        return GuardedCall([&] {
            ComPtr<VariableSet> copy(new VariableSet());
            copy->m_name = m_name;
            copy->m_ownerTag = m_ownerTag;
            for (const auto& variable : m_variables) {
                ComPtr<IVariable> clone;
                HRESULT hr = CloneVariable(variable.Get(), &clone);
                if (FAILED(hr)) return hr;
                copy->m_variables.push_back(clone);
            }
            *set = copy.Detach();
            return S_OK;
        });
    }
    HRESULT COMCALL CopyValuesFrom(IVariableSet* other) override {
        if (!other) return E_POINTER;
        return GuardedCall([&] {
            std::int32_t count = 0;
            other->GetCount(&count);
            for (std::int32_t i = 0; i < count; ++i) {
                ComPtr<IVariable> source;
                if (FAILED(other->GetVariableAt(i, source.Put())) || !source) continue;
                auto it = Find(TaggedNameOf(source.Get()));
                ComPtr<IVariable> clone;
                if (it == m_variables.end() || FAILED(CloneVariable(source.Get(), &clone))) continue;
                *it = clone;
            }
            return S_OK;
        });
    }
    HRESULT COMCALL GetOwnerTag(std::int32_t* tag) override { return OutValue(m_ownerTag, tag); }
    HRESULT COMCALL SetOwnerTag(std::int32_t tag) override {
        m_ownerTag = tag;
        return S_OK;
    }
    HRESULT COMCALL GetVariable(const OLECHAR* taggedName, IVariable** variable) override {
        if (!taggedName || !variable) return E_POINTER;
        *variable = nullptr;
        return GuardedCall([&] {
            auto it = Find(taggedName);
            if (it == m_variables.end()) return E_INVALIDARG;
            return it->CopyTo(variable);
        });
    }

private:
    std::vector<ComPtr<IVariable>>::iterator Find(platform::WideStringView taggedName) {
        return std::find_if(m_variables.begin(), m_variables.end(),
                            [&](const ComPtr<IVariable>& v) { return TaggedNameOf(v.Get()) == taggedName; });
    }

    std::vector<ComPtr<IVariable>> m_variables;
    platform::WideString m_name;
    std::int32_t m_modified = 0;
    std::int32_t m_ownerTag = 0;
};

}  // namespace

ComPtr<IVariableSet> NewVariableSet() { return ComPtr<IVariableSet>(new VariableSet()); }
ComPtr<INumericVectorVariable> NewNumericVector() { return ComPtr<INumericVectorVariable>(new NumericVector()); }
ComPtr<IEnumVariable> NewEnumVariable() { return ComPtr<IEnumVariable>(new EnumVariable()); }

}  // namespace varbank
