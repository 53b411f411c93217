// CCMORVENProc's class keys, written and removed by the module's compiled
// registry program.
#include "registry/RegistryRunner.h"
#include "registry/ServerRegistrationProgram.h"
#include "server/AtlException.h"
#include "server/SelfRegistration.h"

HRESULT updateRegistryCMORVENProc(BOOL bRegister)
{
    try {
        RegistryRunner runner;
        HRESULT hr = runner.AddStandardVariables();
        if (SUCCEEDED(hr)) {
            runner.SetVariableA("FriendlyName", "CCMORVENProc Object");
            hr = runner.RunProgram(g_serverRegistrationProgram, bRegister);
        }
        return hr;
    } catch (const CAtlException& e) {
        return e.m_hr;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}
