// Writing and removing the module's registration.
#pragma once

#include "server/ClassTable.h"

// CCMORVENProc's registration routine: its class keys and ProgIDs, written
// (bRegister true) or removed.
HRESULT updateRegistryCMORVENProc(BOOL bRegister);

// Registers or removes the component categories of a class. A class without
// a category list has nothing to do, which succeeds.
HRESULT updateComponentCategories(REFCLSID clsid, const CategoryMapEntry* pCategories, BOOL bRegister);
