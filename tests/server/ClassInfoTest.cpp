// IProvideClassInfo: the coclass's type information from the registered type library.
#include "platform/TypeLib.h"
#include "tests/server/ServerTestSupport.h"

#include <gtest/gtest.h>

using namespace servertest;

namespace {

// Set by the build when the type library is embedded in the module.
#ifdef SERVER_TEST_TYPELIB_EMBEDDED

std::u16string widePath(const std::string& path)
{
    return std::u16string(path.begin(), path.end()); // build paths are ASCII
}

class ClassInfo : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(CoInitialize(nullptr) >= 0, true);
        factory.attach(module.classFactory());
        ASSERT_NE(factory.get(), nullptr);
    }

    void TearDown() override
    {
        if (registered) {
            UnRegisterTypeLib(LIBID_MORVEN, 1, 0, 0x409, SYS_WIN32);
        }
        CoUninitialize();
    }

    void registerTypeLibrary()
    {
        std::u16string path = widePath(modulePath());
        ITypeLib* pTypeLib = nullptr;
        ASSERT_EQ(LoadTypeLib(path.c_str(), &pTypeLib), S_OK);
        std::u16string helpDir = path.substr(0, path.find_last_of(u'/') + 1);
        std::u16string mutablePath = path;
        ASSERT_EQ(RegisterTypeLib(pTypeLib, mutablePath.data(), helpDir.data()), S_OK);
        pTypeLib->Release();
        registered = true;
    }

    ScratchRegistry registry;
    LoadedModule module;
    Ref<IClassFactory> factory;
    bool registered = false;
};

TEST_F(ClassInfo, FailsBeforeTheTypeLibraryIsRegisteredAndWorksAfter)
{
    Ref<IProvideClassInfo> classInfo;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IProvideClassInfo, classInfo.outVoid()), S_OK);
    ITypeInfo* pTypeInfo = reinterpret_cast<ITypeInfo*>(1);
    HRESULT hr = classInfo->GetClassInfo(&pTypeInfo);
    EXPECT_TRUE(FAILED(hr)) << std::hex << hr;
    EXPECT_EQ(pTypeInfo, nullptr);
    EXPECT_EQ(classInfo->GetClassInfo(nullptr), E_POINTER);

    registerTypeLibrary();
    // Registered under the library's own locale only, where a neutral-locale
    // lookup does not reach: the class information must look there too.
    ITypeLib* pNeutral = nullptr;
    ASSERT_EQ(LoadRegTypeLib(LIBID_MORVEN, 1, 0, 0, &pNeutral), TYPE_E_LIBNOTREGISTERED);

    // A failed load is not remembered: the same instance now finds it.
    ITypeInfo* pFirst = nullptr;
    ASSERT_EQ(classInfo->GetClassInfo(&pFirst), S_OK);
    ASSERT_NE(pFirst, nullptr);
    TYPEATTR* pAttr = nullptr;
    ASSERT_EQ(pFirst->GetTypeAttr(&pAttr), S_OK);
    EXPECT_EQ(pAttr->guid, CLSID_CCMORVENProc);
    EXPECT_EQ(pAttr->typekind, TKIND_COCLASS);
    pFirst->ReleaseTypeAttr(pAttr);

    // Every call hands out the one cached object with one more reference.
    ITypeInfo* pSecond = nullptr;
    ASSERT_EQ(classInfo->GetClassInfo(&pSecond), S_OK);
    EXPECT_EQ(pSecond, pFirst);
    ULONG references = pFirst->AddRef() - 1;
    pFirst->Release();
    ITypeInfo* pThird = nullptr;
    ASSERT_EQ(classInfo->GetClassInfo(&pThird), S_OK);
    EXPECT_EQ(pThird, pFirst);
    EXPECT_EQ(pThird->AddRef(), references + 2); // one from GetClassInfo, one from this AddRef
    pThird->Release();
    pThird->Release();
    pSecond->Release();
    pFirst->Release();
}

TEST_F(ClassInfo, SharedByEveryInstanceAndTheAggregatedForm)
{
    registerTypeLibrary();
    Ref<IProvideClassInfo> standalone;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IProvideClassInfo, standalone.outVoid()), S_OK);
    Ref<ITypeInfo> fromStandalone;
    ASSERT_EQ(standalone->GetClassInfo(fromStandalone.out()), S_OK);

    CountingOuter outer;
    Ref<IUnknown> inner;
    ASSERT_EQ(factory->CreateInstance(&outer, IID_IUnknown, inner.outVoid()), S_OK);
    IProvideClassInfo* pContained = nullptr;
    ASSERT_EQ(inner->QueryInterface(IID_IProvideClassInfo, reinterpret_cast<void**>(&pContained)), S_OK);
    Ref<ITypeInfo> fromContained;
    ASSERT_EQ(pContained->GetClassInfo(fromContained.out()), S_OK);
    EXPECT_EQ(fromContained.get(), fromStandalone.get());
    pContained->Release();
}

#else

TEST(ClassInfo, NeedsTheEmbeddedTypeLibrary)
{
    GTEST_SKIP() << "the module carries no type library yet (the build has no morven_embed_type_library)";
}

#endif

} // namespace
