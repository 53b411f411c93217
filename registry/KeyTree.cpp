#include "registry/KeyTree.h"

#include "helpers/Win32Result.h"

#include <new>
#include <string>
#include <vector>

namespace {

constexpr REGSAM kKeyAccess = KEY_READ | KEY_WRITE;
// Longest key name plus its terminator.
constexpr DWORD kKeyNameChars = 256;

bool isAbsent(LONG code)
{
    return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND;
}

struct OpenKey {
    HKEY key;
    std::string name;
};

void closeAll(std::vector<OpenKey>& path)
{
    for (OpenKey& open : path) {
        if (open.key != nullptr)
            RegCloseKey(open.key);
    }
    path.clear();
}

} // namespace

HRESULT deleteKeyTree(HKEY parent, LPCSTR name)
{
    // The keys from the one to delete down to the one being emptied, each open.
    // An entry is in place before its key is opened, so that nothing leaks when
    // memory runs out.
    std::vector<OpenKey> path;
    try {
        path.push_back({nullptr, name});
        LONG code = RegOpenKeyExA(parent, name, 0, kKeyAccess, &path.back().key);
        if (code != ERROR_SUCCESS)
            return isAbsent(code) ? S_OK : hresultFromWin32(code);

        while (!path.empty()) {
            char subkey[kKeyNameChars];
            DWORD chars = kKeyNameChars;
            if (RegEnumKeyExA(path.back().key, 0, subkey, &chars, nullptr, nullptr, nullptr, nullptr) ==
                ERROR_SUCCESS) {
                HKEY holder = path.back().key;
                path.push_back({nullptr, subkey});
                code = RegOpenKeyExA(holder, subkey, 0, kKeyAccess, &path.back().key);
                if (code != ERROR_SUCCESS) {
                    // It was listed a moment ago: whatever keeps us from opening it is a failure.
                    closeAll(path);
                    return hresultFromWin32(code);
                }
                continue;
            }
            // No subkey left (or none that can be listed): remove the key itself.
            RegCloseKey(path.back().key);
            path.back().key = nullptr;
            HKEY holder = path.size() == 1 ? parent : path[path.size() - 2].key;
            code = RegDeleteKeyA(holder, path.back().name.c_str());
            path.pop_back();
            if (code != ERROR_SUCCESS && !isAbsent(code)) {
                closeAll(path);
                return hresultFromWin32(code);
            }
        }
    } catch (const std::bad_alloc&) {
        closeAll(path);
        return E_OUTOFMEMORY;
    }
    return S_OK;
}
