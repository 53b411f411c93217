// Stepping through narrow text one character of the ANSI code page at a time.
#include "platform/UserInterface.h"
#include "platform/linux/kernel/CodePages.h"

LPSTR WINAPI CharNextA(LPCSTR lpsz)
{
    if (!lpsz)
        return nullptr;
    return const_cast<LPSTR>(lpsz + comrt::characterLength(CP_ACP, lpsz));
}
