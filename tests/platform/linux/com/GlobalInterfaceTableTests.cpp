// The built-in global interface table.
#include "platform/Com.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

struct CountedObject : IUnknown {
    ULONG references = 1;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        if (riid != IID_IUnknown) {
            *ppv = nullptr;
            return E_NOINTERFACE;
        }
        *ppv = this;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return __atomic_add_fetch(&references, 1, __ATOMIC_SEQ_CST); }
    ULONG STDMETHODCALLTYPE Release() override { return __atomic_sub_fetch(&references, 1, __ATOMIC_SEQ_CST); }
};

} // namespace

TEST(GlobalInterfaceTable, HoldsAReferenceUntilRevoked)
{
    ASSERT_EQ(S_OK, CoInitialize(nullptr));
    IGlobalInterfaceTable* table = nullptr;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_StdGlobalInterfaceTable, nullptr, CLSCTX_INPROC_SERVER,
                                     IID_IGlobalInterfaceTable, reinterpret_cast<void**>(&table)));
    IUnknown* aggregated = nullptr;
    CountedObject outer;
    EXPECT_EQ(CLASS_E_NOAGGREGATION, CoCreateInstance(CLSID_StdGlobalInterfaceTable, &outer, CLSCTX_INPROC_SERVER,
                                                      IID_IUnknown, reinterpret_cast<void**>(&aggregated)));

    CountedObject object;
    DWORD cookie = 0;
    ASSERT_EQ(S_OK, table->RegisterInterfaceInGlobal(&object, IID_IUnknown, &cookie));
    EXPECT_NE(0u, cookie);
    EXPECT_EQ(2u, object.references);

    IUnknown* fromOtherThread = nullptr;
    std::thread([&] {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        table->GetInterfaceFromGlobal(cookie, IID_IUnknown, reinterpret_cast<void**>(&fromOtherThread));
        CoUninitialize();
    }).join();
    EXPECT_EQ(&object, fromOtherThread);
    fromOtherThread->Release();

    IDispatch* missing = nullptr;
    EXPECT_EQ(E_NOINTERFACE, table->GetInterfaceFromGlobal(cookie, IID_IDispatch, reinterpret_cast<void**>(&missing)));
    EXPECT_EQ(S_OK, table->RevokeInterfaceFromGlobal(cookie));
    EXPECT_EQ(1u, object.references);
    EXPECT_EQ(E_INVALIDARG, table->RevokeInterfaceFromGlobal(cookie));
    EXPECT_EQ(E_INVALIDARG, table->GetInterfaceFromGlobal(cookie, IID_IUnknown, reinterpret_cast<void**>(&missing)));
    table->Release();
    CoUninitialize();
}
