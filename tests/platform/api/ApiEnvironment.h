// What differs between the two builds of the API tests: where the files they
// use are. Each build links its own side (LinuxEnvironment.cpp, WindowsEnvironment.cpp).
#pragma once

#include "tests/platform/api/Conformance.h"

namespace apitest {

// The component's module, which carries a type library, by full path.
OleString typeLibraryModule();

// A file that exists and is no type library.
OleString plainFile();

} // namespace apitest
