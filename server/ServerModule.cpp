#include "server/ServerModule.h"

#include "capture/MORVEN.h"
#include "platform/Com.h"
#include "server/ClassTable.h"
#include "server/InitFailedFlag.h"

#include <new>

CServerModule* g_pServerModule = nullptr;
GUID g_typeLibraryId = {};

namespace {

void notifyClasses(bool bStarting)
{
    for (ClassEntry** pp = g_classTable.m_ppEntriesBegin; pp < g_classTable.m_ppEntriesEnd; ++pp) {
        if (*pp != nullptr && (*pp)->pfnObjectMain != nullptr)
            (*pp)->pfnObjectMain(bStarting);
    }
}

} // namespace

// Set live before the module lock exists, so that teardown runs even when its creation fails.
CServerModule::CServerModule() : m_nLive(1), m_nLockCount(0), m_pShutdownHooks(nullptr), m_csModule{}, m_pGIT(nullptr)
{
    g_pServerModule = this;
    if (FAILED(m_csModule.create()))
        g_bInitFailed = true;
    g_typeLibraryId = LIBID_MORVEN;
    notifyClasses(true);
}

CServerModule::~CServerModule()
{
    notifyClasses(false);
    terminate();
}

LONG CServerModule::lock()
{
    return InterlockedIncrement(&m_nLockCount);
}

LONG CServerModule::unlock()
{
    return InterlockedDecrement(&m_nLockCount);
}

LONG CServerModule::getLockCount()
{
    return m_nLockCount;
}

HRESULT CServerModule::getGlobalInterfaceTable(IGlobalInterfaceTable** ppGIT)
{
    if (ppGIT == nullptr)
        return E_POINTER;
    if (m_pGIT == nullptr) {
        IGlobalInterfaceTable* pGIT = nullptr;
        HRESULT hr = CoCreateInstance(CLSID_StdGlobalInterfaceTable, nullptr, CLSCTX_INPROC_SERVER,
                                      IID_IGlobalInterfaceTable, reinterpret_cast<void**>(&pGIT));
        if (FAILED(hr))
            return hr;
        // Two first callers may race: keep one table, give the other back.
        if (InterlockedCompareExchangePointer(reinterpret_cast<void* volatile*>(&m_pGIT), pGIT, nullptr) != nullptr)
            pGIT->Release();
    }
    *ppGIT = m_pGIT;
    m_pGIT->AddRef();
    return S_OK;
}

HRESULT CServerModule::addCommonVariables(IRegistryVariables* pVariables)
{
    if (pVariables == nullptr)
        return E_POINTER;
    // This server runs in the client's process and has no AppID of its own.
    static const OLECHAR kAppIdName[] = {'A', 'P', 'P', 'I', 'D', 0};
    static const OLECHAR kEmpty[] = {0};
    return pVariables->SetVariable(kAppIdName, kEmpty);
}

HRESULT CServerModule::addShutdownHook(ShutdownCallback pfnCallback, DWORD_PTR argument)
{
    auto* pHook = new (std::nothrow) ShutdownHook{pfnCallback, argument, nullptr};
    if (pHook == nullptr)
        return E_OUTOFMEMORY;
    m_csModule.enter();
    pHook->pNext = m_pShutdownHooks;
    m_pShutdownHooks = pHook;
    m_csModule.leave();
    return S_OK;
}

void CServerModule::terminate()
{
    if (m_nLive == 0)
        return;
    // Unload runs on one thread after all other use has ended: no lock is needed here.
    ShutdownHook* pHook = m_pShutdownHooks;
    while (pHook != nullptr) {
        pHook->pfnCallback(pHook->argument);
        ShutdownHook* pNext = pHook->pNext;
        delete pHook;
        pHook = pNext;
    }
    m_pShutdownHooks = nullptr;
    if (m_pGIT != nullptr) {
        m_pGIT->Release();
        m_pGIT = nullptr;
    }
    m_csModule.destroy();
    m_nLive = 0;
}
