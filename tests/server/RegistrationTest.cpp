// DllRegisterServer and DllUnregisterServer: the keys and values they write
// and remove, and the type library registration.
#include "platform/TypeLib.h"
#include "tests/server/ServerTestSupport.h"
#include "tests/support/ScratchFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

using namespace servertest;

namespace {

const std::string kClassKey = "CLSID\\{FB82882C-A2F5-48F3-8A8D-F336890341D1}";
const std::string kClsidText = "{FB82882C-A2F5-48F3-8A8D-F336890341D1}";
const std::string kTypeLibraryKey = "TypeLib\\{52BA1FC6-03A4-409D-9C95-EFB369E2B531}";
const std::string kFriendlyName = "CCMORVENProc Object";

bool typeLibraryRegistered()
{
    ITypeLib* pTypeLib = nullptr;
    if (FAILED(LoadRegTypeLib(LIBID_MORVEN, 1, 0, 0x409, &pTypeLib)))
        return false;
    pTypeLib->Release();
    return true;
}


class Registration : public ::testing::Test {
protected:
    void expectRegistered()
    {
        EXPECT_EQ(stringValue(HKEY_CLASSES_ROOT, MORVEN_PROGID), kFriendlyName);
        EXPECT_EQ(stringValue(HKEY_CLASSES_ROOT, std::string(MORVEN_PROGID) + "\\CLSID"), kClsidText);
        EXPECT_EQ(stringValue(HKEY_CLASSES_ROOT, MORVEN_VERSION_INDEPENDENT_PROGID), kFriendlyName);
        EXPECT_EQ(stringValue(HKEY_CLASSES_ROOT, std::string(MORVEN_VERSION_INDEPENDENT_PROGID) + "\\CLSID"),
                  kClsidText);
        EXPECT_EQ(stringValue(HKEY_CLASSES_ROOT, std::string(MORVEN_VERSION_INDEPENDENT_PROGID) + "\\CurVer"),
                  MORVEN_PROGID);

        EXPECT_EQ(stringValue(HKEY_CLASSES_ROOT, kClassKey), kFriendlyName);
        EXPECT_EQ(stringValue(HKEY_CLASSES_ROOT, kClassKey, "AppID"), "");
        EXPECT_EQ(stringValue(HKEY_CLASSES_ROOT, kClassKey + "\\ProgID"), MORVEN_PROGID);
        EXPECT_EQ(stringValue(HKEY_CLASSES_ROOT, kClassKey + "\\VersionIndependentProgID"),
                  MORVEN_VERSION_INDEPENDENT_PROGID);
        EXPECT_TRUE(keyExists(HKEY_CLASSES_ROOT, kClassKey + "\\Programmable"));
        EXPECT_EQ(stringValue(HKEY_CLASSES_ROOT, kClassKey + "\\InprocServer32"), modulePath());
        EXPECT_EQ(stringValue(HKEY_CLASSES_ROOT, kClassKey + "\\InprocServer32", "ThreadingModel"), "apartment");
        EXPECT_EQ(stringValue(HKEY_CLASSES_ROOT, kClassKey + "\\TypeLib"), "{52BA1FC6-03A4-409D-9C95-EFB369E2B531}");

        // Nothing beyond the program's own entries.
        auto classValues = valueNames(HKEY_CLASSES_ROOT, kClassKey);
        std::sort(classValues.begin(), classValues.end());
        EXPECT_EQ(classValues, (std::vector<std::string>{"", "AppID"}));
        auto classSubKeys = subKeyNames(HKEY_CLASSES_ROOT, kClassKey);
        std::sort(classSubKeys.begin(), classSubKeys.end());
        EXPECT_EQ(classSubKeys, (std::vector<std::string>{"InprocServer32", "ProgID", "Programmable", "TypeLib",
                                                          "VersionIndependentProgID"}));
        EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, "AppID"));
        EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, "Component Categories"));
        EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, kClassKey + "\\Implemented Categories"));

        EXPECT_TRUE(typeLibraryRegistered());
    }

    void expectUnregistered()
    {
        EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, MORVEN_PROGID));
        EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, MORVEN_VERSION_INDEPENDENT_PROGID));
        EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, kClassKey));
        EXPECT_FALSE(typeLibraryRegistered());
    }

    ScratchRegistry registry;
    LoadedModule module;
};

TEST_F(Registration, WritesTheClassKeysAndRegistersTheTypeLibrary)
{
    ASSERT_EQ(module.registerServer(), S_OK);
    expectRegistered();
}

TEST_F(Registration, ClassInformationIsAvailableOnlyAfterRegistration)
{
    ASSERT_GE(CoInitialize(nullptr), 0);
    IClassFactory* pFactory = module.classFactory();
    ASSERT_NE(pFactory, nullptr);
    IProvideClassInfo* pBefore = nullptr;
    ASSERT_EQ(pFactory->CreateInstance(nullptr, IID_IProvideClassInfo, reinterpret_cast<void**>(&pBefore)), S_OK);
    ITypeInfo* pTypeInfo = nullptr;
    EXPECT_TRUE(FAILED(pBefore->GetClassInfo(&pTypeInfo)));
    EXPECT_EQ(pTypeInfo, nullptr);
    pBefore->Release();

    ASSERT_EQ(module.registerServer(), S_OK);
    IProvideClassInfo* pAfter = nullptr;
    ASSERT_EQ(pFactory->CreateInstance(nullptr, IID_IProvideClassInfo, reinterpret_cast<void**>(&pAfter)), S_OK);
    EXPECT_EQ(pAfter->GetClassInfo(&pTypeInfo), S_OK);
    ASSERT_NE(pTypeInfo, nullptr);
    TYPEATTR* pAttr = nullptr;
    ASSERT_EQ(pTypeInfo->GetTypeAttr(&pAttr), S_OK);
    EXPECT_EQ(pAttr->guid, CLSID_CCMORVENProc);
    pTypeInfo->ReleaseTypeAttr(pAttr);
    pTypeInfo->Release();
    pAfter->Release();
    pFactory->Release();
    CoUninitialize();
}

TEST_F(Registration, RegisteringTwiceRebuildsTheClassKey)
{
    ASSERT_EQ(module.registerServer(), S_OK);
    // Stray entries under the keys that registration replaces.
    HKEY hKey = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, kClassKey.c_str(), 0, KEY_READ | KEY_WRITE, &hKey), ERROR_SUCCESS);
    const char stray[] = "left by hand";
    ASSERT_EQ(RegSetValueExA(hKey, "Stray", 0, REG_SZ, reinterpret_cast<const BYTE*>(stray), sizeof(stray)),
              ERROR_SUCCESS);
    HKEY hSub = nullptr;
    ASSERT_EQ(RegCreateKeyExA(hKey, "Programmable\\Stray", 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_READ | KEY_WRITE,
                              nullptr, &hSub, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(hSub);
    RegCloseKey(hKey);

    ASSERT_EQ(module.registerServer(), S_OK);
    expectRegistered();
    EXPECT_EQ(stringValue(HKEY_CLASSES_ROOT, kClassKey, "Stray"), std::nullopt);
    EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, kClassKey + "\\Programmable\\Stray"));
}

TEST_F(Registration, UnregisteringRemovesEverythingButTheClsidKey)
{
    ASSERT_EQ(module.registerServer(), S_OK);
    // Another server's class shares the CLSID key and must survive.
    HKEY hKey = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, "CLSID\\{00000000-1111-2222-3333-444444444444}", 0, nullptr,
                              REG_OPTION_NON_VOLATILE, KEY_READ | KEY_WRITE, nullptr, &hKey, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(hKey);

    EXPECT_EQ(module.unregisterServer(), S_OK);
    expectUnregistered();
    EXPECT_TRUE(keyExists(HKEY_CLASSES_ROOT, "CLSID"));
    EXPECT_TRUE(keyExists(HKEY_CLASSES_ROOT, "CLSID\\{00000000-1111-2222-3333-444444444444}"));
    EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, kTypeLibraryKey));
}

TEST_F(Registration, UnregisteringWhenNothingIsRegistered)
{
    // The class keys are simply absent; the result is the platform's answer
    // for a type library that is not registered.
    HRESULT expected = UnRegisterTypeLib(LIBID_MORVEN, 1, 0, 0x409, SYS_WIN32);
    HRESULT hr = module.unregisterServer();
    EXPECT_EQ(hr, FAILED(expected) ? expected : S_OK);
    expectUnregistered();
    EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, "AppID"));
}

TEST_F(Registration, RegistersAgainAfterUnregistering)
{
    ASSERT_EQ(module.registerServer(), S_OK);
    ASSERT_EQ(module.unregisterServer(), S_OK);
    ASSERT_EQ(module.registerServer(), S_OK);
    expectRegistered();
}

// A copy of MORVEN.ocx under another path, loaded from there.
class ModuleCopy {
public:
    ModuleCopy(const std::string& directory, const std::string& name, bool withTypeLibrary)
        : m_path(directory + "/" + name)
    {
        std::filesystem::create_directories(directory);
        std::filesystem::copy_file(modulePath(), m_path);
        if (!withTypeLibrary) {
            // The resource is found by its section name; under another name it is not there.
            std::string command = "objcopy --rename-section .comrt.rsrc.TYPELIB.1=.comrt.rsrc.TYPELIB.9 '" +
                                  m_path + "'";
            if (std::system(command.c_str()) != 0)
                throw std::runtime_error("objcopy failed");
        }
        m_hModule = LoadLibraryA(m_path.c_str());
        if (m_hModule == nullptr)
            throw std::runtime_error("the copy did not load");
    }
    ~ModuleCopy() { FreeLibrary(m_hModule); }

    const std::string& path() const { return m_path; }
    HRESULT call(const char* exportName) const
    {
        return reinterpret_cast<DllRegisterServerFn>(GetProcAddress(m_hModule, exportName))();
    }

private:
    std::string m_path;
    HMODULE m_hModule = nullptr;
};

std::string registeredTypeLibraryPath()
{
    BSTR path = nullptr;
    if (FAILED(QueryPathOfRegTypeLib(LIBID_MORVEN, 1, 0, 0x409, &path)))
        return "<none>";
    std::string narrow(path, path + SysStringLen(path)); // ASCII test paths
    SysFreeString(path);
    return narrow;
}

TEST_F(Registration, TypeLibraryFromTheTlbFileBesideAModuleWithoutOne)
{
    testkit::ScratchDirectory dir("morven-server-plain");
    std::filesystem::copy_file(std::filesystem::path(modulePath()).parent_path() / "MORVEN.tlb",
                               dir.file("Plain.tlb"));
    ModuleCopy copy(dir.path(), "Plain.ocx", false);

    ASSERT_EQ(copy.call("DllRegisterServer"), S_OK);
    EXPECT_EQ(stringValue(HKEY_CLASSES_ROOT, kClassKey + "\\InprocServer32"), copy.path());
    EXPECT_EQ(registeredTypeLibraryPath(), dir.file("Plain.tlb"));

    EXPECT_EQ(copy.call("DllUnregisterServer"), S_OK);
    expectUnregistered();
}

TEST_F(Registration, WithoutAnyTypeLibraryTheClassKeysStillChange)
{
    testkit::ScratchDirectory dir("morven-server-plain");
    ModuleCopy copy(dir.path(), "Plain.ocx", false);

    // The class keys come first and stay when the type library step fails.
    HRESULT hr = copy.call("DllRegisterServer");
    EXPECT_TRUE(FAILED(hr)) << std::hex << hr;
    EXPECT_EQ(stringValue(HKEY_CLASSES_ROOT, kClassKey + "\\InprocServer32"), copy.path());
    EXPECT_FALSE(typeLibraryRegistered());

    hr = copy.call("DllUnregisterServer");
    EXPECT_TRUE(FAILED(hr)) << std::hex << hr;
    EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, kClassKey));
    EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, MORVEN_PROGID));
}

TEST_F(Registration, ModulePathThatDoesNotFitChangesNothing)
{
    testkit::ScratchDirectory dir("morven-server-long");
    std::string directory = dir.path();
    while (directory.size() + std::string("/MORVEN.ocx").size() < MAX_PATH + 10)
        directory += "/" + std::string(40, 'd');
    ModuleCopy copy(directory, "MORVEN.ocx", true);

    const HRESULT pathCut = static_cast<HRESULT>(0x8007007A);
    EXPECT_EQ(copy.call("DllRegisterServer"), pathCut);
    EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, kClassKey));
    EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, MORVEN_PROGID));
    EXPECT_FALSE(typeLibraryRegistered());
    EXPECT_EQ(copy.call("DllUnregisterServer"), pathCut);
}

} // namespace
