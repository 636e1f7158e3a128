// XML document with XPath selection, the services the variable definitions need.
// Every operation reports failure by status; none throws.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/com.h"
#include "platform/strings.h"

namespace platform {

class XmlNode {
public:
    struct Impl;
    XmlNode() = default;
    explicit XmlNode(std::shared_ptr<Impl> impl) : m_impl(std::move(impl)) {}
    bool IsNull() const noexcept { return !m_impl; }
    const std::shared_ptr<Impl>& Handle() const noexcept { return m_impl; }

    // The node's text: an attribute's value, or the concatenated text inside an element.
    HRESULT GetText(WideString* text) const noexcept;
    // The first node that the XPath expression selects relative to this one: S_OK, S_FALSE
    // (and a null node) when it selects nothing, a failure for a malformed expression.
    HRESULT SelectSingleNode(WideStringView xpath, XmlNode* node) const noexcept;
    // Every node the expression selects relative to this one, in document order.
    HRESULT SelectNodes(WideStringView xpath, std::vector<XmlNode>* nodes) const noexcept;

private:
    std::shared_ptr<Impl> m_impl;
};

class XmlDocument {
public:
    struct Impl;
    // Creates an empty document set to synchronous loading.
    static HRESULT Create(std::unique_ptr<XmlDocument>* document) noexcept;
    ~XmlDocument();

    // Parses text. S_OK for a well-formed document; S_FALSE when it is not well-formed or
    // empty (the document then stays empty).
    HRESULT LoadXml(WideStringView text) noexcept;
    // The document node, the context for absolute and top-level paths.
    XmlNode Root() const noexcept;

private:
    XmlDocument();
    std::shared_ptr<Impl> m_impl;  // shared with the nodes selected from it
};

}  // namespace platform
