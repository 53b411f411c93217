#include "server/ClassInfoHolder.h"

#include "capture/MORVEN.h"
#include "platform/TypeLib.h"
#include "server/ServerModule.h"

CClassInfoHolder g_classInfoHolder = {&CLSID_CCMORVENProc, &g_typeLibraryId, 1, 0, nullptr};

namespace {
// The locale the type library is built and registered under. A lookup with the
// neutral locale does not find it on every system, so the load tries this next.
constexpr LCID kTypeLibraryLocale = 0x409;
} // namespace

HRESULT CClassInfoHolder::getClassInfo(LCID lcid, ITypeInfo** ppTypeInfo)
{
    if (ppTypeInfo == nullptr)
        return E_POINTER;
    HRESULT hr = S_OK;
    if (m_pTypeInfo == nullptr)
        hr = load(lcid);
    *ppTypeInfo = m_pTypeInfo;
    if (m_pTypeInfo != nullptr) {
        m_pTypeInfo->AddRef();
        return S_OK;
    }
    return hr;
}

HRESULT CClassInfoHolder::load(LCID lcid)
{
    CServerModule& module = *g_pServerModule;
    module.m_csModule.enter();
    HRESULT hr = S_OK;
    if (m_pTypeInfo == nullptr) {
        ITypeLib* pTypeLib = nullptr;
        hr = LoadRegTypeLib(*m_pTypeLibraryId, m_wMajorVersion, m_wMinorVersion, lcid, &pTypeLib);
        if (FAILED(hr) && lcid != kTypeLibraryLocale &&
            SUCCEEDED(LoadRegTypeLib(*m_pTypeLibraryId, m_wMajorVersion, m_wMinorVersion, kTypeLibraryLocale,
                                     &pTypeLib)))
            hr = S_OK;
        if (SUCCEEDED(hr)) {
            ITypeInfo* pTypeInfo = nullptr;
            hr = pTypeLib->GetTypeInfoOfGuid(*m_pClsid, &pTypeInfo);
            if (SUCCEEDED(hr)) {
                // Keep the ITypeInfo face of an ITypeInfo2 when the object has one.
                ITypeInfo* pKeep = pTypeInfo;
                ITypeInfo2* pTypeInfo2 = nullptr;
                if (SUCCEEDED(pTypeInfo->QueryInterface(IID_ITypeInfo2, reinterpret_cast<void**>(&pTypeInfo2)))) {
                    ITypeInfo* pFromTypeInfo2 = nullptr;
                    if (SUCCEEDED(pTypeInfo2->QueryInterface(IID_ITypeInfo,
                                                             reinterpret_cast<void**>(&pFromTypeInfo2)))) {
                        pKeep = pFromTypeInfo2;
                        pTypeInfo->Release();
                    }
                    pTypeInfo2->Release();
                }
                m_pTypeInfo = pKeep;
                // Takes the module lock again on this thread; a hook that cannot be
                // added only means the reference is never given back.
                module.addShutdownHook(&CClassInfoHolder::release, reinterpret_cast<DWORD_PTR>(this));
                hr = S_OK;
            }
            pTypeLib->Release();
        }
    }
    module.m_csModule.leave();
    return hr;
}

void CClassInfoHolder::release(DWORD_PTR holder)
{
    auto* pHolder = reinterpret_cast<CClassInfoHolder*>(holder);
    if (pHolder->m_pTypeInfo != nullptr) {
        pHolder->m_pTypeInfo->Release();
        pHolder->m_pTypeInfo = nullptr;
    }
}
