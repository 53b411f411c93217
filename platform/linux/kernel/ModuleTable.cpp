// Module bookkeeping and the process-exit detach.
//
// At exit the C library runs the handlers registered with __cxa_atexit in reverse
// order of registration, and a module's static destructors are registered while
// dlopen initialises it. A handler registered right after that initialisation
// therefore runs before the module's destructors, and after those of every module
// loaded later: modules are detached in reverse load order, each before its own
// teardown, as the platform does. (A function-local static that a module first
// uses after its load registers later, and so is destroyed before the detach.)
#include "platform/linux/kernel/ModuleTable.h"

extern "C" int __cxa_atexit(void (*function)(void*), void* argument, void* dso);
extern "C" void* __dso_handle;

namespace comrt {

namespace {

uint64_t g_lastSerial = 0;

// A non-null reserved argument tells an entry point that the process is ending.
LPVOID const kProcessTerminating = reinterpret_cast<LPVOID>(1);

void detachOnExit(void* argument)
{
    auto serial = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(argument));
    std::lock_guard lock(loaderLock());
    for (auto& [module, record] : loadedModules()) {
        if (record.serial != serial)
            continue;
        if (record.attached && record.entry) {
            record.attached = false;
            record.entry(reinterpret_cast<HINSTANCE>(module), DLL_PROCESS_DETACH, kProcessTerminating);
        }
        break;
    }
}

} // namespace

// Both outlive every static destructor: exit handlers and late FreeLibrary calls use them.
std::recursive_mutex& loaderLock()
{
    static auto* lock = new std::recursive_mutex;
    return *lock;
}

std::map<HMODULE, LoadedModule>& loadedModules()
{
    static auto* modules = new std::map<HMODULE, LoadedModule>;
    return *modules;
}

uint64_t nextModuleSerial()
{
    return ++g_lastSerial;
}

void detachAtProcessExit(uint64_t serial)
{
    __cxa_atexit(detachOnExit, reinterpret_cast<void*>(static_cast<uintptr_t>(serial)), &__dso_handle);
}

} // namespace comrt
