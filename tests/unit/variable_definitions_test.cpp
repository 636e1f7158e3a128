// LoadVariableDefinition on a variable that records what is applied to it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/variable_definitions.h"
#include "platform/com_object.h"
#include "platform/strings.h"

namespace {

// Records the setters LoadVariableDefinition calls; answers IEnumVariable only when asked to.
class RecordingVariable final : public platform::ComObject<IEnumVariable> {
public:
    explicit RecordingVariable(bool isEnum) : m_isEnum(isEnum) {}
    std::vector<std::string> calls;

    HRESULT COMCALL QueryInterface(REFIID riid, void** ppv) override {
        if (riid == IID_IEnumVariable && !m_isEnum) {
            *ppv = nullptr;
            return E_NOINTERFACE;
        }
        return ComObject::QueryInterface(riid, ppv);
    }
    HRESULT COMCALL GetTaggedName(BSTR*) override { return E_NOTIMPL; }
    HRESULT COMCALL SetTaggedName(const OLECHAR* name) override {
        calls.push_back("SetTaggedName " + platform::WideToAnsi(name));
        return S_OK;
    }
    HRESULT COMCALL GetDisplayName(BSTR*) override { return E_NOTIMPL; }
    HRESULT COMCALL SetDisplayName(BSTR name) override {
        calls.push_back("SetDisplayName " + platform::WideToAnsi({name, SysStringLen(name)}));
        return S_OK;
    }
    HRESULT COMCALL GetIntAttribute(std::int32_t*) override { return E_NOTIMPL; }
    HRESULT COMCALL SetIntAttribute(std::int32_t) override { return E_NOTIMPL; }
    HRESULT COMCALL GetOptionCount(std::int32_t*) override { return E_NOTIMPL; }
    HRESULT COMCALL GetEnumText(std::int32_t, BSTR*) override { return E_NOTIMPL; }
    HRESULT COMCALL GetEnumParameter1(std::int32_t*) override { return E_NOTIMPL; }
    HRESULT COMCALL GetEnumParameter2(std::int32_t*) override { return E_NOTIMPL; }
    HRESULT COMCALL GetElementCount(std::int32_t*) override { return E_NOTIMPL; }
    HRESULT COMCALL SetElementCount(std::int32_t) override { return E_NOTIMPL; }
    HRESULT COMCALL ClearOptions() override { return E_NOTIMPL; }
    HRESULT COMCALL GetSelectedText(std::int32_t, BSTR*) override { return E_NOTIMPL; }
    HRESULT COMCALL GetValue(std::int32_t, std::int32_t*) override { return E_NOTIMPL; }
    HRESULT COMCALL SetValue(std::int32_t, std::int32_t) override { return E_NOTIMPL; }
    HRESULT COMCALL SelectText(std::int32_t, const OLECHAR*) override { return E_NOTIMPL; }
    HRESULT COMCALL SetEnumParameter1(std::int32_t v) override {
        calls.push_back("SetEnumParameter1 " + std::to_string(v));
        return S_OK;
    }
    HRESULT COMCALL SetEnumParameter2(std::int32_t v) override {
        calls.push_back("SetEnumParameter2 " + std::to_string(v));
        return S_OK;
    }
    HRESULT COMCALL SetEnumText(std::int32_t option, BSTR text) override {
        calls.push_back("SetEnumText " + std::to_string(option) + " " + platform::WideToAnsi({text, SysStringLen(text)}));
        return S_OK;
    }

private:
    void* QueryOther(REFIID riid) override { return riid == IID_IVariable ? static_cast<IVariable*>(this) : nullptr; }
    bool m_isEnum;
};

using Calls = std::vector<std::string>;

Calls Apply(const char* name, bool isEnum = true, const std::string* document = nullptr) {
    platform::ComPtr<RecordingVariable> variable(new RecordingVariable(isEnum));
    bool ok = document ? LoadVariableDefinitionFromText(*document, name, variable.Get())
                       : LoadVariableDefinition(name, variable.Get());
    EXPECT_TRUE(ok);
    return variable->calls;
}

}  // namespace

TEST(VariableDefinitions, TheModuleResourceConfiguresBothVariables) {
    EXPECT_EQ(Apply("Phase_Values"), Calls{"SetTaggedName Phase_Values"});
    EXPECT_EQ(Apply("RefTempOption"),
              (Calls{"SetDisplayName Ref. Temp. Option", "SetTaggedName RefTempOption", "SetEnumParameter1 1",
                     "SetEnumParameter2 0", "SetEnumText 0 15.0 deg C", "SetEnumText 1 0.0 deg C"}));
    EXPECT_EQ(Apply("RefTempOption", /*isEnum=*/false),
              (Calls{"SetDisplayName Ref. Temp. Option", "SetTaggedName RefTempOption"}));
    EXPECT_EQ(Apply("NoSuchVariable"), Calls{});
    EXPECT_FALSE(LoadVariableDefinition("Phase_Values", nullptr));
}

TEST(VariableDefinitions, DocumentsThatCannotBeUsedApplyNothingAndStillSucceed) {
    const std::string lowerCaseEnum =
        "<VariableDefinitions><Variable DisplayName=\"D\" TaggedName=\"E\" Type=\"enum\">"
        "<EnumValue>a</EnumValue></Variable></VariableDefinitions>";
    EXPECT_EQ(Apply("E", true, &lowerCaseEnum), (Calls{"SetDisplayName D", "SetTaggedName E"}));
    for (const std::string& document : {std::string(), std::string("<VariableDefinitions><Variable"),
                                        std::string("not xml at all"), std::string("\0<a/>", 5)}) {
        SCOPED_TRACE(document);
        EXPECT_EQ(Apply("RefTempOption", true, &document), Calls{});
    }
    // Text after a zero byte is not part of the document.
    const std::string cut = std::string("<VariableDefinitions><Variable TaggedName=\"X\" DisplayName=\"Y\"/>"
                                        "</VariableDefinitions>") + '\0' + "garbage";
    EXPECT_EQ(Apply("X", true, &cut), (Calls{"SetDisplayName Y", "SetTaggedName X"}));
}
