#include "server/InterfaceTable.h"

namespace {

HRESULT handOut(void* pObject, const InterfaceEntry& entry, void** ppv)
{
    auto* pUnknown = reinterpret_cast<IUnknown*>(static_cast<BYTE*>(pObject) + entry.dwOffset);
    pUnknown->AddRef();
    *ppv = pUnknown;
    return S_OK;
}

} // namespace

HRESULT queryInterfaceFromTable(void* pObject, const InterfaceEntry* pEntries, REFIID riid, void** ppv)
{
    if (ppv == nullptr)
        return E_POINTER;
    *ppv = nullptr;
    if (IsEqualIID(riid, IID_IUnknown))
        return handOut(pObject, pEntries[0], ppv);
    for (const InterfaceEntry* pEntry = pEntries; pEntry->piid != nullptr; ++pEntry) {
        if (IsEqualIID(riid, *pEntry->piid))
            return handOut(pObject, *pEntry, ppv);
    }
    return E_NOINTERFACE;
}
