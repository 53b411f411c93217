// Finding a built-in class and serving it through a class object.
#include "platform/linux/BuiltinClasses.h"
#include "platform/linux/com/BuiltinClassObject.h"

#include <atomic>

namespace comrt {

const BuiltinClass* findBuiltinClass(REFCLSID clsid)
{
    for (const BuiltinClass* entry = kBuiltinClasses; entry->clsid; ++entry) {
        if (*entry->clsid == clsid && entry->create)
            return entry;
    }
    return nullptr;
}

namespace {

class BuiltinClassObject final : public IClassFactory {
public:
    explicit BuiltinClassObject(BuiltinCreator create) : create_(create) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IClassFactory) {
            *ppv = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        ULONG left = --references_;
        if (left == 0)
            delete this;
        return left;
    }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        try {
            return create_(pUnkOuter, riid, ppv);
        } catch (...) {
            return E_OUTOFMEMORY;
        }
    }
    // Built-in classes never unload.
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

private:
    std::atomic<ULONG> references_{1};
    BuiltinCreator create_;
};

} // namespace

HRESULT getBuiltinClassObject(const BuiltinClass& entry, REFIID riid, void** ppv)
{
    auto* object = new (std::nothrow) BuiltinClassObject(entry.create);
    if (!object)
        return E_OUTOFMEMORY;
    HRESULT hr = object->QueryInterface(riid, ppv);
    object->Release();
    return hr;
}

} // namespace comrt
