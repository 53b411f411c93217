#include "server/ClassTable.h"

#include "server/InitFailedFlag.h"
#include "server/ModuleInstance.h"

CClassTable::CClassTable()
    : m_nLive(1), m_hTypeLibraryModule(g_moduleInstance.m_hInstance), m_ppEntriesBegin(g_classEntries),
      m_ppEntriesEnd(g_classEntries + sizeof(g_classEntries) / sizeof(g_classEntries[0])), m_csClassTable{}
{
    if (FAILED(m_csClassTable.create()))
        g_bInitFailed = true;
}

CClassTable::~CClassTable()
{
    terminate();
}

HRESULT CClassTable::getClassObject(REFCLSID rclsid, REFIID riid, void** ppv)
{
    if (m_nLive == 0)
        return E_UNEXPECTED;
    if (ppv == nullptr)
        return E_POINTER;
    *ppv = nullptr;

    ClassEntry* pEntry = nullptr;
    for (ClassEntry** pp = m_ppEntriesBegin; pp < m_ppEntriesEnd; ++pp) {
        if (*pp != nullptr && (*pp)->pfnCreateClassObject != nullptr && IsEqualCLSID(rclsid, *(*pp)->pClsid)) {
            pEntry = *pp;
            break;
        }
    }
    if (pEntry == nullptr)
        return CLASS_E_CLASSNOTAVAILABLE;

    HRESULT hr = S_OK;
    if (pEntry->pCachedClassObject == nullptr) {
        // The first creation is serialised; later requests read the cache without the lock.
        m_csClassTable.enter();
        if (pEntry->pCachedClassObject == nullptr)
            hr = pEntry->pfnCreateClassObject(pEntry->pfnCreateInstance, IID_IUnknown,
                                              reinterpret_cast<void**>(&pEntry->pCachedClassObject));
        m_csClassTable.leave();
    }
    if (pEntry->pCachedClassObject != nullptr)
        hr = pEntry->pCachedClassObject->QueryInterface(riid, ppv);
    if (*ppv == nullptr && hr == S_OK)
        return CLASS_E_CLASSNOTAVAILABLE;
    return hr;
}

void CClassTable::terminate()
{
    if (m_nLive == 0)
        return;
    for (ClassEntry** pp = m_ppEntriesBegin; pp < m_ppEntriesEnd; ++pp) {
        if (*pp != nullptr && (*pp)->pCachedClassObject != nullptr) {
            (*pp)->pCachedClassObject->Release();
            (*pp)->pCachedClassObject = nullptr;
        }
    }
    m_csClassTable.destroy();
    m_nLive = 0;
}
