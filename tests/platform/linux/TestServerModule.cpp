// A small in-process server for the runtime's tests. Built in several variants:
//   TEST_SERVER_CLASS   serves kTestServerClsid (DllGetClassObject, DllCanUnloadNow)
//   TEST_REFUSE_ATTACH  its DllMain refuses the process attach
//   TEST_NO_DLLMAIN     exports no DllMain
// Every variant reports its life through the marker file (TestServer.h).
#include "platform/Com.h"
#include "platform/Kernel.h"
#include "tests/platform/linux/TestServer.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>

#define TEST_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

void mark(const char* event)
{
    const char* path = std::getenv(kMarkerVariable);
    if (!path)
        return;
    if (FILE* file = std::fopen(path, "a")) {
        std::fprintf(file, "%s %s\n", TEST_MODULE_TAG, event);
        std::fclose(file);
    }
}

struct StaticLifetime {
    StaticLifetime() { mark("construct"); }
    ~StaticLifetime() { mark("destruct"); }
} g_lifetime;

HMODULE g_attachedAs = nullptr;

} // namespace

TEST_EXPORT HMODULE TestModuleAttachHandle()
{
    return g_attachedAs;
}

// The module's own handle, found the way a module finds it: from one of its addresses.
TEST_EXPORT HMODULE TestModuleOwnHandle()
{
    HMODULE self = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(&TestModuleOwnHandle), &self);
    return self;
}

#ifndef TEST_NO_DLLMAIN
TEST_EXPORT BOOL DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        g_attachedAs = reinterpret_cast<HMODULE>(instance);
        mark("attach");
#ifdef TEST_REFUSE_ATTACH
        return FALSE;
#endif
    } else if (reason == DLL_PROCESS_DETACH) {
        mark("detach");
    }
    return TRUE;
}
#endif

#ifdef TEST_SERVER_CLASS
namespace {

std::atomic<LONG> g_locks{0};
std::atomic<LONG> g_liveObjects{0};

class TestObject final : public IUnknown {
public:
    TestObject()
    {
        ++g_liveObjects;
        ++g_locks;
    }
    ~TestObject()
    {
        --g_liveObjects;
        --g_locks;
    }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        *ppv = riid == IID_IUnknown ? this : nullptr;
        if (!*ppv)
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        ULONG left = --references_;
        if (left == 0)
            delete this;
        return left;
    }

private:
    std::atomic<ULONG> references_{1};
};

class TestClassObject final : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        *ppv = (riid == IID_IUnknown || riid == IID_IClassFactory) ? this : nullptr;
        if (!*ppv)
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++g_locks); }
    ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(--g_locks); }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        auto* object = new TestObject;
        HRESULT hr = object->QueryInterface(riid, ppv);
        object->Release();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override
    {
        lock ? ++g_locks : --g_locks;
        return S_OK;
    }
} g_classObject;

} // namespace

TEST_EXPORT LONG TestServerLiveObjects()
{
    return g_liveObjects;
}

TEST_EXPORT HRESULT DllGetClassObject(REFCLSID clsid, REFIID riid, LPVOID* ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (clsid != kTestServerClsid)
        return CLASS_E_CLASSNOTAVAILABLE;
    return g_classObject.QueryInterface(riid, ppv);
}

TEST_EXPORT HRESULT DllCanUnloadNow()
{
    return g_locks == 0 ? S_OK : S_FALSE;
}
#endif
