// Finding a built-in class and serving it through a class object.
#include "platform/linux/BuiltinClasses.h"
#include "platform/linux/com/BuiltinClassObject.h"

#include <dlfcn.h>

#include <atomic>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace comrt {

const BuiltinClass* findBuiltinClass(REFCLSID clsid)
{
    for (const BuiltinClass* entry = kBuiltinClasses; entry->clsid; ++entry) {
        if (*entry->clsid == clsid && (entry->create || entry->module))
            return entry;
    }
    return nullptr;
}

namespace {

// The runtime's modules are installed beside its own file.
std::string besideRuntime(const char* module)
{
    Dl_info info{};
    if (!dladdr(reinterpret_cast<void*>(&findBuiltinClass), &info) || !info.dli_fname)
        return module;
    std::string path = info.dli_fname;
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string(module) : path.substr(0, slash + 1) + module;
}

// What a module of the runtime exports to make its classes' objects.
using ModuleCreator = HRESULT (*)(REFCLSID clsid, IUnknown* outer, REFIID riid, void** ppv);
constexpr char kModuleCreatorName[] = "ComRtCreateObject";

// Loads the module on first use; it then stays loaded for the process. Its
// imports are bound as they are first called, not all at load as
// LoadLibraryA binds them: the media module brings FFmpeg's hundred-odd
// libraries, and binding all of their imports at once took a third of a
// grab's start-up.
HRESULT moduleCreator(const char* module, ModuleCreator& create)
{
    static std::mutex lock;
    static auto* loaded = new std::vector<std::pair<const char*, ModuleCreator>>; // never destroyed
    std::lock_guard guard(lock);
    for (const auto& [name, creator] : *loaded)
        if (name == module) {
            create = creator;
            return S_OK;
        }
    void* image = dlopen(besideRuntime(module).c_str(), RTLD_LAZY | RTLD_LOCAL);
    if (!image)
        return HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND);
    create = reinterpret_cast<ModuleCreator>(dlsym(image, kModuleCreatorName));
    if (!create) {
        dlclose(image);
        return CO_E_ERRORINDLL;
    }
    loaded->emplace_back(module, create);
    return S_OK;
}

class BuiltinClassObject final : public IClassFactory {
public:
    explicit BuiltinClassObject(BuiltinCreator create) : m_create(create) {}
    BuiltinClassObject(ModuleCreator create, const CLSID& clsid) : m_moduleCreate(create), m_clsid(clsid) {}

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
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_references; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        ULONG left = --m_references;
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
            return m_create ? m_create(pUnkOuter, riid, ppv) : m_moduleCreate(m_clsid, pUnkOuter, riid, ppv);
        } catch (...) {
            return E_OUTOFMEMORY;
        }
    }
    // Built-in classes never unload.
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

private:
    std::atomic<ULONG> m_references{1};
    BuiltinCreator m_create = nullptr;
    ModuleCreator m_moduleCreate = nullptr;
    CLSID m_clsid{};
};

} // namespace

HRESULT getBuiltinClassObject(const BuiltinClass& entry, REFIID riid, void** ppv)
{
    BuiltinClassObject* object = nullptr;
    if (entry.create) {
        object = new (std::nothrow) BuiltinClassObject(entry.create);
    } else {
        ModuleCreator create = nullptr;
        HRESULT hr = moduleCreator(entry.module, create);
        if (FAILED(hr))
            return hr;
        object = new (std::nothrow) BuiltinClassObject(create, *entry.clsid);
    }
    if (!object)
        return E_OUTOFMEMORY;
    HRESULT hr = object->QueryInterface(riid, ppv);
    object->Release();
    return hr;
}

} // namespace comrt
