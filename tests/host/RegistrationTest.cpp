// Registration as the platform does it: the keys the module writes under
// HKEY_CLASSES_ROOT, what a second registration and an unregistration leave,
// and the class information that depends on the registered library.
#include "tests/host/HostTestSupport.h"

#include <algorithm>

namespace host {
namespace {

const std::string kClassKey = "CLSID\\" + guidText(CLSID_CCMORVENProc);
const std::string kTypeLibKey = "TypeLib\\" + guidText(LIBID_MORVEN);
const std::string kOtherClassKey = "CLSID\\{0B1C2D3E-4F50-6172-8394-A5B6C7D8E9F0}";
const std::string kFriendlyName = "CCMORVENProc Object";

// The library's help string as its bytes are stored (code page 936).
const char kLibraryHelpBytes[] = "MORVEN 1.0 \xC0\xE0\xD0\xCD\xBF\xE2";

std::vector<std::string> sorted(std::vector<std::string> names)
{
    std::sort(names.begin(), names.end());
    return names;
}

bool sameFile(const std::optional<std::string>& registered, const std::string& path)
{
    return registered && lstrcmpiA(registered->c_str(), path.c_str()) == 0;
}

void expectClassKeys()
{
    const std::string clsid = guidText(CLSID_CCMORVENProc);
    EXPECT_EQ(stringValue(HKEY_CLASSES_ROOT, MORVEN_PROGID), kFriendlyName);
    EXPECT_EQ(stringValue(HKEY_CLASSES_ROOT, MORVEN_PROGID "\\CLSID"), clsid);
    EXPECT_EQ(stringValue(HKEY_CLASSES_ROOT, MORVEN_VERSION_INDEPENDENT_PROGID), kFriendlyName);
    EXPECT_EQ(stringValue(HKEY_CLASSES_ROOT, MORVEN_VERSION_INDEPENDENT_PROGID "\\CLSID"), clsid);
    EXPECT_EQ(stringValue(HKEY_CLASSES_ROOT, MORVEN_VERSION_INDEPENDENT_PROGID "\\CurVer"), MORVEN_PROGID);

    EXPECT_EQ(stringValue(HKEY_CLASSES_ROOT, kClassKey), kFriendlyName);
    EXPECT_EQ(stringValue(HKEY_CLASSES_ROOT, kClassKey, "AppID"), "");
    EXPECT_EQ(stringValue(HKEY_CLASSES_ROOT, kClassKey + "\\ProgID"), MORVEN_PROGID);
    EXPECT_EQ(stringValue(HKEY_CLASSES_ROOT, kClassKey + "\\VersionIndependentProgID"),
              MORVEN_VERSION_INDEPENDENT_PROGID);
    EXPECT_EQ(stringValue(HKEY_CLASSES_ROOT, kClassKey + "\\TypeLib"), guidText(LIBID_MORVEN));
    const std::optional<std::string> server = stringValue(HKEY_CLASSES_ROOT, kClassKey + "\\InprocServer32");
    EXPECT_TRUE(sameFile(server, modulePath())) << server.value_or("<none>") << " is not " << modulePath();
    EXPECT_EQ(stringValue(HKEY_CLASSES_ROOT, kClassKey + "\\InprocServer32", "ThreadingModel"), "apartment");

    // Exactly these: no AppID key, no component categories.
    EXPECT_EQ(sorted(valueNames(HKEY_CLASSES_ROOT, kClassKey)), (std::vector<std::string>{"", "AppID"}));
    EXPECT_EQ(sorted(subKeyNames(HKEY_CLASSES_ROOT, kClassKey)),
              (std::vector<std::string>{"InprocServer32", "ProgID", "Programmable", "TypeLib",
                                        "VersionIndependentProgID"}));
    EXPECT_TRUE(subKeyNames(HKEY_CLASSES_ROOT, kClassKey + "\\Programmable").empty());
    EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, "AppID\\" + guidText(CLSID_CCMORVENProc)));
    EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, "Component Categories\\" + guidText(CLSID_CCMORVENProc)));
}

void expectTypeLibraryKeys()
{
    // Read back in the process's code page, as the platform stored what it read.
    const std::optional<std::string> help = stringValue(HKEY_CLASSES_ROOT, kTypeLibKey + "\\1.0");
    ASSERT_TRUE(help) << "no help string under " << kTypeLibKey << "\\1.0";
    EXPECT_EQ(widen(*help), storedHelpText(kLibraryHelpBytes)) << printable(widen(*help));
    const std::string platformKey = kTypeLibKey + (libraryPointerSize() == 8 ? "\\1.0\\409\\win64" : "\\1.0\\409\\win32");
    const std::optional<std::string> path = stringValue(HKEY_CLASSES_ROOT, platformKey);
    EXPECT_TRUE(sameFile(path, modulePath())) << "the library's path under " << platformKey << ": "
                                              << path.value_or("<none>");
    EXPECT_TRUE(keyExists(HKEY_CLASSES_ROOT, kTypeLibKey + "\\1.0\\FLAGS"));
    EXPECT_TRUE(keyExists(HKEY_CLASSES_ROOT, kTypeLibKey + "\\1.0\\HELPDIR"));
    // The interface is neither dual nor automation: no Interface key is written for it.
    EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, "Interface\\" + guidText(IID_ICMORVENProc)));

    Ref<ITypeLib> library;
    EXPECT_EQ(LoadRegTypeLib(LIBID_MORVEN, 1, 0, 0x409, library.out()), S_OK);
}

void expectNothingRegistered()
{
    EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, MORVEN_PROGID));
    EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, MORVEN_VERSION_INDEPENDENT_PROGID));
    EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, kClassKey));
    EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, kTypeLibKey));
    EXPECT_TRUE(keyExists(HKEY_CLASSES_ROOT, "CLSID"));
    Ref<ITypeLib> library;
    EXPECT_EQ(LoadRegTypeLib(LIBID_MORVEN, 1, 0, 0x409, library.out()), TYPE_E_LIBNOTREGISTERED);
}

// Leaves the module registered for the tests that follow, however a test ends.
struct RegisteredAgainAtEnd {
    ~RegisteredAgainAtEnd() { runRegistrationProgram(false); }
};

TEST(Registration, WritesTheClassAndLibraryKeysRebuildsThemAndUnregisteringRemovesThem)
{
    HOST_REQUIRE_REGISTRATION();
    RegisteredAgainAtEnd registeredAgain;
    expectClassKeys();
    expectTypeLibraryKeys();

    // A second registration rebuilds the class key: what was added by hand goes.
    ASSERT_TRUE(testkit::writeString(HKEY_CLASSES_ROOT, kClassKey, "HandMade", "x"));
    ASSERT_TRUE(testkit::writeString(HKEY_CLASSES_ROOT, kClassKey + "\\Programmable\\Stray", nullptr, "x"));
    ASSERT_EQ(runRegistrationProgram(false), "");
    EXPECT_EQ(stringValue(HKEY_CLASSES_ROOT, kClassKey, "HandMade"), std::nullopt);
    EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, kClassKey + "\\Programmable\\Stray"));
    expectClassKeys();
    expectTypeLibraryKeys();

    // Another server's class shares the CLSID key and survives.
    ASSERT_TRUE(testkit::writeString(HKEY_CLASSES_ROOT, kOtherClassKey + "\\InprocServer32", nullptr, "other.dll"));
    ASSERT_EQ(runRegistrationProgram(true), "");
    expectNothingRegistered();
    EXPECT_EQ(stringValue(HKEY_CLASSES_ROOT, kOtherClassKey + "\\InprocServer32"), "other.dll");
    CLSID clsid{};
    EXPECT_EQ(CLSIDFromProgID(OLESTR("MORVEN.CMORVENProc"), &clsid), CO_E_CLASSSTRING);

    // Nothing left to unregister: the class keys are already gone, and the
    // platform refuses to unregister a library that is not registered.
    EXPECT_NE(runRegistrationProgram(true), "");
    {
        LoadedModule module(modulePath());
        ASSERT_TRUE(module.loaded());
        EXPECT_EQ(module.unregisterServer(), E_INVALIDARG);
        expectNothingRegistered();
        EXPECT_EQ(stringValue(HKEY_CLASSES_ROOT, kOtherClassKey + "\\InprocServer32"), "other.dll");

        // And back.
        ASSERT_EQ(module.registerServer(), S_OK);
        expectClassKeys();
        expectTypeLibraryKeys();
    }
    EXPECT_EQ(RegDeleteTreeA(HKEY_CLASSES_ROOT, kOtherClassKey.c_str()), ERROR_SUCCESS);
}

TEST(Registration, ClassInfoFailsUntilTheLibraryIsRegisteredAndIsRetriedAfterwards)
{
    HOST_REQUIRE_REGISTRATION();
    Apartment com;
    RegisteredAgainAtEnd registeredAgain;
    ASSERT_EQ(runRegistrationProgram(true), "");

    // The class cannot be found through the registry now: use the module's own
    // export, from a copy, so that no class information the module other tests
    // loaded into this process may have cached answers.
    const std::string copy = scratchFolder() + "MORVEN-classinfo-test.ocx";
    ASSERT_TRUE(copyFile(modulePath(), copy)) << copy;
    {
        LoadedModule module(copy);
        ASSERT_TRUE(module.loaded()) << copy;
        Ref<IClassFactory> factory;
        ASSERT_EQ(module.getClassObject(CLSID_CCMORVENProc, IID_IClassFactory, factory.outVoid()), S_OK);
        Ref<IProvideClassInfo> object;
        ASSERT_EQ(factory->CreateInstance(nullptr, IID_IProvideClassInfo, object.outVoid()), S_OK);

        ITypeInfo* info = reinterpret_cast<ITypeInfo*>(1);
        EXPECT_EQ(object->GetClassInfo(&info), TYPE_E_LIBNOTREGISTERED);
        EXPECT_EQ(info, nullptr);
        EXPECT_EQ(object->GetClassInfo(nullptr), E_POINTER);

        ASSERT_EQ(runRegistrationProgram(false), "");
        // Registered under the library's own locale only, which a neutral-locale
        // lookup does not reach: the class information must look there too.
        Ref<ITypeLib> neutral;
        EXPECT_EQ(LoadRegTypeLib(LIBID_MORVEN, 1, 0, 0, neutral.out()), TYPE_E_LIBNOTREGISTERED);

        // The failure was not kept: the same object finds the library now.
        Ref<ITypeInfo> first;
        ASSERT_EQ(object->GetClassInfo(first.out()), S_OK);
        TYPEATTR* attr = nullptr;
        ASSERT_EQ(first->GetTypeAttr(&attr), S_OK);
        EXPECT_TRUE(attr->guid == CLSID_CCMORVENProc) << guidText(attr->guid);
        EXPECT_EQ(attr->typekind, TKIND_COCLASS);
        first->ReleaseTypeAttr(attr);
        Bstr name;
        ASSERT_EQ(first->GetDocumentation(MEMBERID_NIL, name.out(), nullptr, nullptr, nullptr), S_OK);
        EXPECT_EQ(name.str(), OLESTR("CCMORVENProc"));

        // Every call hands out the one cached object with one more reference.
        Ref<ITypeInfo> second;
        ASSERT_EQ(object->GetClassInfo(second.out()), S_OK);
        EXPECT_EQ(second.get(), first.get());
        const ULONG references = first->AddRef();
        first->Release();
        Ref<ITypeInfo> third;
        ASSERT_EQ(object->GetClassInfo(third.out()), S_OK);
        EXPECT_EQ(third->AddRef(), references + 1);
        third->Release();

        // Another instance, and the aggregated form, share it.
        Ref<IProvideClassInfo> another;
        ASSERT_EQ(factory->CreateInstance(nullptr, IID_IProvideClassInfo, another.outVoid()), S_OK);
        Ref<ITypeInfo> fromAnother;
        ASSERT_EQ(another->GetClassInfo(fromAnother.out()), S_OK);
        EXPECT_EQ(fromAnother.get(), first.get());
        StubOuter outer;
        Ref<IUnknown> inner;
        ASSERT_EQ(factory->CreateInstance(&outer, IID_IUnknown, inner.outVoid()), S_OK);
        IProvideClassInfo* contained = nullptr;
        ASSERT_EQ(inner->QueryInterface(IID_IProvideClassInfo, reinterpret_cast<void**>(&contained)), S_OK);
        Ref<ITypeInfo> fromContained;
        ASSERT_EQ(contained->GetClassInfo(fromContained.out()), S_OK);
        EXPECT_EQ(fromContained.get(), first.get());
        contained->Release(); // the outer object's reference
        inner.reset();

        object.reset();
        another.reset();
        factory.reset();
        first.reset();
        second.reset();
        third.reset();
        fromAnother.reset();
        fromContained.reset();
        EXPECT_EQ(module.canUnloadNow(), S_OK);
    }
    removeFile(copy);
}

} // namespace
} // namespace host
