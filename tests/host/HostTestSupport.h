// What the host tests share on both builds: the kit's holders and registry
// readers, an apartment, text conversions, and the module reached through
// its exports.
#pragma once

#include "capture/MORVEN.h"
#include "platform/Automation.h"
#include "platform/Com.h"
#include "platform/Kernel.h"
#include "platform/Registry.h"
#include "platform/TypeLib.h"
#include "tests/host/HostEnvironment.h"
#include "tests/support/ComHolders.h"
#include "tests/support/Frames.h"
#include "tests/support/RegistryReads.h"

#include <gtest/gtest.h>

#include <string>

namespace host {

using testkit::Bstr;
using testkit::keyExists;
using testkit::Ref;
using testkit::stringValue;
using testkit::subKeyNames;
using testkit::valueNames;

// A single-threaded apartment for the test's thread.
class Apartment {
public:
    Apartment() : m_hr(CoInitialize(nullptr)) {}
    ~Apartment()
    {
        if (SUCCEEDED(m_hr))
            CoUninitialize();
    }
    HRESULT result() const { return m_hr; }

private:
    HRESULT m_hr;
};

// ANSI text (the process code page) as OLECHAR text.
Text widen(const std::string& ansi);
// "{FB82882C-A2F5-...}", the registry's text form of a GUID.
std::string guidText(const GUID& guid);
// Printable form of OLECHAR text for failure messages (ASCII kept, the rest as \uXXXX).
std::string printable(const Text& text);

typedef HRESULT(STDAPICALLTYPE* CanUnloadNowFn)();
typedef HRESULT(STDAPICALLTYPE* GetClassObjectFn)(REFCLSID, REFIID, void**);
typedef HRESULT(STDAPICALLTYPE* RegisterServerFn)();

// A module loaded by path for the life of the object, its exports resolved.
// Loading MORVEN.ocx's own path while COM holds it gives the same module.
class LoadedModule {
public:
    explicit LoadedModule(const std::string& path);
    ~LoadedModule();
    LoadedModule(const LoadedModule&) = delete;
    LoadedModule& operator=(const LoadedModule&) = delete;

    bool loaded() const { return m_module != nullptr && m_canUnloadNow && m_getClassObject && m_register &&
                                 m_unregister; }
    HRESULT canUnloadNow() const { return m_canUnloadNow(); }
    HRESULT getClassObject(REFCLSID clsid, REFIID iid, void** out) const { return m_getClassObject(clsid, iid, out); }
    HRESULT registerServer() const { return m_register(); }
    HRESULT unregisterServer() const { return m_unregister(); }

private:
    HMODULE m_module;
    CanUnloadNowFn m_canUnloadNow = nullptr;
    GetClassObjectFn m_getClassObject = nullptr;
    RegisterServerFn m_register = nullptr;
    RegisterServerFn m_unregister = nullptr;
};

// Whether the whole program's registration succeeded, and why not.
// An outer object for aggregation that answers no interface and is never freed.
struct StubOuter : IUnknown {
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override
    {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
};

bool moduleRegistered();
const std::string& registrationProblem();

} // namespace host

// The tests that need the registered class stop with the reason when it is not.
#define HOST_REQUIRE_REGISTRATION()                                                         \
    do {                                                                                    \
        if (!::host::moduleRegistered())                                                    \
            FAIL() << "MORVEN.ocx is not registered: " << ::host::registrationProblem();    \
    } while (0)
