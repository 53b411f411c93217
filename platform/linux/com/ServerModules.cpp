// The list of loaded in-process servers.
#include "platform/Kernel.h"
#include "platform/linux/com/ServerModules.h"

#include <mutex>
#include <vector>

namespace comrt {

namespace {

using GetClassObjectFunction = HRESULT (*)(REFCLSID, REFIID, LPVOID*);
using CanUnloadNowFunction = HRESULT (*)();

struct ServerModule {
    HMODULE module;
    GetClassObjectFunction getClassObject;
    CanUnloadNowFunction canUnloadNow; // null: the module never unloads
};

// Never destroyed: servers may be asked about after static teardown began.
std::mutex& serversLock()
{
    static auto* lock = new std::mutex;
    return *lock;
}

std::vector<ServerModule>& servers()
{
    static auto* list = new std::vector<ServerModule>;
    return *list;
}

ServerModule* findServer(HMODULE module)
{
    for (ServerModule& server : servers()) {
        if (server.module == module)
            return &server;
    }
    return nullptr;
}

} // namespace

HRESULT getServerClassObject(const std::string& path, REFCLSID clsid, REFIID riid, void** ppv)
{
    // This reference keeps the module loaded for the call, whatever
    // CoFreeUnusedLibraries does meanwhile on another thread.
    HMODULE module = LoadLibraryA(path.c_str());
    if (!module)
        return HRESULT_FROM_WIN32(GetLastError());
    GetClassObjectFunction getClassObject = nullptr;
    {
        std::lock_guard lock(serversLock());
        if (ServerModule* known = findServer(module)) {
            getClassObject = known->getClassObject;
        } else {
            getClassObject = reinterpret_cast<GetClassObjectFunction>(GetProcAddress(module, "DllGetClassObject"));
            if (getClassObject) {
                auto canUnloadNow = reinterpret_cast<CanUnloadNowFunction>(GetProcAddress(module, "DllCanUnloadNow"));
                LoadLibraryA(path.c_str()); // the list's own reference
                servers().push_back({module, getClassObject, canUnloadNow});
            }
        }
    }
    HRESULT hr = getClassObject ? getClassObject(clsid, riid, ppv) : CO_E_ERRORINDLL;
    FreeLibrary(module);
    return hr;
}

} // namespace comrt

void STDAPICALLTYPE CoFreeUnusedLibraries()
{
    std::vector<comrt::ServerModule> candidates;
    {
        std::lock_guard lock(comrt::serversLock());
        candidates = comrt::servers();
    }
    // No lock is held while a module answers or unloads.
    for (const comrt::ServerModule& server : candidates) {
        if (!server.canUnloadNow || server.canUnloadNow() != S_OK)
            continue;
        bool listed = false;
        {
            std::lock_guard lock(comrt::serversLock());
            auto& list = comrt::servers();
            for (auto it = list.begin(); it != list.end(); ++it) {
                if (it->module == server.module) {
                    list.erase(it);
                    listed = true;
                    break;
                }
            }
        }
        if (listed)
            FreeLibrary(server.module);
    }
}
