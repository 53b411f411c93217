// How long the module stays: DllCanUnloadNow while objects, class objects or
// server locks are held, and the one class object its export hands out.
#include "tests/host/HostTestSupport.h"

namespace host {
namespace {

// MORVEN.ocx as the COM runtime loaded it into this process, reached through
// its exports; the class object is obtained first, which loads it.
class Lifetime : public ::testing::Test {
protected:
    void SetUp() override
    {
        HOST_REQUIRE_REGISTRATION();
        ASSERT_EQ(CoGetClassObject(CLSID_CCMORVENProc, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                                   m_factory.outVoid()),
                  S_OK);
        m_module = std::make_unique<LoadedModule>(modulePath());
        ASSERT_TRUE(m_module->loaded()) << modulePath();
    }

    HRESULT canUnloadNow() const { return m_module->canUnloadNow(); }

    Apartment m_com;
    Ref<IClassFactory> m_factory;
    std::unique_ptr<LoadedModule> m_module;
};

TEST_F(Lifetime, ModuleStaysWhileObjectsClassObjectsOrServerLocksAreHeld)
{
    EXPECT_EQ(canUnloadNow(), S_FALSE) << "a client holds the class object";

    // An instance holds the module; a failed creation leaves the count as it was.
    {
        Ref<ICMORVENProc> object;
        ASSERT_EQ(m_factory->CreateInstance(nullptr, IID_ICMORVENProc, object.outVoid()), S_OK);
        Ref<IClassFactory> notAnInstance;
        EXPECT_EQ(m_factory->CreateInstance(nullptr, IID_IClassFactory, notAnInstance.outVoid()), E_NOINTERFACE);
        m_factory.reset();
        EXPECT_EQ(canUnloadNow(), S_FALSE) << "an instance is alive";
    }
    EXPECT_EQ(canUnloadNow(), S_OK) << "everything was released";

    // An aggregated instance holds it too; a refused aggregation does not.
    ASSERT_EQ(CoGetClassObject(CLSID_CCMORVENProc, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                               m_factory.outVoid()),
              S_OK);
    StubOuter outer;
    Ref<ICMORVENProc> refused;
    EXPECT_EQ(m_factory->CreateInstance(&outer, IID_ICMORVENProc, refused.outVoid()), CLASS_E_NOAGGREGATION);
    Ref<IUnknown> inner;
    m_factory.reset();
    EXPECT_EQ(canUnloadNow(), S_OK) << "the refused aggregation left a lock";
    ASSERT_EQ(CoGetClassObject(CLSID_CCMORVENProc, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                               m_factory.outVoid()),
              S_OK);
    ASSERT_EQ(m_factory->CreateInstance(&outer, IID_IUnknown, inner.outVoid()), S_OK);
    m_factory.reset();
    EXPECT_EQ(canUnloadNow(), S_FALSE) << "the aggregated instance is alive";
    inner.reset();
    EXPECT_EQ(canUnloadNow(), S_OK);

    // LockServer(TRUE) outlives the client's reference to the class object.
    ASSERT_EQ(CoGetClassObject(CLSID_CCMORVENProc, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                               m_factory.outVoid()),
              S_OK);
    ASSERT_EQ(m_factory->LockServer(TRUE), S_OK);
    m_factory.reset();
    EXPECT_EQ(canUnloadNow(), S_FALSE) << "the server is locked";
    ASSERT_EQ(CoGetClassObject(CLSID_CCMORVENProc, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                               m_factory.outVoid()),
              S_OK);
    ASSERT_EQ(m_factory->LockServer(FALSE), S_OK);
    m_factory.reset();
    EXPECT_EQ(canUnloadNow(), S_OK) << "the lock was given back";
}

TEST_F(Lifetime, LockCountGoesBothWaysAndMayGoBelowZero)
{
    EXPECT_EQ(m_factory->LockServer(TRUE), S_OK);
    EXPECT_EQ(m_factory->LockServer(FALSE), S_OK);
    EXPECT_EQ(canUnloadNow(), S_FALSE) << "the client's hold on the class object";

    // Two unmatched unlocks take the count to -1 with the client's hold
    // included, so a single instance brings it to exactly 0.
    EXPECT_EQ(m_factory->LockServer(FALSE), S_OK);
    EXPECT_EQ(m_factory->LockServer(FALSE), S_OK);
    ICMORVENProc* proc = nullptr;
    ASSERT_EQ(m_factory->CreateInstance(nullptr, IID_ICMORVENProc, reinterpret_cast<void**>(&proc)), S_OK);
    EXPECT_EQ(canUnloadNow(), S_OK);
    EXPECT_EQ(proc->Release(), 0u);
    EXPECT_EQ(canUnloadNow(), S_FALSE);
    EXPECT_EQ(m_factory->LockServer(TRUE), S_OK);
    EXPECT_EQ(m_factory->LockServer(TRUE), S_OK);
    m_factory.reset();
    EXPECT_EQ(canUnloadNow(), S_OK);
}

TEST_F(Lifetime, ExportHandsOutTheOneClassObjectWhoseLastClientReleaseFreesTheModule)
{
    m_factory.reset();
    EXPECT_EQ(canUnloadNow(), S_OK);

    IClassFactory* factory = nullptr;
    ASSERT_EQ(m_module->getClassObject(CLSID_CCMORVENProc, IID_IClassFactory, reinterpret_cast<void**>(&factory)),
              S_OK);
    ASSERT_NE(factory, nullptr);
    EXPECT_EQ(canUnloadNow(), S_FALSE);
    // The module keeps a reference of its own: the client's last release gives 1, not 0.
    EXPECT_EQ(factory->AddRef(), 3u);
    EXPECT_EQ(factory->Release(), 2u);
    EXPECT_EQ(canUnloadNow(), S_FALSE);
    EXPECT_EQ(factory->Release(), 1u);
    EXPECT_EQ(canUnloadNow(), S_OK);

    Ref<IClassFactory> again;
    ASSERT_EQ(m_module->getClassObject(CLSID_CCMORVENProc, IID_IClassFactory, again.outVoid()), S_OK);
    EXPECT_EQ(again.get(), factory);
    Ref<IUnknown> unknown;
    ASSERT_EQ(m_module->getClassObject(CLSID_CCMORVENProc, IID_IUnknown, unknown.outVoid()), S_OK);
    EXPECT_EQ(unknown.get(), static_cast<IUnknown*>(factory));

    // The class object answers IUnknown and IClassFactory only.
    void* none = reinterpret_cast<void*>(1);
    EXPECT_EQ(again->QueryInterface(IID_IDispatch, &none), E_NOINTERFACE);
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(again->QueryInterface(IID_IUnknown, nullptr), E_POINTER);

    // Another class, another interface, no out pointer: nothing is handed out.
    none = reinterpret_cast<void*>(1);
    EXPECT_EQ(m_module->getClassObject(IID_ICMORVENProc, IID_IClassFactory, &none), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(none, nullptr);
    none = reinterpret_cast<void*>(1);
    EXPECT_EQ(m_module->getClassObject(CLSID_CCMORVENProc, IID_IClassFactory2, &none), E_NOINTERFACE);
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(m_module->getClassObject(CLSID_CCMORVENProc, IID_IClassFactory, nullptr), E_POINTER);

    again.reset();
    unknown.reset();
    EXPECT_EQ(canUnloadNow(), S_OK);
}

} // namespace
} // namespace host
