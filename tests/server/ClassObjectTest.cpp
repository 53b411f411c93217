// DllGetClassObject, the cached class object and the module lock it holds.
#include "platform/linux/ComRtExtensions.h"
#include "tests/server/ServerTestSupport.h"

#include <gtest/gtest.h>

using namespace servertest;

namespace {

class ClassObject : public ::testing::Test {
protected:
    ~ClassObject() override { ComRtFailCriticalSections(0, 0, 0); }

    LoadedModule module;
};

TEST_F(ClassObject, ModuleCanUnloadRightAfterLoad)
{
    EXPECT_EQ(module.canUnloadNow(), S_OK);
}

TEST_F(ClassObject, ClientHoldLocksTheModuleUntilItsLastRelease)
{
    IClassFactory* pFactory = module.classFactory();
    ASSERT_NE(pFactory, nullptr);
    EXPECT_EQ(module.canUnloadNow(), S_FALSE);
    EXPECT_EQ(pFactory->AddRef(), 3u);
    EXPECT_EQ(pFactory->Release(), 2u);
    EXPECT_EQ(module.canUnloadNow(), S_FALSE);
    // The class table's own reference stays: the count goes back to 1, not 0.
    EXPECT_EQ(pFactory->Release(), 1u);
    EXPECT_EQ(module.canUnloadNow(), S_OK);

    Ref<IClassFactory> again;
    again.attach(module.classFactory());
    EXPECT_EQ(again.get(), pFactory);
}

TEST_F(ClassObject, TwoRequestsGetTheSameObject)
{
    Ref<IClassFactory> first, second;
    first.attach(module.classFactory());
    second.attach(module.classFactory());
    ASSERT_NE(first.get(), nullptr);
    EXPECT_EQ(first.get(), second.get());

    Ref<IUnknown> unknown;
    ASSERT_EQ(module.getClassObject(CLSID_CCMORVENProc, IID_IUnknown, unknown.outVoid()), S_OK);
    EXPECT_EQ(static_cast<IUnknown*>(first.get()), unknown.get());
}

TEST_F(ClassObject, OtherClassIdMakesNothing)
{
    // Armed so that any class object creation would fail; an unmatched id must not use it.
    ComRtFailCriticalSections(0, 1, STATUS_NO_MEMORY);
    void* pv = reinterpret_cast<void*>(1);
    EXPECT_EQ(module.getClassObject(IID_ICMORVENProc, IID_IClassFactory, &pv), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(pv, nullptr);
    EXPECT_EQ(module.canUnloadNow(), S_OK);
    EXPECT_EQ(module.getClassObject(CLSID_CCMORVENProc, IID_IClassFactory, &pv), E_OUTOFMEMORY);
    EXPECT_EQ(pv, nullptr);
}

TEST_F(ClassObject, NullOutPointer)
{
    EXPECT_EQ(module.getClassObject(CLSID_CCMORVENProc, IID_IClassFactory, nullptr), E_POINTER);
}

TEST_F(ClassObject, MissingInterfaceLeavesTheObjectCachedAndTheCountAlone)
{
    void* pv = reinterpret_cast<void*>(1);
    EXPECT_EQ(module.getClassObject(CLSID_CCMORVENProc, IID_IClassFactory2, &pv), E_NOINTERFACE);
    EXPECT_EQ(pv, nullptr);
    EXPECT_EQ(module.canUnloadNow(), S_OK);

    // Already made: the next request needs no new critical section.
    ComRtFailCriticalSections(0, 1, STATUS_NO_MEMORY);
    Ref<IClassFactory> factory;
    EXPECT_EQ(module.getClassObject(CLSID_CCMORVENProc, IID_IClassFactory, factory.outVoid()), S_OK);
    EXPECT_NE(factory.get(), nullptr);
}

TEST_F(ClassObject, FailedCreationIsRetriedOnTheNextRequest)
{
    void* pv = reinterpret_cast<void*>(1);
    ComRtFailCriticalSections(0, 1, STATUS_NO_MEMORY); // its object lock
    EXPECT_EQ(module.getClassObject(CLSID_CCMORVENProc, IID_IClassFactory, &pv), E_OUTOFMEMORY);
    EXPECT_EQ(pv, nullptr);
    ComRtFailCriticalSections(1, 1, 0xC0000005u); // its cache lock, with another failure
    EXPECT_EQ(module.getClassObject(CLSID_CCMORVENProc, IID_IClassFactory, &pv), E_OUTOFMEMORY);
    EXPECT_EQ(pv, nullptr);
    ComRtFailCriticalSections(0, 0, 0);
    EXPECT_EQ(module.canUnloadNow(), S_OK);

    Ref<IClassFactory> factory;
    EXPECT_EQ(module.getClassObject(CLSID_CCMORVENProc, IID_IClassFactory, factory.outVoid()), S_OK);
    EXPECT_NE(factory.get(), nullptr);
}

TEST_F(ClassObject, LockServerCountsBothWaysAndMayGoNegative)
{
    IClassFactory* pFactory = module.classFactory();
    ASSERT_NE(pFactory, nullptr);
    pFactory->Release(); // the count is 0 again; the object stays cached

    EXPECT_EQ(pFactory->LockServer(TRUE), S_OK);
    EXPECT_EQ(module.canUnloadNow(), S_FALSE);
    EXPECT_EQ(pFactory->LockServer(FALSE), S_OK);
    EXPECT_EQ(module.canUnloadNow(), S_OK);

    EXPECT_EQ(pFactory->LockServer(FALSE), S_OK);
    EXPECT_EQ(module.canUnloadNow(), S_FALSE);
    EXPECT_EQ(pFactory->LockServer(TRUE), S_OK);
    EXPECT_EQ(module.canUnloadNow(), S_OK);
}

TEST_F(ClassObject, AnswersOnlyIUnknownAndIClassFactory)
{
    Ref<IClassFactory> factory;
    factory.attach(module.classFactory());
    ASSERT_NE(factory.get(), nullptr);
    Ref<IUnknown> unknown;
    EXPECT_EQ(factory->QueryInterface(IID_IUnknown, unknown.outVoid()), S_OK);
    EXPECT_EQ(unknown.get(), static_cast<IUnknown*>(factory.get()));
    void* pv = reinterpret_cast<void*>(1);
    EXPECT_EQ(factory->QueryInterface(IID_IDispatch, &pv), E_NOINTERFACE);
    EXPECT_EQ(pv, nullptr);
    EXPECT_EQ(factory->QueryInterface(IID_IUnknown, nullptr), E_POINTER);
}

} // namespace
