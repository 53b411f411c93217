// Shell: file information and path helpers.
#pragma once

#include "Types.h"

#ifdef _WIN32
#include <shellapi.h>
#include <shlwapi.h>
#else

typedef struct HICON__* HICON;

struct SHFILEINFOA {
    HICON hIcon;
    int iIcon;
    DWORD dwAttributes;
    CHAR szDisplayName[MAX_PATH];
    CHAR szTypeName[80];
};

#define SHGFI_EXETYPE 0x000002000u

COMRT_API DWORD_PTR WINAPI SHGetFileInfoA(LPCSTR pszPath, DWORD dwFileAttributes, SHFILEINFOA* psfi, UINT cbFileInfo,
                                          UINT uFlags);
COMRT_API LPSTR WINAPI PathFindExtensionA(LPCSTR pszPath);

#endif // _WIN32
