// What the registry says about classes: HKEY_CLASSES_ROOT\CLSID and the ProgIDs.
#pragma once

#include "platform/Com.h"

#include <string>

namespace comrt {

// The default value of HKEY_CLASSES_ROOT\<subKey> as text; false when the key
// or a string value is missing.
bool readClassesRootText(const std::string& subKey, std::string& text);

// The file of a class's in-process server (InprocServer32), or REGDB_E_CLASSNOTREG.
HRESULT findInprocServer(REFCLSID clsid, std::string& path);

} // namespace comrt
