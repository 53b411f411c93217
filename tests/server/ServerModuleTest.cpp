// The server module record: shutdown hooks, lock count, the global interface
// table and the module's registration variable.
#include "platform/Com.h"
#include "server/ServerModule.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// A server module of the test's own, so that its teardown can be watched.
class ServerModule : public ::testing::Test {
protected:
    ~ServerModule() override { g_pServerModule = m_pPrevious; }

    CServerModule* m_pPrevious = g_pServerModule;
};

std::vector<int> g_hooksRun;
void recordHook(DWORD_PTR argument)
{
    g_hooksRun.push_back(static_cast<int>(argument));
}

TEST_F(ServerModule, HooksRunNewestFirstAndOnlyOnce)
{
    g_hooksRun.clear();
    {
        CServerModule module;
        EXPECT_EQ(g_pServerModule, &module);
        EXPECT_EQ(g_typeLibraryId, (GUID{0x52BA1FC6, 0x03A4, 0x409D, {0x9C, 0x95, 0xEF, 0xB3, 0x69, 0xE2, 0xB5, 0x31}}));
        for (int i = 1; i <= 3; ++i)
            ASSERT_EQ(module.addShutdownHook(&recordHook, static_cast<DWORD_PTR>(i)), S_OK);
        module.terminate();
        EXPECT_EQ(g_hooksRun, (std::vector<int>{3, 2, 1}));
        EXPECT_EQ(module.m_nLive, 0);
        module.terminate();
    } // and the destructor's terminate does nothing either
    EXPECT_EQ(g_hooksRun, (std::vector<int>{3, 2, 1}));
}

TEST_F(ServerModule, LockCountHasNoFloor)
{
    CServerModule module;
    EXPECT_EQ(module.unlock(), -1);
    EXPECT_EQ(module.lock(), 0);
    EXPECT_EQ(module.lock(), 1);
    EXPECT_EQ(module.getLockCount(), 1);
}

TEST_F(ServerModule, NullOutPointers)
{
    CServerModule module;
    EXPECT_EQ(module.getGlobalInterfaceTable(nullptr), E_POINTER);
    EXPECT_EQ(module.addCommonVariables(nullptr), E_POINTER);
}

TEST_F(ServerModule, GlobalInterfaceTableIsMadeOnceAndCountedPerCall)
{
    ASSERT_GE(CoInitialize(nullptr), 0);
    CServerModule module;
    IGlobalInterfaceTable* pFirst = nullptr;
    IGlobalInterfaceTable* pSecond = nullptr;
    ASSERT_EQ(module.getGlobalInterfaceTable(&pFirst), S_OK);
    ASSERT_EQ(module.getGlobalInterfaceTable(&pSecond), S_OK);
    EXPECT_EQ(pFirst, pSecond);
    ASSERT_EQ(module.m_pGIT, pFirst);
    pSecond->Release();
    pFirst->Release();
    module.terminate(); // gives back the module's own reference
    EXPECT_EQ(module.m_pGIT, nullptr);
    CoUninitialize();
}

struct RecordingVariables : IRegistryVariables {
    std::vector<std::pair<std::u16string, std::u16string>> set;
    HRESULT answer = S_OK;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** ppv) override
    {
        *ppv = this;
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE SetVariable(LPCOLESTR name, LPCOLESTR value) override
    {
        set.emplace_back(name, value);
        return answer;
    }
    HRESULT STDMETHODCALLTYPE ClearVariables() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetVariableA(LPCSTR, LPCSTR) override { return E_UNEXPECTED; }
};

TEST_F(ServerModule, AddsAnEmptyAppIdAndPassesOnTheResult)
{
    CServerModule module;
    RecordingVariables variables;
    EXPECT_EQ(module.addCommonVariables(&variables), S_OK);
    ASSERT_EQ(variables.set.size(), 1u);
    EXPECT_EQ(variables.set[0].first, u"APPID");
    EXPECT_EQ(variables.set[0].second, u"");

    variables.answer = E_OUTOFMEMORY;
    EXPECT_EQ(module.addCommonVariables(&variables), E_OUTOFMEMORY);
}

} // namespace
