// Run only under a Chinese locale (scripts/test-windows.sh): the library's
// help strings, stored as code page 936 bytes, read as the text they are
// where the process's ANSI code page is 936, through the library and through
// the registry value the platform wrote from it.
#include "tests/host/HostTestSupport.h"

#include <windows.h>

namespace host {
namespace {

std::wstring wideRegistryText(const char* path)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return L"<no key>";
    wchar_t text[256] = {};
    DWORD size = sizeof text - sizeof(wchar_t);
    DWORD type = REG_NONE;
    const LONG result = RegQueryValueExW(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(text), &size);
    RegCloseKey(key);
    return result == ERROR_SUCCESS && type == REG_SZ ? std::wstring(text) : L"<no text value>";
}

TEST(CodePage936, HelpStringsReadAsTheirChineseText)
{
    HOST_REQUIRE_REGISTRATION();
    ASSERT_EQ(GetACP(), 936u) << "this test is for a process whose ANSI code page is 936";
    ASSERT_TRUE(helpStringsReadAs936());

    Ref<ITypeLib> library;
    ASSERT_EQ(LoadRegTypeLib(LIBID_MORVEN, 1, 0, 0x409, library.out()), S_OK);
    Bstr doc;
    ASSERT_EQ(library->GetDocumentation(-1, nullptr, doc.out(), nullptr, nullptr), S_OK);
    EXPECT_EQ(doc.str(), L"MORVEN 1.0 \u7C7B\u578B\u5E93");
    EXPECT_EQ(wideRegistryText(("TypeLib\\" + guidText(LIBID_MORVEN) + "\\1.0").c_str()),
              L"MORVEN 1.0 \u7C7B\u578B\u5E93");

    Ref<ITypeInfo> iface;
    ASSERT_EQ(library->GetTypeInfoOfGuid(IID_ICMORVENProc, iface.out()), S_OK);
    ASSERT_EQ(iface->GetDocumentation(MEMBERID_NIL, nullptr, doc.out(), nullptr, nullptr), S_OK);
    EXPECT_EQ(doc.str(), L"ICMORVENProc \u63A5\u53E3");
    ASSERT_EQ(iface->GetDocumentation(0x60010001, nullptr, doc.out(), nullptr, nullptr), S_OK);
    EXPECT_EQ(doc.str(), L"\u65B9\u6CD5grab");
}

} // namespace
} // namespace host
