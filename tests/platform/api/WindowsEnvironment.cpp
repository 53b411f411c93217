// The Windows side: the registry is the platform's own (the tests keep to keys
// of their own under HKEY_CURRENT_USER); the module sits beside the program.
#include "tests/platform/api/ApiEnvironment.h"

namespace apitest {
namespace {

OleString programFolder()
{
    WCHAR path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    OleString folder(path, length);
    return folder.substr(0, folder.find_last_of(L"\\/") + 1);
}

} // namespace

OleString typeLibraryModule()
{
    return programFolder() + L"MORVEN.ocx";
}

OleString plainFile()
{
    WCHAR path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    return OleString(path, length);
}

} // namespace apitest
