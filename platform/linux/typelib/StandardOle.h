// The standard OLE library (stdole2.tlb) that other libraries import their base
// interface from. The runtime carries the part of it that libraries refer to.
#pragma once

#include "platform/TypeLib.h"

namespace comrt::typelib {

bool isStandardOleLibrary(REFGUID libid);

// A new library object with one reference: IUnknown and the GUID record.
HRESULT createStandardOleLibrary(ITypeLib** out);

} // namespace comrt::typelib
