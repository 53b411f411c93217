// Creators of the classes the COM runtime itself serves.
#pragma once

#include "platform/Com.h"

namespace comrt {

// The process's one global interface table (CLSID_StdGlobalInterfaceTable).
HRESULT createGlobalInterfaceTable(IUnknown* outer, REFIID riid, void** ppv);

} // namespace comrt
