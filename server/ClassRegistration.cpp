// CCMORVENProc's class keys, written and removed by the module's compiled
// registry program.
#include "helpers/AtlException.h"
#include "registry/RegistryRunner.h"
#include "registry/ServerRegistrationProgram.h"
#include "server/ModuleInstance.h"
#include "server/SelfRegistration.h"
#include "server/ServerModule.h"

namespace {

// The module records, as the registry runner reads them.
class ModuleForRegistry final : public RegistryModule {
public:
    HMODULE moduleHandle() const override { return g_moduleInstance.m_hInstance; }
    const GUID& typeLibraryId() const override { return g_typeLibraryId; }
    HRESULT addCommonVariables(IRegistryVariables* pVariables) const override
    {
        if (g_pServerModule == nullptr)
            return E_UNEXPECTED;
        return g_pServerModule->addCommonVariables(pVariables);
    }
};

} // namespace

HRESULT updateRegistryCMORVENProc(BOOL bRegister)
{
    try {
        RegistryRunner runner;
        HRESULT hr = runner.AddStandardVariables(ModuleForRegistry());
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
