// What the server tests share: MORVEN.ocx loaded as a host loads it, its
// exports, an outer object, and the kit's holders, scratch registry and readers.
#pragma once

#include "capture/MORVEN.h"
#include "platform/Com.h"
#include "platform/Kernel.h"
#include "platform/Registry.h"
#include "tests/support/ComHolders.h"
#include "tests/support/RegistryReads.h"
#include "tests/support/ScratchRegistry.h"

#include <string>

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

using testkit::keyExists;
using testkit::Ref;
using testkit::ScratchRegistry;
using testkit::stringValue;
using testkit::subKeyNames;
using testkit::valueNames;

} // namespace servertest
