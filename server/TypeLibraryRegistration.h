// The module's type library: found in the module file (or in a ".tlb" file
// beside it) and registered or unregistered with the platform.
#pragma once

#include "platform/TypeLib.h"

// Loads the type library of hModule. *pbstrPath receives the path it was
// loaded from (freed with SysFreeString) and *ppTypeLib the library; the
// caller releases whichever is not null, whatever the result.
HRESULT loadTypeLibrary(HMODULE hModule, BSTR* pbstrPath, ITypeLib** ppTypeLib);

// Registers it under the path it was loaded from, with that path's directory as help directory.
HRESULT registerTypeLibrary(HMODULE hModule);

// Unregisters the identity the loaded library reports.
HRESULT unregisterTypeLibrary(HMODULE hModule);
