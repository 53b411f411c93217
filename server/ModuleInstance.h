// The module-instance record: the library's own handle, fixed at load.
#pragma once

#include "helpers/CriticalSectionInit.h"

class CModuleInstance {
public:
    CModuleInstance();
    ~CModuleInstance();
    CModuleInstance(const CModuleInstance&) = delete;
    CModuleInstance& operator=(const CModuleInstance&) = delete;

    // The library's load address.
    HMODULE m_hInstance;
    // Created at load only to learn whether the system can give us one; never entered.
    CSafeCriticalSection m_csInstance;
};

extern CModuleInstance g_moduleInstance;
