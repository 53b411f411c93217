// The modules loaded through LoadLibraryA, with their reference counts and
// entry points, and the loader lock that serialises loading and unloading.
#pragma once

#include "platform/Kernel.h"

#include <cstdint>
#include <map>
#include <mutex>

namespace comrt {

using DllEntryPoint = BOOL (*)(HINSTANCE, DWORD, LPVOID);

struct LoadedModule {
    void* image = nullptr;        // the dlopen handle this table holds
    LONG references = 0;
    bool pinned = false;          // never unloaded again
    DllEntryPoint entry = nullptr; // the exported DllMain, if any
    bool attached = false;        // saw DLL_PROCESS_ATTACH and no DETACH yet
    uint64_t serial = 0;          // tells this load apart from later ones at the same base
};

// Held while modules are loaded, attached, detached or unloaded. Re-entrant: an
// entry point may load or free modules itself.
std::recursive_mutex& loaderLock();
// By module handle; only with the loader lock held.
std::map<HMODULE, LoadedModule>& loadedModules();
uint64_t nextModuleSerial();
// Makes sure the module of this load sees DLL_PROCESS_DETACH when the process
// exits while it is still loaded, before the static destructors it registered
// while loading run. Called right after the module's static initialisation.
void detachAtProcessExit(uint64_t serial);

} // namespace comrt
