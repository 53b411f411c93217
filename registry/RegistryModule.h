// What a registry runner needs of the module it registers. The server
// implements it and hands it to the runner, so registry/ never reads the
// module's own records.
#pragma once

#include "platform/Types.h"

struct IRegistryVariables;

class RegistryModule {
public:
    // The module's load address; null stands for the running program.
    virtual HMODULE moduleHandle() const = 0;
    virtual const GUID& typeLibraryId() const = 0;
    // Adds the module-wide registration variables after the standard ones.
    virtual HRESULT addCommonVariables(IRegistryVariables* pVariables) const = 0;

protected:
    ~RegistryModule() = default;
};
