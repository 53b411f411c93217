// What the runtime's tests and their small in-process server module agree on.
#pragma once

#include "platform/Types.h"

// The one class the test server serves: {B7A3C1D2-5E4F-4A6B-8C9D-0E1F2A3B4C5D}.
constexpr GUID kTestServerClsid = {0xB7A3C1D2, 0x5E4F, 0x4A6B, {0x8C, 0x9D, 0x0E, 0x1F, 0x2A, 0x3B, 0x4C, 0x5D}};

// The modules append "<tag> <event>" lines to the file this variable names:
// construct, attach, detach (from DllMain), destruct (a static destructor).
constexpr const char* kMarkerVariable = "PLATFORM_TEST_MARKER";

// Exports of the test server.
using LiveObjectsFunction = LONG (*)();
using HandleFunction = HMODULE (*)();
