// The class object through which a built-in class is created.
#pragma once

#include "platform/linux/BuiltinClasses.h"

namespace comrt {

HRESULT getBuiltinClassObject(const BuiltinClass& entry, REFIID riid, void** ppv);

} // namespace comrt
