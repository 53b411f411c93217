#include "server/StandaloneInstance.h"

#include "server/ServerModule.h"

#include <new>

// Written over the count of a dying object, so that a late call on it is recognisable.
static constexpr LONG kDestroyedCount = static_cast<LONG>(0xC0000001u);

CStandaloneInstance::CStandaloneInstance()
{
    g_pServerModule->lock();
}

HRESULT CStandaloneInstance::QueryInterface(REFIID riid, void** ppv)
{
    return queryInterfaceFromTable(this, s_interfaces, riid, ppv);
}

ULONG CStandaloneInstance::AddRef()
{
    return static_cast<ULONG>(++m_nRefCount);
}

ULONG CStandaloneInstance::Release()
{
    LONG count = --m_nRefCount;
    if (count == 0)
        destroy();
    return static_cast<ULONG>(count);
}

// The capture session is not torn down here: the host calls destroyCapture first.
void CStandaloneInstance::destroy()
{
    m_nRefCount = kDestroyedCount;
    g_pServerModule->unlock();
    delete this;
}

HRESULT CStandaloneInstance::create(REFIID riid, void** ppv)
{
    if (ppv == nullptr)
        return E_POINTER;
    *ppv = nullptr;
    auto* pInstance = new (std::nothrow) CStandaloneInstance;
    if (pInstance == nullptr)
        return E_OUTOFMEMORY;
    HRESULT hr = pInstance->QueryInterface(riid, ppv);
    if (hr != S_OK) {
        *ppv = nullptr;
        pInstance->destroy();
        return hr;
    }
    return S_OK;
}
