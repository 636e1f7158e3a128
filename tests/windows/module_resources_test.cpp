// The resources of Calorix.dll as Windows reads them: version resource, string table, and
// the type library CALORIXLib with a class and its dual interface for every catalogue class,
// and the host's CORRMANLib as the set-up registers it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "calorix/catalogue.h"
#include "calorix/guids.h"
#include "framework/host_interfaces.h"
#include "platform/library.h"
#include "platform/strings.h"
#include "tests/support/module_client.h"

namespace {

std::wstring ModulePath() {
    return platform::Utf8ToWide(platform::FolderOf(platform::ModuleFilePath()) + "\\Calorix.dll");
}

struct CatalogueClass {
    const char* word;
    const CLSID* clsid;
    const IID* iid;
};
#define CALORIX_ROW(word, scriptId) CatalogueClass{#word, &CLSID_##word, &IID_I##word},
const std::vector<CatalogueClass> kClasses = {CALORIX_CATALOGUE(CALORIX_ROW)};
#undef CALORIX_ROW

std::wstring Wide(const std::string& s) { return platform::AnsiToWide(s); }

// The version information block of a file; empty when it has none.
std::vector<BYTE> VersionBlock(const std::wstring& path) {
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &handle);
    std::vector<BYTE> block(size);
    if (size == 0 || !GetFileVersionInfoW(path.c_str(), 0, size, block.data())) block.clear();
    return block;
}

}  // namespace

TEST(ModuleResources, VersionResource) {
    std::vector<BYTE> block = VersionBlock(ModulePath());
    ASSERT_FALSE(block.empty());

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, MAKELONG(0, 38));
    EXPECT_EQ(fixed->dwFileVersionLS, 0u);
    EXPECT_EQ(fixed->dwProductVersionMS, MAKELONG(0, 38));
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_DLL));
    EXPECT_EQ(fixed->dwFileOS, static_cast<DWORD>(VOS__WINDOWS32));

    const struct {
        const wchar_t* key;
        const wchar_t* value;
    } strings[] = {
        {L"FileDescription", L"Calorix Module"}, {L"FileVersion", L"38, 0, 0, 0"},
        {L"InternalName", L"Calorix"},           {L"OriginalFilename", L"Calorix.DLL"},
        {L"ProductName", L"Calorix Module"},     {L"ProductVersion", L"38, 0, 0, 0"},
        {L"OLESelfRegister", L""},               {L"LegalTrademarks", L""},
        {L"PrivateBuild", L""},                  {L"SpecialBuild", L""},
    };
    for (const auto& [key, expected] : strings) {
        SCOPED_TRACE(platform::WideToAnsi(key));
        wchar_t* value = nullptr;
        const std::wstring query = std::wstring(L"\\StringFileInfo\\040904B0\\") + key;
        ASSERT_TRUE(VerQueryValueW(block.data(), query.c_str(), reinterpret_cast<void**>(&value), &length));
        EXPECT_EQ(std::wstring(value ? value : L""), expected);
    }
}

// calorix-host.exe and varbank2.dll carry the project's version and vendor too, and so does
// Calorix.dll's vendor; every file writes its version strings in the one form of Calorix.dll's.
TEST(ModuleResources, VersionResourcesOfTheProgramAndTheDataServer) {
    const struct {
        const char* file;
        DWORD fileType;
        const wchar_t* description;
    } files[] = {
        {"calorix-host.exe", VFT_APP, L"Calorix reference host"},
        {"varbank2.dll", VFT_DLL, L"Calorix stand-in data server"},
        {"Calorix.dll", VFT_DLL, L"Calorix Module"},
    };
    for (const auto& f : files) {
        SCOPED_TRACE(f.file);
        std::vector<BYTE> block =
            VersionBlock(platform::Utf8ToWide(platform::FolderOf(platform::ModuleFilePath()) + "\\" + f.file));
        ASSERT_FALSE(block.empty());
        VS_FIXEDFILEINFO* fixed = nullptr;
        UINT length = 0;
        ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
        EXPECT_EQ(fixed->dwFileVersionMS, MAKELONG(0, 38));
        EXPECT_EQ(fixed->dwFileType, f.fileType);
        const struct {
            const wchar_t* key;
            const wchar_t* value;
        } strings[] = {{L"CompanyName", L"Calorix developers"},
                       {L"LegalCopyright", L"Copyright (C) Calorix developers"},
                       {L"FileDescription", f.description},
                       {L"FileVersion", L"38, 0, 0, 0"},
                       {L"ProductVersion", L"38, 0, 0, 0"}};
        for (const auto& [key, expected] : strings) {
            wchar_t* value = nullptr;
            const std::wstring query = std::wstring(L"\\StringFileInfo\\040904B0\\") + key;
            ASSERT_TRUE(VerQueryValueW(block.data(), query.c_str(), reinterpret_cast<void**>(&value), &length));
            EXPECT_EQ(std::wstring(value ? value : L""), expected);
        }
    }
}

TEST(ModuleResources, StringTable) {
    HMODULE module = LoadLibraryExW(ModulePath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_TRUE(module);
    wchar_t text[64] = {};
    EXPECT_EQ(LoadStringW(module, 100, text, 64), 7);
    EXPECT_EQ(std::wstring(text), L"Calorix");
    FreeLibrary(module);
}

TEST(ModuleResources, TypeLibraryDescribesEveryClass) {
    ITypeLib* library = nullptr;
    ASSERT_EQ(LoadTypeLibEx(ModulePath().c_str(), REGKIND_NONE, &library), S_OK);
    TLIBATTR* attributes = nullptr;
    ASSERT_EQ(library->GetLibAttr(&attributes), S_OK);
    EXPECT_EQ(attributes->guid, LIBID_CALORIXLib);
    EXPECT_EQ(attributes->wMajorVerNum, 1);
    EXPECT_EQ(attributes->wMinorVerNum, 0);
    EXPECT_EQ(attributes->lcid, 0u);
    EXPECT_EQ(attributes->syskind, SYS_WIN64);
    library->ReleaseTLibAttr(attributes);

    BSTR name = nullptr, help = nullptr;
    ASSERT_EQ(library->GetDocumentation(-1, &name, &help, nullptr, nullptr), S_OK);
    EXPECT_EQ(std::wstring(name), L"CALORIXLib");
    EXPECT_EQ(std::wstring(help), L"Calorix 1.0 Type Library");
    SysFreeString(name);
    SysFreeString(help);

    // Each class and then its interface, in catalogue order with the standard density last.
    std::vector<std::wstring> expected, listed;
    for (const CatalogueClass& c : kClasses)
        if (std::string(c.word) != "Density") expected.insert(expected.end(), {Wide(c.word), Wide(std::string("I") + c.word)});
    expected.insert(expected.end(), {L"Density", L"IDensity"});
    for (UINT i = 0; i < library->GetTypeInfoCount(); ++i) {
        BSTR typeName = nullptr;
        if (SUCCEEDED(library->GetDocumentation(static_cast<INT>(i), &typeName, nullptr, nullptr, nullptr)))
            listed.emplace_back(typeName);
        SysFreeString(typeName);
    }
    EXPECT_EQ(listed, expected);
    for (const CatalogueClass& c : kClasses) {
        SCOPED_TRACE(c.word);
        ITypeInfo* coclass = nullptr;
        ASSERT_EQ(library->GetTypeInfoOfGuid(*c.clsid, &coclass), S_OK);
        TYPEATTR* type = nullptr;
        ASSERT_EQ(coclass->GetTypeAttr(&type), S_OK);
        EXPECT_EQ(type->typekind, TKIND_COCLASS);
        EXPECT_TRUE(type->wTypeFlags & TYPEFLAG_FCANCREATE);
        EXPECT_EQ(type->cImplTypes, 1);
        coclass->ReleaseTypeAttr(type);
        ASSERT_EQ(coclass->GetDocumentation(MEMBERID_NIL, &name, &help, nullptr, nullptr), S_OK);
        EXPECT_EQ(std::wstring(name), Wide(c.word));
        EXPECT_EQ(std::wstring(help), Wide(std::string(c.word) + " Class"));
        SysFreeString(name);
        SysFreeString(help);
        INT flags = 0;
        EXPECT_EQ(coclass->GetImplTypeFlags(0, &flags), S_OK);
        EXPECT_TRUE(flags & IMPLTYPEFLAG_FDEFAULT);
        coclass->Release();

        ITypeInfo* dual = nullptr;
        ASSERT_EQ(library->GetTypeInfoOfGuid(*c.iid, &dual), S_OK);
        ASSERT_EQ(dual->GetTypeAttr(&type), S_OK);
        EXPECT_EQ(type->typekind, TKIND_DISPATCH);
        EXPECT_TRUE(type->wTypeFlags & TYPEFLAG_FDUAL);
        EXPECT_EQ(type->cFuncs, 7);  // those of IUnknown and IDispatch, nothing of its own
        dual->ReleaseTypeAttr(type);
        ASSERT_EQ(dual->GetDocumentation(MEMBERID_NIL, &name, &help, nullptr, nullptr), S_OK);
        EXPECT_EQ(std::wstring(name), Wide(std::string("I") + c.word));
        EXPECT_EQ(std::wstring(help), Wide(std::string("I") + c.word + " Interface"));
        SysFreeString(name);
        SysFreeString(help);
        dual->Release();
    }
    library->Release();
}

namespace {
std::wstring TypeName(ITypeInfo* info) {
    BSTR name = nullptr;
    if (!info || FAILED(info->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr))) return L"<none>";
    std::wstring result(name);
    SysFreeString(name);
    return result;
}
}  // namespace

// IDispatch of each interface answers from its registered type library: the class interface
// from CALORIXLib, ICorrelation from the host's CORRMANLib (both registered by the set-up).
TEST(ModuleResources, DispatchAnswersFromTheRegisteredTypeLibraries) {
    const moduleclient::Module& m = moduleclient::Calorix();
    platform::ComPtr<ICorrelation> correlation = moduleclient::Create(m, CLSID_MolarHHV);
    ASSERT_TRUE(correlation);
    platform::ComPtr<IDispatch> own;
    ASSERT_EQ(correlation->QueryInterface(IID_IDispatch, own.PutVoid()), S_OK);

    UINT count = 0;
    EXPECT_EQ(own->GetTypeInfoCount(&count), S_OK);
    EXPECT_EQ(count, 1u);
    ITypeInfo* info = nullptr;
    ASSERT_EQ(own->GetTypeInfo(0, 0, &info), S_OK);
    EXPECT_EQ(TypeName(info), L"IMolarHHV");
    info->Release();
    EXPECT_EQ(own->GetTypeInfo(1, 0, &info), DISP_E_BADINDEX);

    ASSERT_EQ(correlation->GetTypeInfo(0, 0, &info), S_OK);
    EXPECT_EQ(TypeName(info), L"ICorrelation");
    info->Release();
    OLECHAR name[] = L"GetDisplayName";
    LPOLESTR names[] = {name};
    DISPID id = DISPID_UNKNOWN;
    EXPECT_EQ(correlation->GetIDsOfNames(IID_NULL, names, 1, 0, &id), S_OK);
    EXPECT_NE(id, DISPID_UNKNOWN);
    EXPECT_EQ(correlation->GetIDsOfNames(IID_IUnknown, names, 1, 0, &id), DISP_E_UNKNOWNINTERFACE);
}

// The host's CORRMANLib (registered by the set-up): the fluid interfaces with their operations
// in the order of their vtables after IUnknown's, and the fluid record at its 308 bytes.
TEST(ModuleResources, HostTypeLibraryDescribesTheFluidInterfaces) {
    ITypeLib* library = nullptr;
    ASSERT_EQ(LoadRegTypeLib(LIBID_CORRMANLib, 1, 0, LOCALE_NEUTRAL, &library), S_OK);
    struct Interface {
        const IID* iid;
        std::wstring name;
        std::vector<std::wstring> operations;
    };
    const Interface interfaces[] = {
        {&IID_IFluidSource, L"IFluidSource", {L"GetFluidState"}},
        {&IID_IFluidState, L"IFluidState", {L"GetComponentData", L"NeedsRecalculation"}},
        {&IID_IComponentData, L"IComponentData", {L"GetComponentProperty", L"GetComposition"}},
        {&IID_IFlashCalculator, L"IFlashCalculator",
         {L"GetPropertyPackageName", L"GetMaxPhaseCount", L"GetTolerance", L"SetTolerance", L"GetFlashCount",
          L"Flash"}},
    };
    constexpr SHORT kPointer = sizeof(void*);
    for (const Interface& expected : interfaces) {
        SCOPED_TRACE(std::string(expected.name.begin(), expected.name.end()));
        ITypeInfo* info = nullptr;
        ASSERT_EQ(library->GetTypeInfoOfGuid(*expected.iid, &info), S_OK);
        EXPECT_EQ(TypeName(info), expected.name);
        TYPEATTR* type = nullptr;
        ASSERT_EQ(info->GetTypeAttr(&type), S_OK);
        EXPECT_EQ(type->typekind, TKIND_INTERFACE);
        EXPECT_EQ(type->cFuncs, expected.operations.size());
        EXPECT_EQ(type->cbSizeVft, (3 + expected.operations.size()) * kPointer);
        info->ReleaseTypeAttr(type);
        std::vector<std::wstring> operations;
        for (UINT i = 0; i < expected.operations.size(); ++i) {
            FUNCDESC* function = nullptr;
            ASSERT_EQ(info->GetFuncDesc(i, &function), S_OK);
            BSTR name = nullptr;
            EXPECT_EQ(info->GetDocumentation(function->memid, &name, nullptr, nullptr, nullptr), S_OK);
            EXPECT_EQ(function->oVft, (3 + i) * kPointer);
            operations.emplace_back(name ? name : L"");
            SysFreeString(name);
            info->ReleaseFuncDesc(function);
        }
        EXPECT_EQ(operations, expected.operations);
        info->Release();
    }
    bool recordFound = false;
    for (UINT i = 0; i < library->GetTypeInfoCount(); ++i) {
        ITypeInfo* info = nullptr;
        ASSERT_EQ(library->GetTypeInfo(i, &info), S_OK);
        if (TypeName(info) == L"FluidComposition") {
            TYPEATTR* type = nullptr;
            ASSERT_EQ(info->GetTypeAttr(&type), S_OK);
            recordFound = true;
            EXPECT_EQ(type->typekind, TKIND_RECORD);
            EXPECT_EQ(type->cbSizeInstance, sizeof(FluidComposition));
            info->ReleaseTypeAttr(type);
        }
        info->Release();
    }
    EXPECT_TRUE(recordFound);
    library->Release();
}

// The ANSI code page of the Windows build is the system's (1252 under Wine), not UTF-8.
TEST(WindowsPlatform, ConvertsWithTheAnsiCodePageAndFindsResourceTypesInAnyCase) {
    if (GetACP() == 1252) {
        EXPECT_EQ(platform::AnsiToWide("\xE9t\xE9 \x80"), L"\u00e9t\u00e9 \u20ac");
        EXPECT_EQ(platform::WideToAnsi(L"\u00e9t\u00e9 \u20ac"), "\xE9t\xE9 \x80");
    }
    EXPECT_EQ(platform::WideToAnsi(platform::AnsiToWide("Phase_Values")), "Phase_Values");
    HMODULE module = LoadLibraryExW(ModulePath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_TRUE(module);
    EXPECT_TRUE(FindResourceW(module, MAKEINTRESOURCEW(111), L"registry"));
    EXPECT_TRUE(FindResourceW(module, MAKEINTRESOURCEW(201), MAKEINTRESOURCEW(23)));
    EXPECT_FALSE(FindResourceW(module, MAKEINTRESOURCEW(201), L"REGISTRY"));
    FreeLibrary(module);
}
