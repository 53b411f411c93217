// Set by any module-wide constructor that could not create its critical
// section; DllMain then refuses the process attach. Nothing clears it.
#pragma once

extern bool g_bInitFailed;
