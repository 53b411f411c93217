// Registering type libraries, finding them again by identity and locale, and
// removing them.
#include "tests/platform/linux/typelib/TypeLibTestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>

using namespace typelib_test;

namespace {

const std::string kMorvenKey = "TypeLib\\{52BA1FC6-03A4-409D-9C95-EFB369E2B531}";
constexpr GUID kMorvenLibid = {0x52BA1FC6, 0x03A4, 0x409D, {0x9C, 0x95, 0xEF, 0xB3, 0x69, 0xE2, 0xB5, 0x31}};
constexpr GUID kTestLibid = {0x11111111, 0x2222, 0x3333, {0x44, 0x44, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55}};
const std::string kTestKey = "TypeLib\\{11111111-2222-3333-4444-555555555555}";

class Registration : public ::testing::Test {
protected:
    // A library with this identity, version and locale in a file of the scratch directory.
    std::string writeLibrary(const std::string& fileName, const std::string& version, const std::string& lcid,
                             const std::string& declarations = {}, const std::string& body = {})
    {
        std::string attributes = "uuid(11111111-2222-3333-4444-555555555555), version(" + version + ")";
        if (!lcid.empty())
            attributes += ", lcid(" + lcid + ")";
        std::string path = m_dir.file(fileName);
        writeWholeFile(path, compile(idlPrelude() + declarations + idlLibrary(attributes, body)));
        return path;
    }

    HRESULT registerFile(const std::string& path, const char16_t* helpDir)
    {
        std::u16string widePath = wide(path);
        Ref<ITypeLib> lib;
        HRESULT hr = LoadTypeLib(widePath.c_str(), lib.out());
        if (FAILED(hr))
            return hr;
        std::u16string dir = helpDir ? std::u16string(helpDir) : std::u16string();
        return RegisterTypeLib(lib.get(), widePath.data(), helpDir ? dir.data() : nullptr);
    }

    ScratchRegistry m_registry;
    ScratchDirectory m_dir;
};

TEST_F(Registration, WritesThePlatformsKeysForMorven)
{
    std::u16string path = wide(SAMPLE_MODULE_PATH);
    std::string directory = std::string(SAMPLE_MODULE_PATH).substr(0, std::string(SAMPLE_MODULE_PATH).rfind('/') + 1);
    std::u16string helpDir = wide(directory);
    Ref<ITypeLib> lib;
    ASSERT_EQ(LoadTypeLib(path.c_str(), lib.out()), S_OK);
    ASSERT_EQ(RegisterTypeLib(lib.get(), path.data(), helpDir.data()), S_OK);

    // The help string in the ANSI code page, UTF-8 here.
    EXPECT_EQ(stringValue(HKEY_CLASSES_ROOT, kMorvenKey + "\\1.0"), std::optional<std::string>("MORVEN 1.0 类型库"));
    EXPECT_EQ(stringValue(HKEY_CLASSES_ROOT, kMorvenKey + "\\1.0\\409\\win32"), std::optional<std::string>(SAMPLE_MODULE_PATH));
    EXPECT_EQ(stringValue(HKEY_CLASSES_ROOT, kMorvenKey + "\\1.0\\FLAGS"), std::optional<std::string>("0"));
    EXPECT_EQ(stringValue(HKEY_CLASSES_ROOT, kMorvenKey + "\\1.0\\HELPDIR"), std::optional<std::string>(directory));
    EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, kMorvenKey + "\\1.0\\0"));
    // A plain vtable interface gets no Interface key.
    EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, "Interface\\{4A47467B-726B-4B87-8077-14860715E21E}"));

    // Registering again leaves the same entries.
    ASSERT_EQ(RegisterTypeLib(lib.get(), path.data(), helpDir.data()), S_OK);
    EXPECT_EQ(stringValue(HKEY_CLASSES_ROOT, kMorvenKey + "\\1.0\\409\\win32"), std::optional<std::string>(SAMPLE_MODULE_PATH));
}

TEST_F(Registration, FoundByExactLocaleButNotByTheNeutralOne)
{
    std::u16string path = wide(SAMPLE_MODULE_PATH);
    Ref<ITypeLib> lib;
    EXPECT_EQ(LoadRegTypeLib(kMorvenLibid, 1, 0, 0x409, lib.out()), TYPE_E_LIBNOTREGISTERED);
    ASSERT_EQ(LoadTypeLib(path.c_str(), lib.out()), S_OK);
    ASSERT_EQ(RegisterTypeLib(lib.get(), path.data(), nullptr), S_OK);
    lib.reset();

    ASSERT_EQ(LoadRegTypeLib(kMorvenLibid, 1, 0, 0x409, lib.out()), S_OK);
    ASSERT_EQ(lib->GetTypeInfoCount(), 3u);
    // Locale 0 looks only under 0; so does a sibling locale after its own and its language's.
    EXPECT_EQ(LoadRegTypeLib(kMorvenLibid, 1, 0, 0, lib.out()), TYPE_E_LIBNOTREGISTERED);
    EXPECT_FALSE(lib);
    EXPECT_EQ(LoadRegTypeLib(kMorvenLibid, 1, 0, 0x809, lib.out()), TYPE_E_LIBNOTREGISTERED);
    EXPECT_EQ(LoadRegTypeLib(kMorvenLibid, 1, 1, 0x409, lib.out()), TYPE_E_LIBNOTREGISTERED);
    EXPECT_EQ(LoadRegTypeLib(kMorvenLibid, 2, 0, 0x409, lib.out()), TYPE_E_LIBNOTREGISTERED);

    Bstr found;
    ASSERT_EQ(QueryPathOfRegTypeLib(kMorvenLibid, 1, 0, 0x409, found.out()), S_OK);
    EXPECT_EQ(found.str(), path);
    // Without a help directory a new registration names the library's folder.
    std::string module = SAMPLE_MODULE_PATH;
    EXPECT_EQ(stringValue(HKEY_CLASSES_ROOT, kMorvenKey + "\\1.0\\HELPDIR"), std::optional<std::string>(module.substr(0, module.rfind('/'))));
}

TEST_F(Registration, LocaleFallsBackToTheLanguageThenNeutral)
{
    std::string neutral = writeLibrary("neutral.tlb", "1.0", "");
    ASSERT_EQ(registerFile(neutral, u"/"), S_OK);
    Ref<ITypeLib> lib;
    EXPECT_EQ(LoadRegTypeLib(kTestLibid, 1, 0, 0x409, lib.out()), S_OK);
    EXPECT_EQ(LoadRegTypeLib(kTestLibid, 1, 0, 0, lib.out()), S_OK);

    std::string english = writeLibrary("english.tlb", "1.0", "0x9");
    ASSERT_EQ(registerFile(english, u"/"), S_OK);
    Bstr path;
    ASSERT_EQ(QueryPathOfRegTypeLib(kTestLibid, 1, 0, 0x809, path.out()), S_OK);
    EXPECT_EQ(path.str(), wide(english));
    ASSERT_EQ(QueryPathOfRegTypeLib(kTestLibid, 1, 0, 0x407, path.out()), S_OK);
    EXPECT_EQ(path.str(), wide(neutral));
}

TEST_F(Registration, HighestMinorVersionOfTheMajorIsChosen)
{
    ASSERT_EQ(registerFile(writeLibrary("v10.tlb", "1.0", "0x409"), u"/"), S_OK);
    std::string v1a = writeLibrary("v1a.tlb", "1.10", "0x409");
    ASSERT_EQ(registerFile(v1a, u"/"), S_OK);
    ASSERT_EQ(registerFile(writeLibrary("v2.tlb", "2.0", "0x409"), u"/"), S_OK);
    EXPECT_TRUE(keyExists(HKEY_CLASSES_ROOT, kTestKey + "\\1.a")); // versions are written in hexadecimal

    Ref<ITypeLib> lib;
    ASSERT_EQ(LoadRegTypeLib(kTestLibid, 1, 0, 0x409, lib.out()), S_OK);
    TLIBATTR* attr = nullptr;
    ASSERT_EQ(lib->GetLibAttr(&attr), S_OK);
    EXPECT_EQ(attr->wMajorVerNum, 1);
    EXPECT_EQ(attr->wMinorVerNum, 10);
    lib->ReleaseTLibAttr(attr);

    // A registered file that has become another version is not taken for the one asked for.
    writeWholeFile(v1a, readWholeFile(m_dir.file("v2.tlb")));
    EXPECT_EQ(LoadRegTypeLib(kTestLibid, 1, 0, 0x409, lib.out()), TYPE_E_LIBNOTREGISTERED);
    EXPECT_FALSE(lib);

    // Unregistering one version keeps the others.
    ASSERT_EQ(UnRegisterTypeLib(kTestLibid, 1, 0, 0x409, SYS_WIN32), S_OK);
    EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, kTestKey + "\\1.0"));
    EXPECT_TRUE(keyExists(HKEY_CLASSES_ROOT, kTestKey + "\\1.a"));
    EXPECT_TRUE(keyExists(HKEY_CLASSES_ROOT, kTestKey + "\\2.0"));
}

TEST_F(Registration, UnregisteringOneLocaleOrSystemKeepsTheOthers)
{
    ASSERT_EQ(registerFile(writeLibrary("english.tlb", "1.0", "0x409"), u"/"), S_OK);
    ASSERT_EQ(registerFile(writeLibrary("german.tlb", "1.0", "0x407"), u"/"), S_OK);
    ASSERT_TRUE(testkit::writeString(HKEY_CLASSES_ROOT, kTestKey + "\\1.0\\407\\win64", nullptr, "/german64.tlb"));

    ASSERT_EQ(UnRegisterTypeLib(kTestLibid, 1, 0, 0x407, SYS_WIN32), S_OK);
    EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, kTestKey + "\\1.0\\407\\win32"));
    EXPECT_TRUE(keyExists(HKEY_CLASSES_ROOT, kTestKey + "\\1.0\\407\\win64"));

    ASSERT_EQ(UnRegisterTypeLib(kTestLibid, 1, 0, 0x409, SYS_WIN32), S_OK);
    EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, kTestKey + "\\1.0\\409"));
    EXPECT_TRUE(keyExists(HKEY_CLASSES_ROOT, kTestKey + "\\1.0\\FLAGS"));
    EXPECT_TRUE(keyExists(HKEY_CLASSES_ROOT, kTestKey + "\\1.0\\HELPDIR"));

    ASSERT_EQ(UnRegisterTypeLib(kTestLibid, 1, 0, 0x407, SYS_WIN64), S_OK);
    EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, kTestKey));
}

TEST_F(Registration, UnregisteringRemovesTheWholeLibraryKeyOnce)
{
    std::u16string path = wide(SAMPLE_MODULE_PATH);
    Ref<ITypeLib> lib;
    ASSERT_EQ(LoadTypeLib(path.c_str(), lib.out()), S_OK);
    EXPECT_EQ(UnRegisterTypeLib(kMorvenLibid, 1, 0, 0x409, SYS_WIN32), E_INVALIDARG); // never registered
    ASSERT_EQ(RegisterTypeLib(lib.get(), path.data(), nullptr), S_OK);
    EXPECT_EQ(UnRegisterTypeLib(kMorvenLibid, 1, 0, 0, SYS_WIN32), E_INVALIDARG); // not under that locale
    EXPECT_EQ(UnRegisterTypeLib(kMorvenLibid, 1, 0, 0x409, static_cast<SYSKIND>(9)), E_INVALIDARG);

    ASSERT_EQ(UnRegisterTypeLib(kMorvenLibid, 1, 0, 0x409, SYS_WIN32), S_OK);
    EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, kMorvenKey));
    EXPECT_TRUE(keyExists(HKEY_CLASSES_ROOT, "TypeLib"));
    EXPECT_EQ(UnRegisterTypeLib(kMorvenLibid, 1, 0, 0x409, SYS_WIN32), E_INVALIDARG);
    EXPECT_EQ(LoadRegTypeLib(kMorvenLibid, 1, 0, 0x409, lib.out()), TYPE_E_LIBNOTREGISTERED);
}

TEST_F(Registration, AutomationInterfacesGetInterfaceKeysThatGoAgain)
{
    std::string path = writeLibrary("auto.tlb", "1.0", "0x409",
                                    "[object, oleautomation, uuid(AAAAAAAA-0000-0000-0000-000000000009)]"
                                    " interface IAuto : IUnknown { HRESULT Go(); };",
                                    "interface IAuto;");
    ASSERT_EQ(registerFile(path, u"/help"), S_OK);
    const std::string key = "Interface\\{AAAAAAAA-0000-0000-0000-000000000009}";
    EXPECT_EQ(stringValue(HKEY_CLASSES_ROOT, key), std::optional<std::string>("IAuto"));
    EXPECT_EQ(stringValue(HKEY_CLASSES_ROOT, key + "\\ProxyStubClsid32"),
              std::optional<std::string>("{00020424-0000-0000-C000-000000000046}"));
    EXPECT_EQ(stringValue(HKEY_CLASSES_ROOT, key + "\\TypeLib"), std::optional<std::string>("{11111111-2222-3333-4444-555555555555}"));
    EXPECT_EQ(stringValue(HKEY_CLASSES_ROOT, key + "\\TypeLib", "Version"), std::optional<std::string>("1.0"));
    EXPECT_EQ(stringValue(HKEY_CLASSES_ROOT, kTestKey + "\\1.0\\HELPDIR"), std::optional<std::string>("/help"));

    ASSERT_EQ(UnRegisterTypeLib(kTestLibid, 1, 0, 0x409, SYS_WIN32), S_OK);
    EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, key));
    EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, kTestKey));
}

TEST_F(Registration, ARegistrationWhoseFileIsGoneCanStillBeRemoved)
{
    std::string path = writeLibrary("gone.tlb", "1.0", "0x409");
    ASSERT_EQ(registerFile(path, u"/"), S_OK);
    std::remove(path.c_str());
    Ref<ITypeLib> lib;
    EXPECT_EQ(LoadRegTypeLib(kTestLibid, 1, 0, 0x409, lib.out()), TYPE_E_CANTLOADLIBRARY);
    ASSERT_EQ(UnRegisterTypeLib(kTestLibid, 1, 0, 0x409, SYS_WIN32), S_OK);
    EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, kTestKey));
}

TEST_F(Registration, LoadTypeLibExRegistersOnlyWhenAsked)
{
    std::string path = writeLibrary("ex.tlb", "1.0", "0x409");
    std::u16string widePath = wide(path);
    Ref<ITypeLib> lib;
    ASSERT_EQ(LoadTypeLibEx(widePath.c_str(), REGKIND_NONE, lib.out()), S_OK);
    ASSERT_EQ(LoadTypeLibEx(widePath.c_str(), REGKIND_DEFAULT, lib.out()), S_OK);
    EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, kTestKey));
    ASSERT_EQ(LoadTypeLibEx(widePath.c_str(), REGKIND_REGISTER, lib.out()), S_OK);
    EXPECT_EQ(stringValue(HKEY_CLASSES_ROOT, kTestKey + "\\1.0\\409\\win32"), std::optional<std::string>(path));

    EXPECT_EQ(RegisterTypeLib(nullptr, widePath.data(), nullptr), E_INVALIDARG);
    EXPECT_EQ(RegisterTypeLib(lib.get(), nullptr, nullptr), E_INVALIDARG);
}

} // namespace
