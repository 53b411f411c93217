// User interface: message boxes and character stepping.
#pragma once

#include "Types.h"

#ifndef _WIN32

#define MB_OK 0x00000000u
#define MB_OKCANCEL 0x00000001u
#define MB_ICONERROR 0x00000010u
#define MB_ICONWARNING 0x00000030u
#define MB_ICONINFORMATION 0x00000040u
#define IDOK 1
#define IDCANCEL 2

COMRT_API int WINAPI MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType);
COMRT_API LPSTR WINAPI CharNextA(LPCSTR lpsz);

#endif // _WIN32
