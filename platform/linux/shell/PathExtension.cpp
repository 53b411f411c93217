// The extension of the last path component.
#include "platform/Shell.h"
#include "platform/UserInterface.h"

LPSTR WINAPI PathFindExtensionA(LPCSTR pszPath)
{
    if (!pszPath)
        return nullptr;
    const char* lastDot = nullptr;
    const char* p = pszPath;
    while (*p) {
        // A separator or a blank ends any extension seen so far, as on the platform.
        if (*p == '\\' || *p == '/' || *p == ' ')
            lastDot = nullptr;
        else if (*p == '.')
            lastDot = p;
        p = CharNextA(p);
    }
    return const_cast<LPSTR>(lastDot ? lastDot : p);
}
