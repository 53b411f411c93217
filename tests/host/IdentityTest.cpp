// The object's COM identity as a host meets it through the platform's COM
// runtime: creation by ProgID, the QueryInterface rules, reference counts
// across its two interfaces, and aggregation.
#include "tests/host/HostTestSupport.h"

namespace host {
namespace {

const IID kUnknownInterface = {0x12345678, 0x1234, 0x5678, {1, 2, 3, 4, 5, 6, 7, 8}};

// An outer object that counts what its inner object forwards to it.
struct CountingOuter : IUnknown {
    int addRefs = 0;
    int releases = 0;
    int queries = 0;
    IID lastQueried = {};

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        ++queries;
        lastQueried = iid;
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(100 + ++addRefs); }
    ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(200 + ++releases); }
};

Ref<IClassFactory> classFactory()
{
    Ref<IClassFactory> factory;
    EXPECT_EQ(CoGetClassObject(CLSID_CCMORVENProc, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                               factory.outVoid()),
              S_OK);
    return factory;
}

// A new object, from either form: an empty geometry, the data pointer left
// alone, nothing to tear down.
void expectIdleSession(ICMORVENProc* proc)
{
    unsigned char marker = 0;
    MORImageStruct image = {7, 7, 7, 7, &marker};
    EXPECT_EQ(proc->Grab(&image), S_OK);
    EXPECT_EQ(image.width, 0);
    EXPECT_EQ(image.height, 0);
    EXPECT_EQ(image.depth, 0);
    EXPECT_EQ(image.channels, 0);
    EXPECT_EQ(image.data, &marker);
    EXPECT_EQ(proc->Grab(nullptr), S_OK);
    EXPECT_EQ(proc->destroyCapture(), S_OK);
}

TEST(Identity, CreatedByProgIdAnswersOnlyItsInterfacesWithOneIdentity)
{
    HOST_REQUIRE_REGISTRATION();
    Apartment com;
    ASSERT_TRUE(SUCCEEDED(com.result()));

    CLSID clsid{};
    ASSERT_EQ(CLSIDFromProgID(OLESTR("MORVEN.CMORVENProc.1"), &clsid), S_OK);
    EXPECT_TRUE(clsid == CLSID_CCMORVENProc) << guidText(clsid);
    clsid = CLSID{};
    ASSERT_EQ(CLSIDFromProgID(OLESTR("MORVEN.CMORVENProc"), &clsid), S_OK);
    EXPECT_TRUE(clsid == CLSID_CCMORVENProc) << guidText(clsid);

    Ref<ICMORVENProc> object;
    ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_ICMORVENProc, object.outVoid()), S_OK);
    ASSERT_TRUE(object);
    expectIdleSession(object.get());

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
    Ref<IUnknown> unknownFromSecond;
    ASSERT_EQ(classInfo->QueryInterface(IID_IUnknown, unknownFromSecond.outVoid()), S_OK);
    EXPECT_EQ(unknownFromSecond.get(), unknown.get());

    for (const IID* iid : {&IID_IDispatch, &IID_IClassFactory, &kUnknownInterface}) {
        void* none = reinterpret_cast<void*>(1);
        EXPECT_EQ(object->QueryInterface(*iid, &none), E_NOINTERFACE) << guidText(*iid);
        EXPECT_EQ(none, nullptr);
    }
    EXPECT_EQ(object->QueryInterface(IID_IUnknown, nullptr), E_POINTER);
    Ref<IDispatch> dispatch;
    EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, dispatch.outVoid()),
              E_NOINTERFACE);
    EXPECT_EQ(dispatch.get(), nullptr);
}

TEST(Identity, CountsReferencesAcrossBothInterfaces)
{
    HOST_REQUIRE_REGISTRATION();
    Apartment com;
    Ref<IClassFactory> factory = classFactory();
    ASSERT_TRUE(factory);
    ICMORVENProc* proc = nullptr;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_ICMORVENProc, reinterpret_cast<void**>(&proc)), S_OK);
    EXPECT_EQ(proc->AddRef(), 2u);
    IProvideClassInfo* classInfo = nullptr;
    ASSERT_EQ(proc->QueryInterface(IID_IProvideClassInfo, reinterpret_cast<void**>(&classInfo)), S_OK);
    EXPECT_EQ(classInfo->AddRef(), 4u);
    EXPECT_EQ(classInfo->Release(), 3u);
    EXPECT_EQ(classInfo->Release(), 2u);
    EXPECT_EQ(proc->Release(), 1u);
    EXPECT_EQ(proc->Release(), 0u);

    // The factory refuses what an instance does not answer, and a missing out pointer.
    void* none = reinterpret_cast<void*>(1);
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IClassFactory, &none), E_NOINTERFACE);
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_ICMORVENProc, nullptr), E_POINTER);
    CountingOuter outer;
    EXPECT_EQ(factory->CreateInstance(&outer, IID_IUnknown, nullptr), E_POINTER);
}

TEST(Identity, AggregatedInstanceForwardsToItsOuterObject)
{
    HOST_REQUIRE_REGISTRATION();
    Apartment com;
    Ref<IClassFactory> factory = classFactory();
    ASSERT_TRUE(factory);

    // The outer object may ask only for IUnknown.
    CountingOuter outer;
    void* refused = reinterpret_cast<void*>(1);
    EXPECT_EQ(factory->CreateInstance(&outer, IID_ICMORVENProc, &refused), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(refused, nullptr);
    EXPECT_EQ(outer.addRefs + outer.releases + outer.queries, 0);

    IUnknown* inner = nullptr;
    ASSERT_EQ(factory->CreateInstance(&outer, IID_IUnknown, reinterpret_cast<void**>(&inner)), S_OK);
    ASSERT_NE(inner, nullptr);
    EXPECT_NE(static_cast<void*>(inner), static_cast<void*>(&outer));
    EXPECT_EQ(outer.addRefs + outer.releases, 0) << "the inner object keeps no reference to its outer object";

    // The inner IUnknown is its own identity, not the outer one.
    IUnknown* innerAgain = nullptr;
    ASSERT_EQ(inner->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&innerAgain)), S_OK);
    EXPECT_EQ(innerAgain, inner);
    EXPECT_EQ(innerAgain->Release(), 1u);

    ICMORVENProc* proc = nullptr;
    ASSERT_EQ(inner->QueryInterface(IID_ICMORVENProc, reinterpret_cast<void**>(&proc)), S_OK);
    ASSERT_NE(proc, nullptr);
    EXPECT_NE(static_cast<IUnknown*>(proc), inner);
    EXPECT_EQ(outer.addRefs, 1) << "the reference handed out is the outer object's";
    EXPECT_EQ(proc->AddRef(), 102u);
    EXPECT_EQ(proc->Release(), 201u);
    EXPECT_EQ(proc->Release(), 202u);
    void* none = reinterpret_cast<void*>(1);
    EXPECT_EQ(proc->QueryInterface(IID_IProvideClassInfo, &none), E_NOINTERFACE);
    EXPECT_EQ(outer.queries, 1);
    EXPECT_TRUE(outer.lastQueried == IID_IProvideClassInfo);
    expectIdleSession(proc);

    IProvideClassInfo* classInfo = nullptr;
    ASSERT_EQ(inner->QueryInterface(IID_IProvideClassInfo, reinterpret_cast<void**>(&classInfo)), S_OK);
    EXPECT_EQ(reinterpret_cast<char*>(classInfo), reinterpret_cast<char*>(proc) + sizeof(void*));
    EXPECT_EQ(classInfo->AddRef(), 104u);
    EXPECT_EQ(classInfo->Release(), 203u);
    EXPECT_EQ(classInfo->QueryInterface(IID_ICMORVENProc, &none), E_NOINTERFACE);
    EXPECT_EQ(outer.queries, 2);
    EXPECT_TRUE(outer.lastQueried == IID_ICMORVENProc);
    classInfo->Release();

    none = reinterpret_cast<void*>(1);
    EXPECT_EQ(inner->QueryInterface(IID_IDispatch, &none), E_NOINTERFACE);
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(inner->Release(), 0u);
}

} // namespace
} // namespace host
