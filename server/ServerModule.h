// The server module record: lock count, shutdown hooks, module lock.
#pragma once

#include "helpers/CriticalSectionInit.h"
#include "platform/Unknown.h"
#include "registry/IRegistryVariables.h"

#include <cstddef>

using ShutdownCallback = void (*)(DWORD_PTR argument);

struct ShutdownHook {
    ShutdownCallback pfnCallback;
    DWORD_PTR argument;
    ShutdownHook* pNext;
};
static_assert(offsetof(ShutdownHook, pfnCallback) == 0 &&
                  offsetof(ShutdownHook, pfnCallback) < offsetof(ShutdownHook, argument) &&
                  offsetof(ShutdownHook, argument) < offsetof(ShutdownHook, pNext),
              "ShutdownHook keeps its field order");

class CServerModule {
public:
    CServerModule();
    virtual ~CServerModule();
    CServerModule(const CServerModule&) = delete;
    CServerModule& operator=(const CServerModule&) = delete;

    // Atomic; each returns the new count. There is no floor at 0.
    virtual LONG lock();
    virtual LONG unlock();
    virtual LONG getLockCount();
    // The process's global interface table, made on first use; one AddRef per call.
    virtual HRESULT getGlobalInterfaceTable(IGlobalInterfaceTable** ppGIT);
    // Adds the module-wide registration variables (APPID) to a registry runner.
    virtual HRESULT addCommonVariables(IRegistryVariables* pVariables);

    // Pushes a hook that terminate() runs, newest first. E_OUTOFMEMORY leaves the list as it was.
    HRESULT addShutdownHook(ShutdownCallback pfnCallback, DWORD_PTR argument);
    // Runs and frees the shutdown hooks, releases the global interface table and
    // deletes the module lock. Later calls do nothing.
    void terminate();

    LONG m_nLive;
    LONG volatile m_nLockCount;
    ShutdownHook* m_pShutdownHooks;
    // Re-entrant: the class information load holds it while adding its hook.
    CSafeCriticalSection m_csModule;
    IGlobalInterfaceTable* m_pGIT;
};

extern CServerModule* g_pServerModule;
// The module's type library id, copied here by the CServerModule constructor.
extern GUID g_typeLibraryId;
