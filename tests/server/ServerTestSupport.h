// What the server tests share: MORVEN.ocx loaded as a host loads it, its
// exports, and a few test objects.
#pragma once

#include "capture/MORVEN.h"
#include "platform/Com.h"
#include "platform/Kernel.h"
#include "platform/Registry.h"

#include <string>
#include <vector>

namespace servertest {

using DllCanUnloadNowFn = HRESULT (*)();
using DllGetClassObjectFn = HRESULT (*)(REFCLSID, REFIID, LPVOID*);
using DllMainFn = BOOL (*)(HINSTANCE, DWORD, LPVOID);
using DllRegisterServerFn = HRESULT (*)();

// Full path of the built module.
std::string modulePath();

// MORVEN.ocx loaded for the life of the object, with its exports resolved.
// Every test that loads it afresh gets fresh module-wide records.
class LoadedModule {
public:
    LoadedModule();
    ~LoadedModule();
    LoadedModule(const LoadedModule&) = delete;
    LoadedModule& operator=(const LoadedModule&) = delete;

    HMODULE handle() const { return m_hModule; }
    HRESULT canUnloadNow() const { return m_canUnloadNow(); }
    HRESULT getClassObject(REFCLSID clsid, REFIID iid, void** ppv) const { return m_getClassObject(clsid, iid, ppv); }
    // The class object of CCMORVENProc as IClassFactory, or null.
    IClassFactory* classFactory() const;
    HRESULT registerServer() const { return m_registerServer(); }
    HRESULT unregisterServer() const { return m_unregisterServer(); }

private:
    HMODULE m_hModule;
    DllCanUnloadNowFn m_canUnloadNow;
    DllGetClassObjectFn m_getClassObject;
    DllRegisterServerFn m_registerServer;
    DllRegisterServerFn m_unregisterServer;
};

// An outer object for aggregation that counts what reaches it.
struct CountingOuter : IUnknown {
    int addRefs = 0;
    int releases = 0;
    int queries = 0;
    IID lastQueried = {};

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
};

// An empty registry of its own for as long as it lives: COMRT_REGISTRY points
// at a fresh file, and the process's connection is reopened on it.
class ScratchRegistry {
public:
    ScratchRegistry();
    ~ScratchRegistry();
    ScratchRegistry(const ScratchRegistry&) = delete;
    ScratchRegistry& operator=(const ScratchRegistry&) = delete;

private:
    std::string m_directory;
};

// Registry reading for the checks.
bool keyExists(HKEY root, const std::string& subKey);
// The REG_SZ value's text, or "<missing>" / "<type n>" when it is absent or of another type.
std::string stringValue(HKEY root, const std::string& subKey, const char* name = nullptr);
// Names of the values of a key, the default value as "".
std::vector<std::string> valueNames(HKEY root, const std::string& subKey);
std::vector<std::string> subKeyNames(HKEY root, const std::string& subKey);

// Releases a held interface pointer at scope end.
template <class T>
struct Held {
    T* p = nullptr;
    ~Held()
    {
        if (p != nullptr)
            p->Release();
    }
    void** out() { return reinterpret_cast<void**>(&p); }
    T* operator->() const { return p; }
};

} // namespace servertest
