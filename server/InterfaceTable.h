// Interface tables: which interface ids an object answers, and where the
// vtable pointer of each sits in the object.
#pragma once

#include "platform/Unknown.h"

#include <cstddef>

struct InterfaceEntry {
    const IID* piid;     // null ends the table
    DWORD_PTR dwOffset;  // from the start of the object
};
static_assert(offsetof(InterfaceEntry, piid) == 0 && offsetof(InterfaceEntry, dwOffset) == sizeof(void*),
              "InterfaceEntry is an id pointer followed by an offset");

// QueryInterface through a table. IID_IUnknown is answered with the first row's
// interface; the interface handed out gets one AddRef.
HRESULT queryInterfaceFromTable(void* pObject, const InterfaceEntry* pEntries, REFIID riid, void** ppv);
