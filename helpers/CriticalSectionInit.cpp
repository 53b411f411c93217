#include "helpers/CriticalSectionInit.h"

#include "helpers/AtlException.h"

HRESULT createCriticalSection(CRITICAL_SECTION* section)
{
    // The platform's plain initialiser raises an exception when it fails; this
    // form reports the failure instead.
    if (InitializeCriticalSectionAndSpinCount(section, 0))
        return S_OK;
    return GetLastError() == ERROR_NOT_ENOUGH_MEMORY ? E_OUTOFMEMORY : E_FAIL;
}

HRESULT CSafeCriticalSection::create()
{
    HRESULT hr = createCriticalSection(&m_section);
    m_bCreated = SUCCEEDED(hr);
    return hr;
}

void CSafeCriticalSection::createOrThrow()
{
    HRESULT hr = create();
    if (FAILED(hr))
        throwAtlException(hr);
}

void CSafeCriticalSection::destroy()
{
    if (m_bCreated) {
        m_bCreated = false;
        DeleteCriticalSection(&m_section);
    }
}
