#include "server/SelfRegistration.h"

#include "server/TypeLibraryRegistration.h"

HRESULT updateComponentCategories(REFCLSID, const CategoryMapEntry* pCategories, BOOL)
{
    if (pCategories == nullptr || pCategories->kind == CATEGORY_MAP_END)
        return S_OK;
    // No class of this module declares categories, so the platform's category
    // manager is never needed.
    return E_NOTIMPL;
}

namespace {

const CategoryMapEntry* categoriesOf(const ClassEntry& entry)
{
    return entry.pfnGetCategoryMap != nullptr ? entry.pfnGetCategoryMap() : nullptr;
}

} // namespace

// Class keys first, then the type library; a failure leaves the earlier steps' work in place.
HRESULT CClassTable::registerServer(BOOL bRegisterTypeLibrary)
{
    HRESULT hr = S_OK;
    for (ClassEntry** pp = m_ppEntriesBegin; pp < m_ppEntriesEnd; ++pp) {
        if (*pp == nullptr)
            continue;
        hr = (*pp)->pfnUpdateRegistry(TRUE);
        if (FAILED(hr))
            return hr;
        hr = updateComponentCategories(*(*pp)->pClsid, categoriesOf(**pp), TRUE);
        if (FAILED(hr))
            return hr;
    }
    if (bRegisterTypeLibrary)
        hr = registerTypeLibrary(m_hTypeLibraryModule);
    return hr;
}

// The class keys go before the type library registration.
HRESULT CClassTable::unregisterServer(BOOL bUnregisterTypeLibrary)
{
    HRESULT hr = S_OK;
    for (ClassEntry** pp = m_ppEntriesBegin; pp < m_ppEntriesEnd; ++pp) {
        if (*pp == nullptr)
            continue;
        hr = updateComponentCategories(*(*pp)->pClsid, categoriesOf(**pp), FALSE);
        if (FAILED(hr))
            return hr;
        hr = (*pp)->pfnUpdateRegistry(FALSE);
        if (FAILED(hr))
            return hr;
    }
    if (bUnregisterTypeLibrary)
        hr = unregisterTypeLibrary(m_hTypeLibraryModule);
    return FAILED(hr) ? hr : S_OK;
}
