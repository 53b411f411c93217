#include "helpers/Win32Result.h"

#include "platform/Kernel.h"

HRESULT hresultFromWin32(LONG code)
{
    if (code <= 0)
        return code;
    return static_cast<HRESULT>((static_cast<ULONG>(code) & 0x0000FFFFu) | 0x80070000u);
}

HRESULT hresultFromLastError()
{
    return hresultFromWin32(static_cast<LONG>(GetLastError()));
}
