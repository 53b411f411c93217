// Kernel services: critical sections, interlocked operations, errors, versions,
// locales and code pages, narrow string helpers, and module loading.
#pragma once

#include "Types.h"

#ifdef _WIN32
#include <mbstring.h>
#else

#include <pthread.h>

// ---- Critical sections (re-entrant) ----
struct CRITICAL_SECTION {
    pthread_mutex_t mutex;
    BOOL initialized;
};
typedef CRITICAL_SECTION* LPCRITICAL_SECTION;

// Creation cannot report a failure; the platform raises an exception instead.
// Callers that must see a failure use InitializeCriticalSectionAndSpinCount,
// which answers FALSE and sets the last error (ERROR_NOT_ENOUGH_MEMORY when the
// system is out of memory).
COMRT_API void WINAPI InitializeCriticalSection(LPCRITICAL_SECTION lpCriticalSection);
COMRT_API BOOL WINAPI InitializeCriticalSectionAndSpinCount(LPCRITICAL_SECTION lpCriticalSection, DWORD dwSpinCount);
COMRT_API void WINAPI EnterCriticalSection(LPCRITICAL_SECTION lpCriticalSection);
COMRT_API void WINAPI LeaveCriticalSection(LPCRITICAL_SECTION lpCriticalSection);
COMRT_API void WINAPI DeleteCriticalSection(LPCRITICAL_SECTION lpCriticalSection);

// ---- Interlocked operations (full barriers) ----
inline LONG InterlockedIncrement(LONG volatile* target) { return __atomic_add_fetch(target, 1, __ATOMIC_SEQ_CST); }
inline LONG InterlockedDecrement(LONG volatile* target) { return __atomic_sub_fetch(target, 1, __ATOMIC_SEQ_CST); }
inline LONG InterlockedExchange(LONG volatile* target, LONG value)
{
    return __atomic_exchange_n(target, value, __ATOMIC_SEQ_CST);
}
inline LONG InterlockedCompareExchange(LONG volatile* target, LONG exchange, LONG comparand)
{
    __atomic_compare_exchange_n(target, &comparand, exchange, false, __ATOMIC_SEQ_CST, __ATOMIC_SEQ_CST);
    return comparand;
}
inline void* InterlockedExchangePointer(void* volatile* target, void* value)
{
    return __atomic_exchange_n(target, value, __ATOMIC_SEQ_CST);
}
inline void* InterlockedCompareExchangePointer(void* volatile* target, void* exchange, void* comparand)
{
    __atomic_compare_exchange_n(target, &comparand, exchange, false, __ATOMIC_SEQ_CST, __ATOMIC_SEQ_CST);
    return comparand;
}

// ---- Errors ----
COMRT_API DWORD WINAPI GetLastError();
COMRT_API void WINAPI SetLastError(DWORD dwErrCode);

// ---- Versions ----
#define VER_PLATFORM_WIN32s 0
#define VER_PLATFORM_WIN32_WINDOWS 1
#define VER_PLATFORM_WIN32_NT 2

struct OSVERSIONINFOA {
    DWORD dwOSVersionInfoSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    CHAR szCSDVersion[128];
};
static_assert(sizeof(OSVERSIONINFOA) == 148, "OSVERSIONINFOA is 148 bytes");
typedef OSVERSIONINFOA* LPOSVERSIONINFOA;

COMRT_API BOOL WINAPI GetVersionExA(LPOSVERSIONINFOA lpVersionInformation);

// ---- Locales and code pages ----
typedef DWORD LCTYPE;
#define LOCALE_IDEFAULTANSICODEPAGE 0x00001004
#define LOCALE_IDEFAULTCODEPAGE 0x0000000B

#define CP_ACP 0
#define CP_OEMCP 1
#define CP_MACCP 2
#define CP_THREAD_ACP 3
#define CP_UTF7 65000
#define CP_UTF8 65001

#define MB_PRECOMPOSED 0x00000001
#define MB_ERR_INVALID_CHARS 0x00000008
#define WC_NO_BEST_FIT_CHARS 0x00000400
#define MB_COMPOSITE 0x00000002
#define MB_USEGLYPHCHARS 0x00000004
#define WC_DISCARDNS 0x00000010
#define WC_SEPCHARS 0x00000020
#define WC_DEFAULTCHAR 0x00000040
#define WC_ERR_INVALID_CHARS 0x00000080
#define WC_COMPOSITECHECK 0x00000200

#define LOCALE_RETURN_NUMBER 0x20000000
#define LOCALE_USE_CP_ACP 0x40000000
#define LOCALE_NOUSEROVERRIDE 0x80000000

COMRT_API LCID WINAPI GetThreadLocale();
COMRT_API BOOL WINAPI SetThreadLocale(LCID Locale);
COMRT_API int WINAPI GetLocaleInfoA(LCID Locale, LCTYPE LCType, LPSTR lpLCData, int cchData);
COMRT_API UINT WINAPI GetACP();
COMRT_API int WINAPI MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCSTR lpMultiByteStr, int cbMultiByte,
                                         LPWSTR lpWideCharStr, int cchWideChar);
COMRT_API int WINAPI WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWSTR lpWideCharStr, int cchWideChar,
                                         LPSTR lpMultiByteStr, int cbMultiByte, LPCSTR lpDefaultChar,
                                         BOOL* lpUsedDefaultChar);

// ---- Narrow strings ----
COMRT_API int WINAPI lstrcmpiA(LPCSTR lpString1, LPCSTR lpString2);
COMRT_API int WINAPI lstrlenA(LPCSTR lpString);
COMRT_API LPSTR WINAPI lstrcpynA(LPSTR lpString1, LPCSTR lpString2, int iMaxLength);
COMRT_API BOOL WINAPI IsDBCSLeadByte(BYTE TestChar);
COMRT_API BOOL WINAPI IsDBCSLeadByteEx(UINT CodePage, BYTE TestChar);
// The C runtime's multi-byte character search (active code page).
COMRT_API unsigned char* _mbschr(const unsigned char* str, unsigned int c);

// ---- Modules ----
#define DLL_PROCESS_DETACH 0
#define DLL_PROCESS_ATTACH 1
#define DLL_THREAD_ATTACH 2
#define DLL_THREAD_DETACH 3

#define GET_MODULE_HANDLE_EX_FLAG_PIN 0x00000001
#define GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT 0x00000002
#define GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS 0x00000004

COMRT_API HMODULE WINAPI LoadLibraryA(LPCSTR lpLibFileName);
COMRT_API FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR lpProcName);
COMRT_API BOOL WINAPI FreeLibrary(HMODULE hLibModule);
COMRT_API HMODULE WINAPI GetModuleHandleA(LPCSTR lpModuleName);
COMRT_API BOOL WINAPI GetModuleHandleExA(DWORD dwFlags, LPCSTR lpModuleName, HMODULE* phModule);
COMRT_API DWORD WINAPI GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize);

// ---- Time ----
COMRT_API DWORD WINAPI GetTickCount();
COMRT_API void WINAPI Sleep(DWORD dwMilliseconds);

#endif // _WIN32
