// XML services over the system's XML document object, version 6, with XPath selection.
// Element texts come as the document object gives them: with surrounding white space trimmed.
#include "platform/xml.h"

#include <msxml2.h>

#include "platform/comptr.h"

// Not in the MinGW-w64 headers: the version-6 document class and the interface that carries
// setProperty.
static constexpr CLSID kClsidDomDocument60 = {0x88d96a05, 0xf192, 0x11d4, {0xa6, 0x5f, 0x00, 0x40, 0x96, 0x32, 0x51, 0xe5}};
static constexpr IID kIidXmlDomDocument2 = {0x2933bf95, 0x7b36, 0x11d2, {0xb2, 0x0e, 0x00, 0xc0, 0x4f, 0x98, 0x3e, 0x60}};

namespace platform {

struct XmlDocument::Impl {
    ComPtr<IXMLDOMDocument2> document;
};

struct XmlNode::Impl {
    ComPtr<IXMLDOMNode> node;  // holds its document
};

namespace {
// A system string for the duration of a call.
class TempString {
public:
    explicit TempString(WideStringView text) : m_text(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
    ~TempString() { SysFreeString(m_text); }
    TempString(const TempString&) = delete;
    TempString& operator=(const TempString&) = delete;
    BSTR Get() const { return m_text; }

private:
    BSTR m_text;
};

XmlNode Wrap(IXMLDOMNode* node) {
    auto impl = std::make_shared<XmlNode::Impl>();
    *impl->node.Put() = node;  // takes over the reference
    return XmlNode(std::move(impl));
}
}  // namespace

HRESULT XmlNode::GetText(WideString* text) const noexcept {
    if (!text || IsNull()) return E_POINTER;
    try {
        BSTR value = nullptr;
        HRESULT hr = m_impl->node->get_text(&value);
        if (FAILED(hr)) return hr;
        text->assign(value ? value : OLESTR(""), SysStringLen(value));
        SysFreeString(value);
        return S_OK;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

HRESULT XmlNode::SelectSingleNode(WideStringView xpath, XmlNode* node) const noexcept {
    if (!node || IsNull()) return E_POINTER;
    *node = XmlNode();
    try {
        TempString query(xpath);
        if (!query.Get()) return E_OUTOFMEMORY;
        IXMLDOMNode* found = nullptr;
        HRESULT hr = m_impl->node->selectSingleNode(query.Get(), &found);
        if (FAILED(hr)) return hr;
        if (!found) return S_FALSE;
        *node = Wrap(found);
        return S_OK;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

HRESULT XmlNode::SelectNodes(WideStringView xpath, std::vector<XmlNode>* nodes) const noexcept {
    if (!nodes || IsNull()) return E_POINTER;
    nodes->clear();
    try {
        TempString query(xpath);
        if (!query.Get()) return E_OUTOFMEMORY;
        ComPtr<IXMLDOMNodeList> list;
        HRESULT hr = m_impl->node->selectNodes(query.Get(), list.Put());
        if (FAILED(hr)) return hr;
        if (!list) return E_FAIL;
        IXMLDOMNode* item = nullptr;
        while (list->nextNode(&item) == S_OK && item) nodes->push_back(Wrap(item));
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
        HRESULT hr = CoCreateInstance(kClsidDomDocument60, nullptr, CLSCTX_INPROC_SERVER, kIidXmlDomDocument2,
                                      d->m_impl->document.PutVoid());
        if (FAILED(hr)) return hr;
        hr = d->m_impl->document->put_async(VARIANT_FALSE);
        if (FAILED(hr)) return hr;
        *document = std::move(d);
        return S_OK;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

HRESULT XmlDocument::LoadXml(WideStringView text) noexcept {
    try {
        TempString source(text);
        if (!source.Get()) return E_OUTOFMEMORY;
        VARIANT_BOOL loaded = VARIANT_FALSE;
        HRESULT hr = m_impl->document->loadXML(source.Get(), &loaded);
        if (FAILED(hr)) return hr;
        ComPtr<IXMLDOMElement> root;
        if (loaded != VARIANT_TRUE || FAILED(m_impl->document->get_documentElement(root.Put())) || !root)
            return S_FALSE;
        return S_OK;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

XmlNode XmlDocument::Root() const noexcept {
    try {
        IXMLDOMNode* node = nullptr;
        if (FAILED(m_impl->document->QueryInterface(IID_IXMLDOMNode, reinterpret_cast<void**>(&node)))) return {};
        return Wrap(node);
    } catch (...) {
        return XmlNode();
    }
}

}  // namespace platform
