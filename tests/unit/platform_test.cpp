// The POSIX platform layer: code-page conversion, GUID strings, system strings, the library
// loader, module resources and the XML services, each failing by status, never by a crash.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "framework/host_interfaces.h"
#include "platform/library.h"
#include "platform/resources.h"
#include "platform/strings.h"
#include "platform/xml.h"

using namespace platform;

TEST(CodePage, ConvertsUtf8BothWaysAndReplacesWhatIsNotUtf8) {
    const std::string text = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x94\xA5";  // a, e-acute, euro, a 4-byte sign
    const std::u16string wide = AnsiToWide(text);
    EXPECT_EQ(wide, u"a\u00e9\u20ac\U0001F525");
    EXPECT_EQ(WideToAnsi(wide), text);

    struct Case {
        std::string input;
        std::u16string expected;
    };
    const Case cases[] = {
        {"\xFF", u"\uFFFD"},                     // never a UTF-8 byte
        {"a\xC3", u"a\uFFFD"},                   // cut short
        {"\xC3(", u"\uFFFD("},                   // bad continuation
        {"\xC0\xAF", u"\uFFFD\uFFFD"},           // over-long
        {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},  // an encoded surrogate
        {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},  // above U+10FFFF
    };
    for (const Case& c : cases) EXPECT_EQ(AnsiToWide(c.input), c.expected) << c.input.size();
    EXPECT_EQ(WideToAnsi(std::u16string(1, u'\xD800')), "\xEF\xBF\xBD");  // unpaired surrogate
}

TEST(Guids, RegistryFormRoundTripsAndMalformedTextIsRefused) {
    const std::string text = GuidToString(IID_IDispatch);
    EXPECT_EQ(text, "{00020400-0000-0000-C000-000000000046}");
    GUID parsed{};
    ASSERT_TRUE(GuidFromString(text, &parsed));
    EXPECT_EQ(parsed, IID_IDispatch);
    ASSERT_TRUE(GuidFromString("{d17a37b9-7620-44e9-9e19-b1249d34c7a3}", &parsed));
    EXPECT_EQ(parsed, CLSID_WaterDewPt);
    for (const char* bad : {"", "{00020400-0000-0000-C000-00000000004}", "00020400-0000-0000-C000-000000000046",
                            "{00020400-0000-0000-C000-00000000004G}", "{00020400+0000-0000-C000-000000000046}"})
        EXPECT_FALSE(GuidFromString(bad, &parsed)) << bad;
}

TEST(SystemStrings, HaveTheWindowsLayout) {
    BSTR s = SysAllocString(u"abc");
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(SysStringLen(s), 3u);
    EXPECT_EQ(SysStringByteLen(s), 6u);
    std::uint32_t prefix = 0;
    std::memcpy(&prefix, reinterpret_cast<char*>(s) - 4, 4);
    EXPECT_EQ(prefix, 6u);
    EXPECT_EQ(s[3], u'\0');
    SysFreeString(s);
    BSTR embedded = SysAllocStringLen(u"a\0b", 3);
    EXPECT_EQ(SysStringLen(embedded), 3u);
    SysFreeString(embedded);
    EXPECT_EQ(SysAllocString(nullptr), nullptr);
    EXPECT_EQ(SysStringLen(nullptr), 0u);
    SysFreeString(nullptr);
    BSTR narrow = AllocSysString("\xC3\xA9t\xC3\xA9");
    EXPECT_EQ(std::u16string(narrow, SysStringLen(narrow)), u"\u00e9t\u00e9");
    SysFreeString(narrow);
}

TEST(Loader, FindsLibrariesBesideTheModuleAndReportsWhatIsMissing) {
    LibraryHandle library = nullptr;
    ASSERT_EQ(LoadComponentLibrary("varbank2.dll", &library), S_OK);  // the .so beside this program
    EXPECT_NE(GetLibraryExport(library, "DllGetClassObject"), nullptr);
    EXPECT_EQ(GetLibraryExport(library, "NoSuchExport"), nullptr);
    EXPECT_EQ(GetLibraryExport(nullptr, "DllGetClassObject"), nullptr);
    library = reinterpret_cast<LibraryHandle>(1);
    EXPECT_EQ(LoadComponentLibrary("no-such-library.dll", &library), HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND));
    EXPECT_EQ(library, nullptr);
    EXPECT_EQ(LoadComponentLibrary("x.dll", nullptr), E_POINTER);
    EXPECT_FALSE(ModuleFilePath().empty());
    EXPECT_EQ(FolderOf("/a/b/c.so"), "/a/b");
    EXPECT_EQ(FolderOf("c.so"), "");
}

TEST(Resources, AreFoundByTypeAndId) {
    std::span<const std::byte> data;
    ASSERT_EQ(FindModuleResource(ResourceType(23), 201, &data), S_OK);
    const std::string text(reinterpret_cast<const char*>(data.data()), data.size());
    EXPECT_EQ(text.rfind("<?xml", 0), 0u);
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
    ASSERT_EQ(FindModuleResource(ResourceType("REGISTRY"), 5, &data), S_OK);
    EXPECT_EQ(data.size(), text.size());
    for (auto [type, id] : {std::pair{ResourceType(23), 5}, std::pair{ResourceType("REGISTRY"), 201},
                            std::pair{ResourceType("registry"), 5}, std::pair{ResourceType(24), 201}}) {
        EXPECT_EQ(FindModuleResource(type, id, &data), HRESULT_FROM_WIN32(ERROR_RESOURCE_NAME_NOT_FOUND));
        EXPECT_TRUE(data.empty());
    }
}

TEST(Xml, SelectsNodesByXPathAndReportsFailuresByStatus) {
    std::unique_ptr<XmlDocument> document;
    ASSERT_EQ(XmlDocument::Create(&document), S_OK);
    ASSERT_EQ(document->LoadXml(u"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
                                u"<R><V T=\"a\" D=\"x &amp; \u00e9\">one<B>two</B></V><V T=\"b\"/><E>1</E><E>2</E></R>"),
              S_OK);
    XmlNode root = document->Root();
    XmlNode v;
    ASSERT_EQ(root.SelectSingleNode(u"R/V[@T=\"a\"]", &v), S_OK);
    std::u16string text;
    EXPECT_EQ(v.GetText(&text), S_OK);
    EXPECT_EQ(text, u"onetwo");
    XmlNode attribute;
    ASSERT_EQ(v.SelectSingleNode(u"@D", &attribute), S_OK);
    EXPECT_EQ(attribute.GetText(&text), S_OK);
    EXPECT_EQ(text, u"x & \u00e9");
    EXPECT_EQ(v.SelectSingleNode(u"@Missing", &attribute), S_FALSE);
    EXPECT_TRUE(attribute.IsNull());
    EXPECT_EQ(root.SelectSingleNode(u"R/V[@T=\"zz\"]", &v), S_FALSE);
    EXPECT_TRUE(FAILED(root.SelectSingleNode(u"R/V[@T=", &v)));
    EXPECT_TRUE(FAILED(root.SelectSingleNode(u"count(R)", &v)));
    std::vector<XmlNode> list;
    ASSERT_EQ(root.SelectNodes(u"R/E", &list), S_OK);
    ASSERT_EQ(list.size(), 2u);
    list[1].GetText(&text);
    EXPECT_EQ(text, u"2");
    EXPECT_EQ(XmlNode().GetText(&text), E_POINTER);

    for (std::u16string bad : {u"", u"<R>", u"plain text", u"<R></S>"}) {
        std::unique_ptr<XmlDocument> d;
        ASSERT_EQ(XmlDocument::Create(&d), S_OK);
        EXPECT_EQ(d->LoadXml(bad), S_FALSE);
        EXPECT_EQ(d->Root().SelectSingleNode(u"R", &v), S_FALSE);
    }
}

TEST(Xml, TextOfDeeplyNestedElementsIsCollectedWithoutRecursion) {
    // 50,000 levels, each with a text before and after its child, and a sibling element at
    // the bottom: the text comes in document order, whatever the depth.
    constexpr int kDepth = 50000;
    std::string xml;
    std::string expected;
    for (int i = 0; i < kDepth; ++i) xml += "<e>a";
    xml += "<f>b</f><f><![CDATA[c]]></f>";
    for (int i = 0; i < kDepth; ++i) xml += "z</e>";
    expected = std::string(kDepth, 'a') + "bc" + std::string(kDepth, 'z');

    std::unique_ptr<XmlDocument> document;
    ASSERT_EQ(XmlDocument::Create(&document), S_OK);
    ASSERT_EQ(document->LoadXml(AnsiToWide(xml)), S_OK);
    XmlNode top;
    ASSERT_EQ(document->Root().SelectSingleNode(AnsiToWide("e"), &top), S_OK);
    std::u16string text;
    ASSERT_EQ(top.GetText(&text), S_OK);
    EXPECT_EQ(WideToAnsi(text), expected);
    // From an element halfway down, only its own subtree counts.
    XmlNode last;
    ASSERT_EQ(document->Root().SelectSingleNode(AnsiToWide("(//f)[1]/.."), &last), S_OK);
    ASSERT_EQ(last.GetText(&text), S_OK);
    EXPECT_EQ(WideToAnsi(text), "abcz");
}
