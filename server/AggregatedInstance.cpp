#include "server/AggregatedInstance.h"

#include "server/ServerModule.h"

#include <new>

// Written over the count of a dying object, so that a late call on it is recognisable.
static constexpr LONG kDestroyedCount = static_cast<LONG>(0xC0000001u);

CContainedObject::CContainedObject(IUnknown* pUnkOuter)
{
    m_pOuterUnknown = pUnkOuter;
}

HRESULT CContainedObject::QueryInterface(REFIID riid, void** ppv)
{
    return m_pOuterUnknown->QueryInterface(riid, ppv);
}

ULONG CContainedObject::AddRef()
{
    return m_pOuterUnknown->AddRef();
}

ULONG CContainedObject::Release()
{
    return m_pOuterUnknown->Release();
}

HRESULT CContainedObject::internalQueryInterface(REFIID riid, void** ppv)
{
    return queryInterfaceFromTable(this, s_interfaces, riid, ppv);
}

CAggregatedInstance::CAggregatedInstance(IUnknown* pUnkOuter) : m_nInnerRefCount(0), m_contained(pUnkOuter)
{
    g_pServerModule->lock();
}

HRESULT CAggregatedInstance::QueryInterface(REFIID riid, void** ppv)
{
    if (ppv == nullptr)
        return E_POINTER;
    *ppv = nullptr;
    if (IsEqualIID(riid, IID_IUnknown)) {
        AddRef();
        *ppv = static_cast<IUnknown*>(this);
        return S_OK;
    }
    return m_contained.internalQueryInterface(riid, ppv);
}

ULONG CAggregatedInstance::AddRef()
{
    return static_cast<ULONG>(++m_nInnerRefCount);
}

ULONG CAggregatedInstance::Release()
{
    LONG count = --m_nInnerRefCount;
    if (count == 0)
        destroy();
    return static_cast<ULONG>(count);
}

void CAggregatedInstance::destroy()
{
    m_nInnerRefCount = kDestroyedCount;
    g_pServerModule->unlock();
    delete this;
}

HRESULT CAggregatedInstance::create(IUnknown* pUnkOuter, REFIID riid, void** ppv)
{
    if (ppv == nullptr)
        return E_POINTER;
    *ppv = nullptr;
    auto* pInstance = new (std::nothrow) CAggregatedInstance(pUnkOuter);
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
