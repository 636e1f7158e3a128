#include "framework/variable_definitions.h"

#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

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

// One variable's definition, as read from the document.
struct Definition {
    std::string displayName;
    std::string taggedName;
    bool isEnum = false;
    bool optionsRead = false;                    // the EnumValue nodes could be selected
    std::vector<platform::WideString> options;   // in document order, up to the first unreadable
};

// The parsed document: the first definition of each tagged name.
using Definitions = std::map<std::string, Definition, std::less<>>;

// Parses the document text once into its definitions. False only when no XML document can be
// created; a missing, empty or malformed document gives no definitions. Throws on exhaustion.
bool ParseDefinitions(std::string_view documentText, Definitions* definitions) {
    std::unique_ptr<platform::XmlDocument> document;
    if (FAILED(platform::XmlDocument::Create(&document))) return false;
    // The text ends at the first zero byte.
    documentText = documentText.substr(0, documentText.find('\0'));
    if (documentText.empty() || document->LoadXml(platform::AnsiToWide(documentText)) != S_OK) return true;
    std::vector<platform::XmlNode> nodes;
    if (FAILED(document->Root().SelectNodes(OLESTR("VariableDefinitions/Variable"), &nodes))) return true;
    for (const platform::XmlNode& node : nodes) {
        Definition definition;
        definition.taggedName = ReadText(node, OLESTR("@TaggedName"));
        if (definitions->contains(definition.taggedName)) continue;
        definition.displayName = ReadText(node, OLESTR("@DisplayName"));
        definition.isEnum = ReadText(node, OLESTR("@Type")) == "Enum";
        std::vector<platform::XmlNode> options;
        if (definition.isEnum && !node.IsNull() && SUCCEEDED(node.SelectNodes(OLESTR("EnumValue"), &options))) {
            definition.optionsRead = true;
            for (const platform::XmlNode& option : options) {
                platform::WideString text;
                if (FAILED(option.GetText(&text))) break;
                definition.options.push_back(std::move(text));
            }
        }
        definitions->emplace(definition.taggedName, std::move(definition));
    }
    return true;
}

void ApplyDefinition(const Definition& definition, IVariable* variable) {
    if (!definition.displayName.empty()) SetSystemString(variable, &IVariable::SetDisplayName, definition.displayName);
    if (!definition.taggedName.empty()) {
        BSTR value = platform::AllocSysString(definition.taggedName);
        variable->SetTaggedName(value);
        SysFreeString(value);
    }
    if (!definition.isEnum) return;
    platform::ComPtr<IEnumVariable> enumeration;
    if (FAILED(variable->QueryInterface(IID_IEnumVariable, enumeration.PutVoid())) || !enumeration) return;
    if (!definition.optionsRead) return;
    enumeration->SetEnumParameter1(1);
    enumeration->SetEnumParameter2(0);
    std::int32_t index = 0;
    for (const platform::WideString& text : definition.options) {
        BSTR value = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
        enumeration->SetEnumText(index++, value);
        SysFreeString(value);
    }
}

// Applies the definition of taggedName, if the definitions hold one. A name the document's
// query could not hold (a double quote) has none.
void ApplyNamed(const Definitions& definitions, const char* taggedName, IVariable* variable) {
    const std::string_view name = taggedName ? taggedName : "";
    if (name.find('"') != std::string_view::npos) return;
    if (const auto found = definitions.find(name); found != definitions.end()) ApplyDefinition(found->second, variable);
}

// The module's own definitions, parsed on first use and kept for the life of the process (the
// resource never changes). Null while no XML document could be created: the next call tries again.
std::shared_ptr<const Definitions> ModuleDefinitions() {
    static std::mutex mutex;
    static std::shared_ptr<const Definitions> parsed;
    const std::lock_guard<std::mutex> lock(mutex);
    if (parsed) return parsed;
    std::span<const std::byte> bytes;
    std::string_view text;
    if (SUCCEEDED(platform::FindModuleResource(platform::ResourceType(kDefinitionsResourceType),
                                               kDefinitionsResourceId, &bytes)))
        text = std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    auto definitions = std::make_shared<Definitions>();
    if (ParseDefinitions(text, definitions.get())) parsed = std::move(definitions);
    return parsed;
}

}  // namespace

bool LoadVariableDefinitionFromText(std::string_view documentText, const char* taggedName, IVariable* variable) {
    if (!variable) return false;
    try {
        Definitions definitions;
        if (!ParseDefinitions(documentText, &definitions)) return false;
        ApplyNamed(definitions, taggedName, variable);
    } catch (...) {
        // Out of memory part-way: what was applied stays, as for a document cut short.
    }
    return true;
}

bool LoadVariableDefinition(const char* taggedName, IVariable* variable) {
    if (!variable) return false;
    try {
        const std::shared_ptr<const Definitions> definitions = ModuleDefinitions();
        if (!definitions) return false;
        ApplyNamed(*definitions, taggedName, variable);
    } catch (...) {
        // Out of memory part-way: what was applied stays, as for a document cut short.
    }
    return true;
}
