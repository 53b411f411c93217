// The class object when its critical sections cannot be made: nothing is
// cached or counted, and the next request tries again.
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

} // namespace
