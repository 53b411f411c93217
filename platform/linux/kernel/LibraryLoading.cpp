// LoadLibraryA, FreeLibrary and GetProcAddress over dlopen, with the module's
// exported DllMain called for process attach and detach.
#include "platform/linux/kernel/ModuleImages.h"
#include "platform/linux/kernel/ModuleTable.h"

#include <dlfcn.h>

#include <cstring>
#include <string>

namespace {

// The platform's error for a failed dlopen, from the linker's message.
DWORD loadError(const char* message)
{
    std::string text = message ? message : "";
    if (text.find("undefined symbol") != std::string::npos)
        return ERROR_PROC_NOT_FOUND; // an import the module needs is missing
    if (text.find("cannot open shared object file") != std::string::npos)
        return ERROR_MOD_NOT_FOUND; // the module or one it depends on is missing
    return ERROR_BAD_EXE_FORMAT;
}

} // namespace

HMODULE WINAPI LoadLibraryA(LPCSTR lpLibFileName)
{
    if (!lpLibFileName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (!*lpLibFileName) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    std::lock_guard lock(comrt::loaderLock());
    void* image = dlopen(lpLibFileName, RTLD_NOW | RTLD_LOCAL);
    if (!image) {
        SetLastError(loadError(dlerror()));
        return nullptr;
    }
    HMODULE module = comrt::moduleOfImage(image);
    auto& modules = comrt::loadedModules();
    auto found = modules.find(module);
    if (found != modules.end()) {
        dlclose(image); // the table already holds the module
        ++found->second.references;
        return module;
    }

    comrt::LoadedModule record;
    record.image = image;
    record.references = 1;
    record.serial = comrt::nextModuleSerial();
    // The program itself is never attached like a library.
    if (module != comrt::mainExecutable())
        record.entry = reinterpret_cast<comrt::DllEntryPoint>(comrt::findOwnExport(image, module, "DllMain"));
    modules.emplace(module, record);
    if (!record.entry)
        return module;

    auto instance = reinterpret_cast<HINSTANCE>(module);
    if (!record.entry(instance, DLL_PROCESS_ATTACH, nullptr)) {
        // A refused attach is followed by a detach, then the module is unloaded,
        // which runs its static destructors.
        record.entry(instance, DLL_PROCESS_DETACH, nullptr);
        modules.erase(module);
        dlclose(image);
        SetLastError(ERROR_DLL_INIT_FAILED);
        return nullptr;
    }
    found = modules.find(module);
    if (found != modules.end() && found->second.serial == record.serial) {
        found->second.attached = true;
        comrt::detachAtProcessExit(record.serial);
    }
    return module;
}

BOOL WINAPI FreeLibrary(HMODULE hLibModule)
{
    std::lock_guard lock(comrt::loaderLock());
    auto& modules = comrt::loadedModules();
    auto found = modules.find(hLibModule);
    if (found == modules.end()) {
        // Modules the runtime did not load (the program, its linked libraries)
        // stay for the life of the process.
        if (comrt::isModuleBase(hLibModule))
            return TRUE;
        SetLastError(ERROR_MOD_NOT_FOUND);
        return FALSE;
    }
    comrt::LoadedModule& record = found->second;
    if (record.pinned || --record.references > 0)
        return TRUE;
    comrt::LoadedModule last = record;
    modules.erase(found);
    // Detach first, then unload, so the module's static destructors run after
    // its entry point saw the detach.
    if (last.attached && last.entry)
        last.entry(reinterpret_cast<HINSTANCE>(hLibModule), DLL_PROCESS_DETACH, nullptr);
    dlclose(last.image);
    return TRUE;
}

FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR lpProcName)
{
    // Names only: exports by ordinal do not exist in ELF objects.
    if (reinterpret_cast<uintptr_t>(lpProcName) < 0x10000) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    HMODULE module = hModule ? hModule : comrt::mainExecutable();
    std::lock_guard lock(comrt::loaderLock());
    auto& modules = comrt::loadedModules();
    auto found = modules.find(module);
    void* image = found != modules.end() ? found->second.image : nullptr;
    bool borrowed = false;
    if (!image) {
        if (!comrt::isModuleBase(module) || !(image = comrt::openLoadedImage(module))) {
            SetLastError(ERROR_MOD_NOT_FOUND);
            return nullptr;
        }
        borrowed = true;
    }
    void* symbol = comrt::findOwnExport(image, module, lpProcName);
    if (borrowed)
        dlclose(image);
    if (!symbol)
        SetLastError(ERROR_PROC_NOT_FOUND);
    return symbol;
}
