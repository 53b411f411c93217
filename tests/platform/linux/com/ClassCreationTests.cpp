// Creating registered classes: the InprocServer32 path, the module kept loaded
// until CoFreeUnusedLibraries, and the platform's errors.
#include "platform/Com.h"
#include "platform/Kernel.h"
#include "tests/platform/linux/TestServer.h"
#include "tests/support/RegistryReads.h"
#include "tests/support/ScratchFiles.h"
#include "tests/support/ScratchRegistry.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// {0F0E0D0C-0B0A-4909-8807-060504030201}: registered in some tests, served by nobody.
constexpr GUID kOtherClsid = {0x0F0E0D0C, 0x0B0A, 0x4909, {0x88, 0x07, 0x06, 0x05, 0x04, 0x03, 0x02, 0x01}};

// HKEY_CLASSES_ROOT\<subKey> with a default string value.
bool setDefault(const std::string& subKey, const std::string& value)
{
    return testkit::writeString(HKEY_CLASSES_ROOT, subKey, nullptr, value);
}

std::string serverKey(REFCLSID clsid)
{
    OLECHAR wide[CHARS_IN_GUID];
    StringFromGUID2(clsid, wide, CHARS_IN_GUID);
    std::string text(wide, wide + CHARS_IN_GUID - 1);
    return "CLSID\\" + text + "\\InprocServer32";
}

class ClassCreation : public ::testing::Test {
protected:
    void SetUp() override
    {
        setenv(kMarkerVariable, marker_.c_str(), 1);
        ASSERT_TRUE(setDefault(serverKey(kTestServerClsid), TEST_SERVER_PATH));
        ASSERT_EQ(S_OK, CoInitialize(nullptr));
    }
    void TearDown() override
    {
        CoFreeUnusedLibraries();
        CoUninitialize();
        unsetenv(kMarkerVariable);
    }

    HRESULT create(REFCLSID clsid, IUnknown** object, DWORD context = CLSCTX_INPROC_SERVER)
    {
        return CoCreateInstance(clsid, nullptr, context, IID_IUnknown, reinterpret_cast<void**>(object));
    }

    LONG liveObjects()
    {
        HMODULE server = GetModuleHandleA(TEST_SERVER_PATH);
        auto count = server ? reinterpret_cast<LiveObjectsFunction>(GetProcAddress(server, "TestServerLiveObjects"))
                            : nullptr;
        return count ? count() : -1;
    }

    testkit::ScratchRegistry registry_;
    std::string marker_ = registry_.directory().file("marker");
};

} // namespace

TEST_F(ClassCreation, CreatesFromTheRegisteredServerAndUnloadsItWhenUnused)
{
    IUnknown* first = nullptr;
    IUnknown* second = nullptr;
    ASSERT_EQ(S_OK, create(kTestServerClsid, &first));
    ASSERT_NE(nullptr, first);
    ASSERT_EQ(S_OK, create(kTestServerClsid, &second));
    EXPECT_EQ(2, liveObjects());

    CoFreeUnusedLibraries();
    EXPECT_NE(nullptr, GetModuleHandleA(TEST_SERVER_PATH)) << "objects are alive: the server stays";
    first->Release();
    second->Release();
    EXPECT_EQ(0, liveObjects());
    EXPECT_NE(nullptr, GetModuleHandleA(TEST_SERVER_PATH)) << "kept until CoFreeUnusedLibraries";

    CoFreeUnusedLibraries();
    EXPECT_EQ(nullptr, GetModuleHandleA(TEST_SERVER_PATH));
    EXPECT_EQ((std::vector<std::string>{"server construct", "server attach", "server detach", "server destruct"}),
              testkit::readLines(marker_))
        << "loaded once for both objects";

    // A later creation loads it again.
    ASSERT_EQ(S_OK, create(kTestServerClsid, &first));
    first->Release();
}

TEST_F(ClassCreation, ClassObjectIsTheServersOwn)
{
    IClassFactory* factory = nullptr;
    ASSERT_EQ(S_OK, CoGetClassObject(kTestServerClsid, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                                     reinterpret_cast<void**>(&factory)));
    IUnknown* object = nullptr;
    EXPECT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(&object)));
    EXPECT_EQ(1, liveObjects());
    object->Release();
    CoFreeUnusedLibraries();
    EXPECT_NE(nullptr, GetModuleHandleA(TEST_SERVER_PATH)) << "a held class object keeps the server";
    factory->Release();
}

TEST_F(ClassCreation, ErrorsForClassesThatCannotBeCreated)
{
    IUnknown* object = reinterpret_cast<IUnknown*>(0x1);
    EXPECT_EQ(REGDB_E_CLASSNOTREG, create(kOtherClsid, &object));
    EXPECT_EQ(nullptr, object);
    EXPECT_EQ(REGDB_E_CLASSNOTREG, create(kTestServerClsid, &object, CLSCTX_LOCAL_SERVER));

    // Registered, but the file is missing.
    ASSERT_TRUE(setDefault(serverKey(kOtherClsid), registry_.directory().file("missing.so")));
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND), create(kOtherClsid, &object));

    // Registered to a module without DllGetClassObject.
    ASSERT_TRUE(setDefault(serverKey(kOtherClsid), BARE_MODULE_PATH));
    EXPECT_EQ(CO_E_ERRORINDLL, create(kOtherClsid, &object));
    EXPECT_EQ(nullptr, GetModuleHandleA(BARE_MODULE_PATH)) << "a module that is no server is not kept";

    // Registered to a server that does not serve it.
    ASSERT_TRUE(setDefault(serverKey(kOtherClsid), TEST_SERVER_PATH));
    EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE, create(kOtherClsid, &object));
    EXPECT_EQ(nullptr, object);

    // Registered to a module whose DllMain refuses to load.
    ASSERT_TRUE(setDefault(serverKey(kOtherClsid), REFUSING_MODULE_PATH));
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_DLL_INIT_FAILED), create(kOtherClsid, &object));

    EXPECT_EQ(E_POINTER, CoCreateInstance(kTestServerClsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, nullptr));
}

TEST_F(ClassCreation, UninitialisedThreadIsRefused)
{
    HRESULT hr = S_OK;
    std::thread([&] {
        IUnknown* object = nullptr;
        hr = create(kTestServerClsid, &object);
    }).join();
    EXPECT_EQ(CO_E_NOTINITIALIZED, hr);
}

TEST_F(ClassCreation, ProgIdsNameRegisteredClasses)
{
    ASSERT_TRUE(setDefault("Platform.TestServer.1\\CLSID", "{b7a3c1d2-5e4f-4a6b-8c9d-0e1f2a3b4c5d}"));
    CLSID clsid{};
    EXPECT_EQ(S_OK, CLSIDFromProgID(u"platform.testserver.1", &clsid));
    EXPECT_EQ(kTestServerClsid, clsid);
    // A ProgID is accepted where a class string is expected.
    clsid = GUID_NULL;
    EXPECT_EQ(S_OK, CLSIDFromString(u"Platform.TestServer.1", &clsid));
    EXPECT_EQ(kTestServerClsid, clsid);

    EXPECT_EQ(CO_E_CLASSSTRING, CLSIDFromProgID(u"Platform.Unknown", &clsid));
    EXPECT_EQ(GUID_NULL, clsid);
    ASSERT_TRUE(setDefault("Platform.Broken\\CLSID", "not a class id"));
    EXPECT_EQ(CO_E_CLASSSTRING, CLSIDFromProgID(u"Platform.Broken", &clsid));
    EXPECT_EQ(E_INVALIDARG, CLSIDFromProgID(nullptr, &clsid));
}
