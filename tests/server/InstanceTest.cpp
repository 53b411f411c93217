// Instances of CCMORVENProc: identity, reference counts, aggregation and the
// module lock each one holds.
#include "tests/server/ServerTestSupport.h"

#include <gtest/gtest.h>

using namespace servertest;

namespace {

const IID kUnknownInterface = {0x12345678, 0x1234, 0x5678, {1, 2, 3, 4, 5, 6, 7, 8}};

class Instance : public ::testing::Test {
protected:
    void SetUp() override
    {
        factory.attach(module.classFactory());
        ASSERT_NE(factory.get(), nullptr);
    }

    // The class object's client hold is given back first, so that the module
    // lock count is the instances' alone.
    void dropFactory()
    {
        factory.reset();
    }

    LoadedModule module;
    Ref<IClassFactory> factory;
};

TEST_F(Instance, IdentityIsTheICMORVENProcPointer)
{
    Ref<ICMORVENProc> proc;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_ICMORVENProc, proc.outVoid()), S_OK);

    Ref<IUnknown> unknown;
    ASSERT_EQ(proc->QueryInterface(IID_IUnknown, unknown.outVoid()), S_OK);
    EXPECT_EQ(unknown.get(), static_cast<IUnknown*>(proc.get()));

    Ref<IProvideClassInfo> classInfo;
    ASSERT_EQ(proc->QueryInterface(IID_IProvideClassInfo, classInfo.outVoid()), S_OK);
    EXPECT_EQ(reinterpret_cast<char*>(classInfo.get()), reinterpret_cast<char*>(proc.get()) + sizeof(void*));

    // From the second interface back to the first, and to the same identity.
    Ref<ICMORVENProc> back;
    ASSERT_EQ(classInfo->QueryInterface(IID_ICMORVENProc, back.outVoid()), S_OK);
    EXPECT_EQ(back.get(), proc.get());
    Ref<IUnknown> unknownFromSecond;
    ASSERT_EQ(classInfo->QueryInterface(IID_IUnknown, unknownFromSecond.outVoid()), S_OK);
    EXPECT_EQ(unknownFromSecond.get(), unknown.get());
}

TEST_F(Instance, AnswersNothingElse)
{
    Ref<ICMORVENProc> proc;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_ICMORVENProc, proc.outVoid()), S_OK);
    for (const IID* iid : {&IID_IDispatch, &IID_IClassFactory, &kUnknownInterface}) {
        void* pv = reinterpret_cast<void*>(1);
        EXPECT_EQ(proc->QueryInterface(*iid, &pv), E_NOINTERFACE);
        EXPECT_EQ(pv, nullptr);
    }
    EXPECT_EQ(proc->QueryInterface(IID_IUnknown, nullptr), E_POINTER);
}

TEST_F(Instance, CountsReferencesAcrossBothInterfaces)
{
    ICMORVENProc* pProc = nullptr;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_ICMORVENProc, reinterpret_cast<void**>(&pProc)), S_OK);
    EXPECT_EQ(pProc->AddRef(), 2u);
    IProvideClassInfo* pClassInfo = nullptr;
    ASSERT_EQ(pProc->QueryInterface(IID_IProvideClassInfo, reinterpret_cast<void**>(&pClassInfo)), S_OK);
    EXPECT_EQ(pClassInfo->AddRef(), 4u);
    EXPECT_EQ(pClassInfo->Release(), 3u);
    EXPECT_EQ(pClassInfo->Release(), 2u);
    EXPECT_EQ(pProc->Release(), 1u);
    EXPECT_EQ(pProc->Release(), 0u);
}

TEST_F(Instance, EachLiveInstanceHoldsExactlyOneModuleLock)
{
    // Two unmatched unlocks take the count to -1 with the factory's hold
    // included, so a single instance brings it to exactly 0.
    factory->LockServer(FALSE);
    factory->LockServer(FALSE);
    ICMORVENProc* pProc = nullptr;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_ICMORVENProc, reinterpret_cast<void**>(&pProc)), S_OK);
    EXPECT_EQ(module.canUnloadNow(), S_OK);
    EXPECT_EQ(pProc->Release(), 0u);
    EXPECT_EQ(module.canUnloadNow(), S_FALSE);
    factory->LockServer(TRUE);
    factory->LockServer(TRUE);
    dropFactory();
    EXPECT_EQ(module.canUnloadNow(), S_OK);
}

TEST_F(Instance, RefusedInterfaceDestroysTheNewInstance)
{
    void* pv = reinterpret_cast<void*>(1);
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IClassFactory, &pv), E_NOINTERFACE);
    EXPECT_EQ(pv, nullptr);
    dropFactory();
    EXPECT_EQ(module.canUnloadNow(), S_OK);
}

TEST_F(Instance, NullOutPointer)
{
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_ICMORVENProc, nullptr), E_POINTER);
    CountingOuter outer;
    EXPECT_EQ(factory->CreateInstance(&outer, IID_IUnknown, nullptr), E_POINTER);
}

TEST_F(Instance, OuterObjectMayOnlyAskForIUnknown)
{
    CountingOuter outer;
    void* pv = reinterpret_cast<void*>(1);
    EXPECT_EQ(factory->CreateInstance(&outer, IID_ICMORVENProc, &pv), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(pv, nullptr);
    EXPECT_EQ(outer.addRefs + outer.releases + outer.queries, 0);
    dropFactory();
    EXPECT_EQ(module.canUnloadNow(), S_OK);
}

TEST_F(Instance, AggregatedInterfacesReachTheOuterObject)
{
    CountingOuter outer;
    IUnknown* pInner = nullptr;
    ASSERT_EQ(factory->CreateInstance(&outer, IID_IUnknown, reinterpret_cast<void**>(&pInner)), S_OK);
    ASSERT_NE(pInner, nullptr);
    EXPECT_EQ(outer.addRefs + outer.releases, 0);

    // The inner IUnknown is its own identity, not the outer one.
    IUnknown* pInnerAgain = nullptr;
    ASSERT_EQ(pInner->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&pInnerAgain)), S_OK);
    EXPECT_EQ(pInnerAgain, pInner);
    EXPECT_EQ(pInnerAgain->Release(), 1u);

    ICMORVENProc* pProc = nullptr;
    ASSERT_EQ(pInner->QueryInterface(IID_ICMORVENProc, reinterpret_cast<void**>(&pProc)), S_OK);
    ASSERT_NE(pProc, nullptr);
    EXPECT_NE(static_cast<IUnknown*>(pProc), pInner);
    EXPECT_EQ(outer.addRefs, 1); // the reference handed out is the outer object's

    EXPECT_EQ(pProc->AddRef(), 102u);
    EXPECT_EQ(pProc->Release(), 201u);
    EXPECT_EQ(pProc->Release(), 202u);
    void* pv = reinterpret_cast<void*>(1);
    EXPECT_EQ(pProc->QueryInterface(IID_IProvideClassInfo, &pv), E_NOINTERFACE);
    EXPECT_EQ(outer.queries, 1);
    EXPECT_EQ(outer.lastQueried, IID_IProvideClassInfo);

    IProvideClassInfo* pClassInfo = nullptr;
    ASSERT_EQ(pInner->QueryInterface(IID_IProvideClassInfo, reinterpret_cast<void**>(&pClassInfo)), S_OK);
    EXPECT_EQ(reinterpret_cast<char*>(pClassInfo), reinterpret_cast<char*>(pProc) + sizeof(void*));
    EXPECT_EQ(pClassInfo->AddRef(), 104u);
    EXPECT_EQ(pClassInfo->Release(), 203u);
    EXPECT_EQ(pClassInfo->QueryInterface(IID_ICMORVENProc, &pv), E_NOINTERFACE);
    EXPECT_EQ(outer.queries, 2);
    EXPECT_EQ(outer.lastQueried, IID_ICMORVENProc);

    EXPECT_EQ(pInner->QueryInterface(IID_IDispatch, &pv), E_NOINTERFACE);
    EXPECT_EQ(pv, nullptr);

    dropFactory();
    EXPECT_EQ(module.canUnloadNow(), S_FALSE);
    EXPECT_EQ(pInner->Release(), 0u);
    EXPECT_EQ(module.canUnloadNow(), S_OK);
}

// The capture record is reached from either form: a new object reports an
// empty geometry, leaves the data pointer alone and has nothing to tear down.
void expectIdleSession(ICMORVENProc* pProc)
{
    unsigned char marker = 0;
    MORImageStruct image = {7, 7, 7, 7, &marker};
    EXPECT_EQ(pProc->Grab(&image), S_OK);
    EXPECT_EQ(image.width, 0);
    EXPECT_EQ(image.height, 0);
    EXPECT_EQ(image.depth, 0);
    EXPECT_EQ(image.channels, 0);
    EXPECT_EQ(image.data, &marker);
    EXPECT_EQ(pProc->Grab(nullptr), S_OK);
    EXPECT_EQ(pProc->destroyCapture(), S_OK);
}

TEST_F(Instance, BothFormsServeTheCaptureMethods)
{
    Ref<ICMORVENProc> proc;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_ICMORVENProc, proc.outVoid()), S_OK);
    expectIdleSession(proc.get());

    CountingOuter outer;
    IUnknown* pInner = nullptr;
    ASSERT_EQ(factory->CreateInstance(&outer, IID_IUnknown, reinterpret_cast<void**>(&pInner)), S_OK);
    ICMORVENProc* pContained = nullptr;
    ASSERT_EQ(pInner->QueryInterface(IID_ICMORVENProc, reinterpret_cast<void**>(&pContained)), S_OK);
    expectIdleSession(pContained);
    pContained->Release();
    pInner->Release();
}

} // namespace
