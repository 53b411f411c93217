// Classes the runtime itself serves, found by CoCreateInstance and
// CoGetClassObject before the registry is consulted.
#pragma once

#include "platform/Com.h"

namespace comrt {

// Makes a new object of a built-in class; the same contract as IClassFactory::CreateInstance.
using BuiltinCreator = HRESULT (*)(IUnknown* outer, REFIID riid, void** ppv);

struct BuiltinClass {
    const CLSID* clsid;
    BuiltinCreator create;
};

// The table, ended by an entry whose clsid is null (BuiltinClassTable.cpp).
extern const BuiltinClass kBuiltinClasses[];

// The entry for a class id, or null.
const BuiltinClass* findBuiltinClass(REFCLSID clsid);

} // namespace comrt
