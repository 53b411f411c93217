// The registry: keys under predefined roots, typed values.
#pragma once

#include "Types.h"

#ifndef _WIN32

// Predefined roots: handle values 0x80000000 + n.
#define COMRT_PREDEFINED_KEY(n) ((HKEY)(ULONG_PTR)(0x80000000u + (n)))
#define HKEY_CLASSES_ROOT COMRT_PREDEFINED_KEY(0)
#define HKEY_CURRENT_USER COMRT_PREDEFINED_KEY(1)
#define HKEY_LOCAL_MACHINE COMRT_PREDEFINED_KEY(2)
#define HKEY_USERS COMRT_PREDEFINED_KEY(3)
#define HKEY_PERFORMANCE_DATA COMRT_PREDEFINED_KEY(4)
#define HKEY_CURRENT_CONFIG COMRT_PREDEFINED_KEY(5)

// Value types.
#define REG_NONE 0
#define REG_SZ 1
#define REG_EXPAND_SZ 2
#define REG_BINARY 3
#define REG_DWORD 4
#define REG_DWORD_LITTLE_ENDIAN 4
#define REG_DWORD_BIG_ENDIAN 5
#define REG_LINK 6
#define REG_MULTI_SZ 7
#define REG_QWORD 11

// Access rights.
#define KEY_QUERY_VALUE 0x0001
#define KEY_SET_VALUE 0x0002
#define KEY_CREATE_SUB_KEY 0x0004
#define KEY_ENUMERATE_SUB_KEYS 0x0008
#define KEY_NOTIFY 0x0010
#define KEY_CREATE_LINK 0x0020
#define KEY_WOW64_64KEY 0x0100
#define KEY_WOW64_32KEY 0x0200
#define KEY_READ 0x20019
#define KEY_WRITE 0x20006
#define KEY_EXECUTE 0x20019
#define KEY_ALL_ACCESS 0xF003F

// Options and dispositions.
#define REG_OPTION_NON_VOLATILE 0x00000000
#define REG_OPTION_VOLATILE 0x00000001
#define REG_CREATED_NEW_KEY 0x00000001
#define REG_OPENED_EXISTING_KEY 0x00000002

struct SECURITY_ATTRIBUTES {
    DWORD nLength;
    LPVOID lpSecurityDescriptor;
    BOOL bInheritHandle;
};
typedef SECURITY_ATTRIBUTES* LPSECURITY_ATTRIBUTES;

COMRT_API LONG WINAPI RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired, PHKEY phkResult);
COMRT_API LONG WINAPI RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD Reserved, LPSTR lpClass, DWORD dwOptions,
                                      REGSAM samDesired, LPSECURITY_ATTRIBUTES lpSecurityAttributes, PHKEY phkResult,
                                      LPDWORD lpdwDisposition);
COMRT_API LONG WINAPI RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD Reserved, DWORD dwType, const BYTE* lpData,
                                     DWORD cbData);
COMRT_API LONG WINAPI RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                                       LPBYTE lpData, LPDWORD lpcbData);
COMRT_API LONG WINAPI RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey);
COMRT_API LONG WINAPI RegDeleteTreeA(HKEY hKey, LPCSTR lpSubKey);
COMRT_API LONG WINAPI RegDeleteValueA(HKEY hKey, LPCSTR lpValueName);
COMRT_API LONG WINAPI RegEnumKeyExA(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName, LPDWORD lpReserved,
                                    LPSTR lpClass, LPDWORD lpcchClass, FILETIME* lpftLastWriteTime);
COMRT_API LONG WINAPI RegEnumValueA(HKEY hKey, DWORD dwIndex, LPSTR lpValueName, LPDWORD lpcchValueName,
                                    LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData);
COMRT_API LONG WINAPI RegQueryInfoKeyA(HKEY hKey, LPSTR lpClass, LPDWORD lpcchClass, LPDWORD lpReserved,
                                       LPDWORD lpcSubKeys, LPDWORD lpcbMaxSubKeyLen, LPDWORD lpcbMaxClassLen,
                                       LPDWORD lpcValues, LPDWORD lpcbMaxValueNameLen, LPDWORD lpcbMaxValueLen,
                                       LPDWORD lpcbSecurityDescriptor, FILETIME* lpftLastWriteTime);
COMRT_API LONG WINAPI RegCloseKey(HKEY hKey);

#endif // _WIN32
