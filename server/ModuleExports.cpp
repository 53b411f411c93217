// The library's exported entry points.
#include "server/ClassTable.h"
#include "server/InitFailedFlag.h"
#include "server/ServerModule.h"

#ifdef _WIN32
#define MORVEN_EXPORT extern "C"
#else
#define MORVEN_EXPORT extern "C" __attribute__((visibility("default")))
#endif

// Refuses the process attach only when a module-wide critical section could not
// be made; thread notifications stay on and do nothing.
MORVEN_EXPORT BOOL WINAPI DllMain(HINSTANCE, DWORD dwReason, LPVOID)
{
    if (dwReason == DLL_PROCESS_ATTACH && g_bInitFailed)
        return FALSE;
    return TRUE;
}

MORVEN_EXPORT HRESULT STDAPICALLTYPE DllCanUnloadNow()
{
    return g_pServerModule->getLockCount() == 0 ? S_OK : S_FALSE;
}

MORVEN_EXPORT HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv)
{
    return g_classTable.getClassObject(rclsid, riid, ppv);
}

MORVEN_EXPORT HRESULT STDAPICALLTYPE DllRegisterServer()
{
    return g_classTable.registerServer(TRUE);
}

MORVEN_EXPORT HRESULT STDAPICALLTYPE DllUnregisterServer()
{
    return g_classTable.unregisterServer(TRUE);
}
