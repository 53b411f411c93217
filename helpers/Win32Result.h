// Win32 error codes as HRESULTs.
#pragma once

#include "platform/Types.h"

// A code of 0 or less is returned unchanged; a positive code n becomes
// 0x80070000 | (n & 0xFFFF).
HRESULT hresultFromWin32(LONG code);

// hresultFromWin32 of GetLastError(), for use right after a failed platform call.
HRESULT hresultFromLastError();
