// Finding modules and their file names.
#include "platform/linux/kernel/ModuleImages.h"
#include "platform/linux/kernel/ModuleTable.h"

#include <cstring>

HMODULE WINAPI GetModuleHandleA(LPCSTR lpModuleName)
{
    if (!lpModuleName)
        return comrt::mainExecutable();
    HMODULE module = comrt::findModuleByName(lpModuleName);
    if (!module)
        SetLastError(ERROR_MOD_NOT_FOUND);
    return module;
}

BOOL WINAPI GetModuleHandleExA(DWORD dwFlags, LPCSTR lpModuleName, HMODULE* phModule)
{
    constexpr DWORD known = GET_MODULE_HANDLE_EX_FLAG_PIN | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT |
                            GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS;
    if (phModule)
        *phModule = nullptr;
    if (!phModule || (dwFlags & ~known) != 0 ||
        ((dwFlags & GET_MODULE_HANDLE_EX_FLAG_PIN) && (dwFlags & GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT))) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    HMODULE module;
    if (dwFlags & GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS)
        module = comrt::moduleContaining(lpModuleName);
    else
        module = lpModuleName ? comrt::findModuleByName(lpModuleName) : comrt::mainExecutable();
    if (!module) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return FALSE;
    }
    if (!(dwFlags & GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT)) {
        std::lock_guard lock(comrt::loaderLock());
        auto& modules = comrt::loadedModules();
        auto found = modules.find(module);
        if (found != modules.end()) {
            if (dwFlags & GET_MODULE_HANDLE_EX_FLAG_PIN)
                found->second.pinned = true;
            else
                ++found->second.references;
        }
    }
    *phModule = module;
    return TRUE;
}

DWORD WINAPI GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize)
{
    if (hModule && !comrt::isModuleBase(hModule)) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return 0;
    }
    std::string path = comrt::moduleFilePath(hModule);
    if (path.empty()) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return 0;
    }
    if (nSize == 0) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    if (!lpFilename) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (path.size() >= nSize) {
        // Cut to the buffer, terminator included: the answer is nSize.
        std::memcpy(lpFilename, path.data(), nSize - 1);
        lpFilename[nSize - 1] = 0;
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return nSize;
    }
    std::memcpy(lpFilename, path.c_str(), path.size() + 1);
    return static_cast<DWORD>(path.size());
}
