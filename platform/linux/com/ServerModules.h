// In-process server modules loaded for CoGetClassObject. Each stays loaded until
// CoFreeUnusedLibraries finds that its DllCanUnloadNow allows the unload.
#pragma once

#include "platform/Com.h"

#include <string>

namespace comrt {

// Loads (or reuses) the server module at path and asks its DllGetClassObject.
HRESULT getServerClassObject(const std::string& path, REFCLSID clsid, REFIID riid, void** ppv);

} // namespace comrt
