// Registration through the platform's regsvr32: the keys the module writes
// under HKEY_CLASSES_ROOT, what a second registration and an unregistration
// leave, and the class information that depends on the registered library.
#include "tests/windows/WindowsTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace wintest;

namespace {

const std::string kClassKey = "CLSID\\" + guidText(CLSID_CCMORVENProc);
const std::string kTypeLibKey = "TypeLib\\" + guidText(LIBID_MORVEN);

// The library's help string as its bytes are stored (code page 936); a host
// reads them in its own ANSI code page, so the text it sees depends on it.
const char kLibraryHelpBytes[] = "MORVEN 1.0 \xC0\xE0\xD0\xCD\xBF\xE2";

std::wstring text(const char* ascii)
{
    return widen(ascii);
}

void expectClassKeys()
{
    const std::wstring name = text("CCMORVENProc Object");
    const std::wstring clsid = widen(guidText(CLSID_CCMORVENProc));
    EXPECT_EQ(readText(HKEY_CLASSES_ROOT, MORVEN_PROGID), name);
    EXPECT_EQ(readText(HKEY_CLASSES_ROOT, MORVEN_PROGID "\\CLSID"), clsid);
    EXPECT_EQ(readText(HKEY_CLASSES_ROOT, MORVEN_VERSION_INDEPENDENT_PROGID), name);
    EXPECT_EQ(readText(HKEY_CLASSES_ROOT, MORVEN_VERSION_INDEPENDENT_PROGID "\\CLSID"), clsid);
    EXPECT_EQ(readText(HKEY_CLASSES_ROOT, MORVEN_VERSION_INDEPENDENT_PROGID "\\CurVer"), text(MORVEN_PROGID));

    EXPECT_EQ(readText(HKEY_CLASSES_ROOT, kClassKey), name);
    EXPECT_EQ(readText(HKEY_CLASSES_ROOT, kClassKey, "AppID"), std::wstring());
    EXPECT_EQ(readText(HKEY_CLASSES_ROOT, kClassKey + "\\ProgID"), text(MORVEN_PROGID));
    EXPECT_EQ(readText(HKEY_CLASSES_ROOT, kClassKey + "\\VersionIndependentProgID"),
              text(MORVEN_VERSION_INDEPENDENT_PROGID));
    EXPECT_EQ(readText(HKEY_CLASSES_ROOT, kClassKey + "\\TypeLib"), widen(guidText(LIBID_MORVEN)));
    const std::optional<std::wstring> server = readText(HKEY_CLASSES_ROOT, kClassKey + "\\InprocServer32");
    ASSERT_TRUE(server) << "no InprocServer32 default value";
    EXPECT_EQ(lstrcmpiW(server->c_str(), widen(modulePath()).c_str()), 0) << "InprocServer32 names another file";
    EXPECT_EQ(readText(HKEY_CLASSES_ROOT, kClassKey + "\\InprocServer32", "ThreadingModel"), text("apartment"));
    // Exactly these subkeys: no AppID key, no component categories.
    const std::vector<std::string> expected = {"InprocServer32", "ProgID", "Programmable", "TypeLib",
                                               "VersionIndependentProgID"};
    std::vector<std::string> names = subKeyNames(HKEY_CLASSES_ROOT, kClassKey);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, expected);
    EXPECT_TRUE(keyExists(HKEY_CLASSES_ROOT, kClassKey + "\\Programmable"));
    EXPECT_TRUE(subKeyNames(HKEY_CLASSES_ROOT, kClassKey + "\\Programmable").empty());
}

void expectTypeLibraryKeys()
{
    EXPECT_EQ(readText(HKEY_CLASSES_ROOT, kTypeLibKey + "\\1.0"), fromCodePage(kLibraryHelpBytes, CP_ACP))
        << "ANSI code page " << GetACP();
    const std::string platform = sizeof(void*) == 4 ? "win32" : "win64";
    const std::optional<std::wstring> path = readText(HKEY_CLASSES_ROOT, kTypeLibKey + "\\1.0\\409\\" + platform);
    ASSERT_TRUE(path) << "the library's path is not registered under 409\\" << platform;
    EXPECT_EQ(lstrcmpiW(path->c_str(), widen(modulePath()).c_str()), 0);
    EXPECT_TRUE(keyExists(HKEY_CLASSES_ROOT, kTypeLibKey + "\\1.0\\FLAGS"));
    EXPECT_TRUE(keyExists(HKEY_CLASSES_ROOT, kTypeLibKey + "\\1.0\\HELPDIR"));
    // The interface is neither dual nor automation: the platform writes no Interface key for it.
    EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, "Interface\\" + guidText(IID_ICMORVENProc)));
}

void expectNothingRegistered()
{
    EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, MORVEN_PROGID));
    EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, MORVEN_VERSION_INDEPENDENT_PROGID));
    EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, kClassKey));
    EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, kTypeLibKey));
    EXPECT_TRUE(keyExists(HKEY_CLASSES_ROOT, "CLSID"));
}

DWORD runRegsvr32(bool unregister)
{
    std::string error;
    const std::optional<DWORD> code = regsvr32(unregister, error);
    EXPECT_TRUE(code) << error;
    return code.value_or(~DWORD{0});
}

// Leaves the module registered for the tests that follow, however a test ends.
struct RegisteredAgainAtEnd {
    ~RegisteredAgainAtEnd()
    {
        std::string error;
        regsvr32(false, error);
    }
};

typedef HRESULT(STDAPICALLTYPE* GetClassObjectFn)(REFCLSID, REFIID, void**);
typedef HRESULT(STDAPICALLTYPE* CanUnloadNowFn)();

TEST(WindowsRegistration, Regsvr32WritesTheClassAndLibraryKeysAndUnregisterRemovesThem)
{
    WINTEST_REQUIRE_REGISTRATION();
    RegisteredAgainAtEnd registeredAgain;
    expectClassKeys();
    expectTypeLibraryKeys();

    // A second registration rebuilds the class key: what was added by hand goes.
    HKEY classKey = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, kClassKey.c_str(), 0, KEY_SET_VALUE, &classKey), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(classKey, "HandMade", 0, REG_SZ, reinterpret_cast<const BYTE*>("x"), 2), ERROR_SUCCESS);
    RegCloseKey(classKey);
    ASSERT_EQ(runRegsvr32(false), 0u);
    EXPECT_FALSE(readText(HKEY_CLASSES_ROOT, kClassKey, "HandMade"));
    expectClassKeys();
    expectTypeLibraryKeys();

    ASSERT_EQ(runRegsvr32(true), 0u);
    expectNothingRegistered();
    // Nothing left to unregister: the platform refuses to unregister a library
    // that is not registered, and regsvr32 reports the failure.
    EXPECT_NE(runRegsvr32(true), 0u);
    expectNothingRegistered();

    ASSERT_EQ(runRegsvr32(false), 0u);
    expectClassKeys();
    expectTypeLibraryKeys();
}

TEST(WindowsRegistration, ClassInfoFailsUntilTheLibraryIsRegisteredAndIsRetriedAfterwards)
{
    WINTEST_REQUIRE_REGISTRATION();
    Apartment com;
    RegisteredAgainAtEnd registeredAgain;
    ASSERT_EQ(runRegsvr32(true), 0u);

    // The class cannot be found through the registry now: use the module's own
    // export, from a copy, so that no class information cached by the module
    // other tests loaded into this process answers.
    char tempDir[MAX_PATH];
    ASSERT_GT(GetTempPathA(MAX_PATH, tempDir), 0u);
    const std::string copy = std::string(tempDir) + "MORVEN-classinfo-test.ocx";
    ASSERT_TRUE(CopyFileA(modulePath().c_str(), copy.c_str(), FALSE)) << "error " << GetLastError();
    HMODULE module = LoadLibraryA(copy.c_str());
    ASSERT_NE(module, nullptr) << "LoadLibrary " << copy << ": error " << GetLastError();
    auto getClassObject = moduleExport<GetClassObjectFn>(module, "DllGetClassObject");
    auto canUnloadNow = moduleExport<CanUnloadNowFn>(module, "DllCanUnloadNow");
    ASSERT_NE(getClassObject, nullptr);
    ASSERT_NE(canUnloadNow, nullptr);
    {
        Ref<IClassFactory> factory;
        ASSERT_EQ(getClassObject(CLSID_CCMORVENProc, IID_IClassFactory, factory.outVoid()), S_OK);
        Ref<IProvideClassInfo> object;
        ASSERT_EQ(factory->CreateInstance(nullptr, IID_IProvideClassInfo, object.outVoid()), S_OK);

        Ref<ITypeInfo> info;
        EXPECT_EQ(object->GetClassInfo(info.out()), TYPE_E_LIBNOTREGISTERED);
        EXPECT_EQ(info.get(), nullptr);

        ASSERT_EQ(runRegsvr32(false), 0u);
        // The failure was not kept: the same object finds the library now.
        ASSERT_EQ(object->GetClassInfo(info.out()), S_OK);
        TYPEATTR* attr = nullptr;
        ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
        EXPECT_TRUE(attr->guid == CLSID_CCMORVENProc);
        info->ReleaseTypeAttr(attr);
    }
    EXPECT_EQ(canUnloadNow(), S_OK);
    FreeLibrary(module);
    DeleteFileA(copy.c_str());
}

} // namespace
