#include "framework/variable_definitions.h"

#include <cstring>
#include <memory>
#include <string>

#include "platform/resources.h"
#include "platform/strings.h"
#include "platform/xml.h"

namespace {

// The narrow text of the node a relative path selects; empty when it selects nothing.
std::string ReadText(const platform::XmlNode& context, const OLECHAR* path) {
    platform::XmlNode node;
    if (context.IsNull() || context.SelectSingleNode(path, &node) != S_OK) return {};
    platform::WideString text;
    if (FAILED(node.GetText(&text))) return {};
    return platform::WideToAnsi(text);
}

void SetSystemString(IVariable* variable, HRESULT (COMCALL IVariable::*setter)(BSTR), const std::string& text) {
    BSTR value = platform::AllocSysString(text);
    (variable->*setter)(value);
    SysFreeString(value);
}

void ApplyOptions(const platform::XmlNode& definition, IVariable* variable) {
    platform::ComPtr<IEnumVariable> enumeration;
    if (FAILED(variable->QueryInterface(IID_IEnumVariable, enumeration.PutVoid())) || !enumeration) return;
    std::vector<platform::XmlNode> options;
    if (definition.IsNull() || FAILED(definition.SelectNodes(OLESTR("EnumValue"), &options))) return;
    enumeration->SetEnumParameter1(1);
    enumeration->SetEnumParameter2(0);
    std::int32_t index = 0;
    for (const platform::XmlNode& option : options) {
        platform::WideString text;
        if (FAILED(option.GetText(&text))) break;
        BSTR value = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
        enumeration->SetEnumText(index++, value);
        SysFreeString(value);
    }
}

}  // namespace

bool LoadVariableDefinitionFromText(std::string_view documentText, const char* taggedName, IVariable* variable) {
    if (!variable) return false;
    std::unique_ptr<platform::XmlDocument> document;
    if (FAILED(platform::XmlDocument::Create(&document))) return false;
    try {
        // The text ends at the first zero byte.
        documentText = documentText.substr(0, documentText.find('\0'));
        if (documentText.empty() || document->LoadXml(platform::AnsiToWide(documentText)) != S_OK) return true;

        std::string query = std::string("VariableDefinitions/Variable[@TaggedName=\"") + (taggedName ? taggedName : "") + "\"]";
        platform::XmlNode definition;
        if (FAILED(document->Root().SelectSingleNode(platform::AnsiToWide(query), &definition))) return true;

        std::string displayName = ReadText(definition, OLESTR("@DisplayName"));
        std::string name = ReadText(definition, OLESTR("@TaggedName"));
        std::string type = ReadText(definition, OLESTR("@Type"));
        if (!displayName.empty()) SetSystemString(variable, &IVariable::SetDisplayName, displayName);
        if (!name.empty()) {
            BSTR value = platform::AllocSysString(name);
            variable->SetTaggedName(value);
            SysFreeString(value);
        }
        if (type == "Enum") ApplyOptions(definition, variable);
    } catch (...) {
        // Out of memory part-way: what was applied stays, as for a document cut short.
    }
    return true;
}

bool LoadVariableDefinition(const char* taggedName, IVariable* variable) {
    if (!variable) return false;
    std::span<const std::byte> bytes;
    std::string_view text;
    if (SUCCEEDED(platform::FindModuleResource(platform::ResourceType(kDefinitionsResourceType),
                                               kDefinitionsResourceId, &bytes)))
        text = std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    return LoadVariableDefinitionFromText(text, taggedName, variable);
}
