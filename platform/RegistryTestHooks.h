// Test hooks of the registry store.
#pragma once

#include "Types.h"

#ifndef _WIN32

// Closes this process's connection to the registry database, which writes its log back
// into the file. The next registry call opens the file again; open handles stay valid.
COMRT_API void RegistryTestCloseStore(void);

#endif // _WIN32
