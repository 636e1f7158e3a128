// XML services over pugixml. Texts cross the API as UTF-16 and are UTF-8 inside.
#include "platform/xml.h"

#include <pugixml.hpp>

#include "platform/strings.h"

namespace platform {

struct XmlDocument::Impl {
    pugi::xml_document document;
};

struct XmlNode::Impl {
    std::shared_ptr<XmlDocument::Impl> owner;  // keeps the document alive
    pugi::xpath_node node;
};

namespace {
// The text of every text and CDATA node below an element, in document order. A walk over
// first-child, next-sibling and parent links, so that the depth of nesting costs no stack.
void AppendText(const pugi::xml_node& node, std::string& out) {
    pugi::xml_node current = node.first_child();
    while (current) {
        if (current.type() == pugi::node_pcdata || current.type() == pugi::node_cdata) {
            out += current.value();
        } else if (current.type() == pugi::node_element && current.first_child()) {
            current = current.first_child();
            continue;
        }
        // Next in document order, climbing back up no higher than the node itself.
        while (current != node && !current.next_sibling()) current = current.parent();
        if (current == node) break;
        current = current.next_sibling();
    }
}

HRESULT Select(const XmlNode& context, std::u16string_view xpath, pugi::xpath_node_set* result) noexcept {
    if (context.IsNull()) return E_POINTER;
    pugi::xml_node from = context.Handle()->node.node();
    if (!from) return E_INVALIDARG;  // an attribute is no context for a path
    try {
        pugi::xpath_query query(WideToAnsi(xpath).c_str());
        if (!query) return E_INVALIDARG;
        *result = query.evaluate_node_set(from);
        result->sort();
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_INVALIDARG;  // not a node-set expression, or malformed
    }
}
}  // namespace

HRESULT XmlNode::GetText(std::u16string* text) const noexcept {
    if (!text) return E_POINTER;
    if (IsNull()) return E_POINTER;
    try {
        const pugi::xpath_node& n = m_impl->node;
        std::string value;
        if (n.attribute())
            value = n.attribute().value();
        else if (n.node().type() == pugi::node_pcdata || n.node().type() == pugi::node_cdata)
            value = n.node().value();
        else
            AppendText(n.node(), value);
        *text = AnsiToWide(value);
        return S_OK;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

HRESULT XmlNode::SelectSingleNode(std::u16string_view xpath, XmlNode* node) const noexcept {
    if (!node) return E_POINTER;
    *node = XmlNode();
    pugi::xpath_node_set set;
    HRESULT hr = Select(*this, xpath, &set);
    if (FAILED(hr)) return hr;
    if (set.empty()) return S_FALSE;
    try {
        *node = XmlNode(std::make_shared<Impl>(Impl{m_impl->owner, set.first()}));
        return S_OK;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

HRESULT XmlNode::SelectNodes(std::u16string_view xpath, std::vector<XmlNode>* nodes) const noexcept {
    if (!nodes) return E_POINTER;
    nodes->clear();
    pugi::xpath_node_set set;
    HRESULT hr = Select(*this, xpath, &set);
    if (FAILED(hr)) return hr;
    try {
        for (const pugi::xpath_node& n : set)
            nodes->emplace_back(std::make_shared<Impl>(Impl{m_impl->owner, n}));
        return S_OK;
    } catch (...) {
        nodes->clear();
        return E_OUTOFMEMORY;
    }
}

XmlDocument::XmlDocument() = default;
XmlDocument::~XmlDocument() = default;

HRESULT XmlDocument::Create(std::unique_ptr<XmlDocument>* document) noexcept {
    if (!document) return E_POINTER;
    try {
        std::unique_ptr<XmlDocument> d(new XmlDocument());
        d->m_impl = std::make_shared<Impl>();
        *document = std::move(d);
        return S_OK;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

HRESULT XmlDocument::LoadXml(std::u16string_view text) noexcept {
    try {
        std::string utf8 = WideToAnsi(text);
        // The text is already decoded, so an encoding named in its declaration is not
        // applied again.
        pugi::xml_parse_result result =
            m_impl->document.load_buffer(utf8.data(), utf8.size(), pugi::parse_default, pugi::encoding_utf8);
        if (!result || !m_impl->document.document_element()) {
            m_impl->document.reset();
            return S_FALSE;
        }
        return S_OK;
    } catch (...) {
        m_impl->document.reset();
        return E_OUTOFMEMORY;
    }
}

XmlNode XmlDocument::Root() const noexcept {
    try {
        return XmlNode(std::make_shared<XmlNode::Impl>(XmlNode::Impl{m_impl, pugi::xpath_node(m_impl->document)}));
    } catch (...) {
        return XmlNode();
    }
}

}  // namespace platform
