// Removing a key together with everything beneath it.
#pragma once

#include "platform/Registry.h"

// Deletes parent\name and all its subkeys, deepest first. A key that is not
// there (ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND) counts as deleted.
// Works without recursion, so a tree of any depth is removed in constant stack.
// S_OK, or the first failing registry code as an HRESULT.
HRESULT deleteKeyTree(HKEY parent, LPCSTR name);
