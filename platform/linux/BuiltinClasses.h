// Classes the runtime itself serves, found by CoCreateInstance and
// CoGetClassObject before the registry is consulted. Most are made by the
// runtime; the media pipeline's come from a module of the runtime's own,
// loaded the first time one of them is asked for, so that a process that
// never makes media never loads FFmpeg (the real platform, too, keeps its
// filter graph in a library of its own).
#pragma once

#include "platform/Com.h"

namespace comrt {

// Makes a new object of a built-in class; the same contract as IClassFactory::CreateInstance.
using BuiltinCreator = HRESULT (*)(IUnknown* outer, REFIID riid, void** ppv);

struct BuiltinClass {
    const CLSID* clsid;
    BuiltinCreator create; // made by the runtime, or
    const char* module;    // served by this module, beside the runtime's own file
};

// The table, ended by an entry whose clsid is null (BuiltinClassTable.cpp).
extern const BuiltinClass kBuiltinClasses[];

// The entry for a class id, or null.
const BuiltinClass* findBuiltinClass(REFCLSID clsid);

// The media pipeline's module.
extern const char kMediaModule[];

} // namespace comrt
