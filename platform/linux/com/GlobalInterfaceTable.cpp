// The global interface table. All threads of a process share one address space
// and no proxies are needed, so the table keeps the interface pointer itself and
// hands out new references to it.
#include "platform/linux/com/BuiltinComClasses.h"

#include <map>
#include <mutex>

namespace comrt {

namespace {

class GlobalInterfaceTable final : public IGlobalInterfaceTable {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IGlobalInterfaceTable) {
            *ppv = static_cast<IGlobalInterfaceTable*>(this);
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    // The table lives as long as the process.
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    HRESULT STDMETHODCALLTYPE RegisterInterfaceInGlobal(IUnknown* pUnk, REFIID riid, DWORD* pdwCookie) override
    {
        if (!pUnk || !pdwCookie)
            return E_INVALIDARG;
        *pdwCookie = 0;
        IUnknown* held = nullptr;
        HRESULT hr = pUnk->QueryInterface(riid, reinterpret_cast<void**>(&held));
        if (FAILED(hr))
            return hr;
        std::lock_guard lock(m_mutex);
        DWORD cookie = m_nextCookie++;
        m_entries[cookie] = held;
        *pdwCookie = cookie;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE RevokeInterfaceFromGlobal(DWORD dwCookie) override
    {
        IUnknown* held;
        {
            std::lock_guard lock(m_mutex);
            auto found = m_entries.find(dwCookie);
            if (found == m_entries.end())
                return E_INVALIDARG;
            held = found->second;
            m_entries.erase(found);
        }
        held->Release(); // outside the lock: the object may call back into the table
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE GetInterfaceFromGlobal(DWORD dwCookie, REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_INVALIDARG;
        *ppv = nullptr;
        IUnknown* held;
        {
            std::lock_guard lock(m_mutex);
            auto found = m_entries.find(dwCookie);
            if (found == m_entries.end())
                return E_INVALIDARG;
            held = found->second;
            held->AddRef(); // keeps it alive against a concurrent revoke
        }
        HRESULT hr = held->QueryInterface(riid, ppv);
        held->Release();
        return hr;
    }

private:
    std::mutex m_mutex;
    std::map<DWORD, IUnknown*> m_entries;
    DWORD m_nextCookie = 0x100;
};

} // namespace

HRESULT createGlobalInterfaceTable(IUnknown* outer, REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (outer)
        return CLASS_E_NOAGGREGATION;
    static auto* table = new GlobalInterfaceTable; // never destroyed: entries may outlive static teardown
    return table->QueryInterface(riid, ppv);
}

} // namespace comrt
