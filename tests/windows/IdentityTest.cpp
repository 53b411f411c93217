// The object's COM identity as a host meets it through the platform's COM
// runtime: creation by ProgID, the QueryInterface rules, class information,
// aggregation, and the module's lock count seen through DllCanUnloadNow.
#include "tests/windows/WindowsTestSupport.h"

#include <gtest/gtest.h>

using namespace wintest;

namespace {

typedef HRESULT(STDAPICALLTYPE* CanUnloadNowFn)();

// DllCanUnloadNow of the MORVEN.ocx the COM runtime loaded into this process.
CanUnloadNowFn canUnloadNow()
{
    return moduleExport<CanUnloadNowFn>(GetModuleHandleA("MORVEN.ocx"), "DllCanUnloadNow");
}

// An outer object that counts the references its inner object forwards to it.
class Outer : public IUnknown {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (iid != IID_IUnknown)
            return E_NOINTERFACE;
        *out = this;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++refs); }
    ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(--refs); }

    LONG refs = 1;
};

TEST(WindowsIdentity, CreatedByProgIdAnswersOnlyItsInterfacesWithOneIdentityAndItsClassInfo)
{
    WINTEST_REQUIRE_REGISTRATION();
    Apartment com;
    ASSERT_EQ(com.result(), S_OK);

    CLSID clsid{};
    ASSERT_EQ(CLSIDFromProgID(L"" MORVEN_PROGID, &clsid), S_OK);
    EXPECT_TRUE(clsid == CLSID_CCMORVENProc);
    ASSERT_EQ(CLSIDFromProgID(L"" MORVEN_VERSION_INDEPENDENT_PROGID, &clsid), S_OK);
    EXPECT_TRUE(clsid == CLSID_CCMORVENProc);

    Ref<ICMORVENProc> object;
    ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_ICMORVENProc, object.outVoid()), S_OK);
    ASSERT_TRUE(object);

    // IUnknown is the ICMORVENProc pointer; IProvideClassInfo the next vtable pointer.
    Ref<IUnknown> unknown;
    ASSERT_EQ(object->QueryInterface(IID_IUnknown, unknown.outVoid()), S_OK);
    EXPECT_EQ(static_cast<void*>(unknown.get()), static_cast<void*>(object.get()));
    Ref<IProvideClassInfo> classInfo;
    ASSERT_EQ(object->QueryInterface(IID_IProvideClassInfo, classInfo.outVoid()), S_OK);
    EXPECT_EQ(reinterpret_cast<char*>(classInfo.get()), reinterpret_cast<char*>(object.get()) + sizeof(void*));
    Ref<ICMORVENProc> back;
    ASSERT_EQ(classInfo->QueryInterface(IID_ICMORVENProc, back.outVoid()), S_OK);
    EXPECT_EQ(back.get(), object.get());
    ASSERT_EQ(classInfo->QueryInterface(IID_IUnknown, unknown.outVoid()), S_OK);
    EXPECT_EQ(static_cast<void*>(unknown.get()), static_cast<void*>(object.get()));

    for (const IID& iid : {IID_IDispatch, IID_IClassFactory, IID_IPersist}) {
        void* none = reinterpret_cast<void*>(1);
        EXPECT_EQ(object->QueryInterface(iid, &none), E_NOINTERFACE) << guidText(iid);
        EXPECT_EQ(none, nullptr);
    }
    EXPECT_EQ(object->QueryInterface(IID_IUnknown, nullptr), E_POINTER);
    Ref<IDispatch> dispatch;
    EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, dispatch.outVoid()),
              E_NOINTERFACE);

    // The class information is the coclass, the same object on every call.
    EXPECT_EQ(classInfo->GetClassInfo(nullptr), E_POINTER);
    Ref<ITypeInfo> info, again;
    ASSERT_EQ(classInfo->GetClassInfo(info.out()), S_OK);
    ASSERT_EQ(classInfo->GetClassInfo(again.out()), S_OK);
    EXPECT_EQ(info.get(), again.get());
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
    EXPECT_TRUE(attr->guid == CLSID_CCMORVENProc) << guidText(attr->guid);
    EXPECT_EQ(attr->typekind, TKIND_COCLASS);
    info->ReleaseTypeAttr(attr);
    Bstr name;
    ASSERT_EQ(info->GetDocumentation(MEMBERID_NIL, name.out(), nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(name.str(), L"CCMORVENProc");
}

TEST(WindowsIdentity, ModuleStaysLoadedWhileObjectsFactoriesOrServerLocksAreHeld)
{
    WINTEST_REQUIRE_REGISTRATION();
    Apartment com;
    Ref<IClassFactory> factory;
    ASSERT_EQ(CoGetClassObject(CLSID_CCMORVENProc, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                               factory.outVoid()),
              S_OK);
    const CanUnloadNowFn canUnload = canUnloadNow();
    ASSERT_NE(canUnload, nullptr) << "MORVEN.ocx is not loaded or exports no DllCanUnloadNow";
    EXPECT_EQ(canUnload(), S_FALSE) << "a client holds the class object";

    // An instance holds the module; a failed creation leaves the count as it was.
    {
        Ref<ICMORVENProc> object;
        ASSERT_EQ(factory->CreateInstance(nullptr, IID_ICMORVENProc, object.outVoid()), S_OK);
        Ref<IClassFactory> notAnInstance;
        EXPECT_EQ(factory->CreateInstance(nullptr, IID_IClassFactory, notAnInstance.outVoid()), E_NOINTERFACE);
        EXPECT_EQ(factory->CreateInstance(nullptr, IID_ICMORVENProc, nullptr), E_POINTER);
        factory.reset();
        EXPECT_EQ(canUnload(), S_FALSE) << "an instance is alive";
        object->AddRef();
        EXPECT_EQ(object->Release(), 1u);
    }
    EXPECT_EQ(canUnload(), S_OK) << "everything was released";

    // LockServer(TRUE) outlives the client's reference to the class object.
    ASSERT_EQ(CoGetClassObject(CLSID_CCMORVENProc, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                               factory.outVoid()),
              S_OK);
    ASSERT_EQ(factory->LockServer(TRUE), S_OK);
    factory.reset();
    EXPECT_EQ(canUnload(), S_FALSE) << "the server is locked";
    ASSERT_EQ(CoGetClassObject(CLSID_CCMORVENProc, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                               factory.outVoid()),
              S_OK);
    ASSERT_EQ(factory->LockServer(FALSE), S_OK);
    factory.reset();
    EXPECT_EQ(canUnload(), S_OK) << "the lock was given back";
}

TEST(WindowsIdentity, AggregatedInstanceForwardsToItsOuterObject)
{
    WINTEST_REQUIRE_REGISTRATION();
    Apartment com;
    Ref<IClassFactory> factory;
    ASSERT_EQ(CoGetClassObject(CLSID_CCMORVENProc, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                               factory.outVoid()),
              S_OK);
    Outer outer;
    Ref<ICMORVENProc> refused;
    EXPECT_EQ(factory->CreateInstance(&outer, IID_ICMORVENProc, refused.outVoid()), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(refused.get(), nullptr);

    Ref<IUnknown> inner;
    ASSERT_EQ(factory->CreateInstance(&outer, IID_IUnknown, inner.outVoid()), S_OK);
    ASSERT_TRUE(inner);
    EXPECT_NE(static_cast<void*>(inner.get()), static_cast<void*>(&outer));
    EXPECT_EQ(outer.refs, 1) << "the inner object keeps no reference to its outer object";
    {
        Ref<ICMORVENProc> proc;
        ASSERT_EQ(inner->QueryInterface(IID_ICMORVENProc, proc.outVoid()), S_OK);
        EXPECT_EQ(outer.refs, 2) << "the interface's reference is the outer object's";
        EXPECT_EQ(proc->AddRef(), 3u);
        EXPECT_EQ(proc->Release(), 2u);
        Ref<IUnknown> identity;
        ASSERT_EQ(proc->QueryInterface(IID_IUnknown, identity.outVoid()), S_OK);
        EXPECT_EQ(identity.get(), static_cast<IUnknown*>(&outer));
        Ref<IProvideClassInfo> classInfo;
        EXPECT_EQ(inner->QueryInterface(IID_IProvideClassInfo, classInfo.outVoid()), S_OK);
    }
    EXPECT_EQ(outer.refs, 1);
    factory.reset();
    const CanUnloadNowFn canUnload = canUnloadNow();
    ASSERT_NE(canUnload, nullptr);
    EXPECT_EQ(canUnload(), S_FALSE) << "the aggregated instance is alive";
    inner.reset();
    EXPECT_EQ(canUnload(), S_OK);
}

} // namespace
