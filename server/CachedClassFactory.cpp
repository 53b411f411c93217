#include "server/CachedClassFactory.h"

#include "helpers/AtlException.h"
#include "server/ServerModule.h"

#include <new>

const InterfaceEntry CCachedClassFactory::s_interfaces[] = {
    {&IID_IClassFactory, 0},
    {nullptr, 0},
};

CCachedClassFactory::CCachedClassFactory()
    : m_nRefCount(0), m_csObject{}, m_pfnCreateInstance(nullptr), m_csCache{}
{
    m_csObject.createOrThrow();
    try {
        m_csCache.createOrThrow();
    } catch (...) {
        m_csObject.destroy();
        throw;
    }
}

CCachedClassFactory::~CCachedClassFactory()
{
    m_csCache.destroy();
    m_csObject.destroy();
}

HRESULT CCachedClassFactory::QueryInterface(REFIID riid, void** ppv)
{
    return queryInterfaceFromTable(this, s_interfaces, riid, ppv);
}

ULONG CCachedClassFactory::AddRef()
{
    m_csCache.enter();
    LONG count = InterlockedIncrement(&m_nRefCount);
    if (count == 2)
        g_pServerModule->lock();
    m_csCache.leave();
    return static_cast<ULONG>(count);
}

ULONG CCachedClassFactory::Release()
{
    m_csCache.enter();
    InterlockedDecrement(&m_nRefCount);
    LONG count = m_nRefCount;
    m_csCache.leave();
    if (count == 0) {
        // Only the class table's final release gets here, at module teardown.
        delete this;
        return 0;
    }
    if (count == 1)
        g_pServerModule->unlock();
    return static_cast<ULONG>(count);
}

HRESULT CCachedClassFactory::CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppv)
{
    if (ppv == nullptr)
        return E_POINTER;
    *ppv = nullptr;
    // An outer object may only ask for the inner IUnknown.
    if (pUnkOuter != nullptr && !IsEqualIID(riid, IID_IUnknown))
        return CLASS_E_NOAGGREGATION;
    return m_pfnCreateInstance(pUnkOuter, riid, ppv);
}

HRESULT CCachedClassFactory::LockServer(BOOL fLock)
{
    if (fLock)
        g_pServerModule->lock();
    else
        g_pServerModule->unlock();
    return S_OK;
}

HRESULT createClassObject(InstanceCreator pfnCreateInstance, REFIID riid, void** ppv)
{
    if (ppv == nullptr)
        return E_POINTER;
    *ppv = nullptr;
    CCachedClassFactory* pFactory = nullptr;
    try {
        pFactory = new (std::nothrow) CCachedClassFactory;
    } catch (const CAtlException&) {
        pFactory = nullptr;
    }
    if (pFactory == nullptr)
        return E_OUTOFMEMORY;
    pFactory->m_pfnCreateInstance = pfnCreateInstance;
    HRESULT hr = pFactory->QueryInterface(riid, ppv);
    if (hr != S_OK) {
        *ppv = nullptr;
        delete pFactory;
        return hr;
    }
    return S_OK;
}
