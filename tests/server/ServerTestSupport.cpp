#include "tests/server/ServerTestSupport.h"

#include <stdexcept>

namespace servertest {

std::string modulePath()
{
    return MORVEN_OCX_PATH;
}

namespace {

template <class Fn>
Fn resolve(HMODULE hModule, const char* name)
{
    return reinterpret_cast<Fn>(GetProcAddress(hModule, name));
}

} // namespace

LoadedModule::LoadedModule() : m_hModule(LoadLibraryA(modulePath().c_str()))
{
    if (m_hModule == nullptr)
        throw std::runtime_error("MORVEN.ocx did not load");
    m_canUnloadNow = resolve<DllCanUnloadNowFn>(m_hModule, "DllCanUnloadNow");
    m_getClassObject = resolve<DllGetClassObjectFn>(m_hModule, "DllGetClassObject");
    m_registerServer = resolve<DllRegisterServerFn>(m_hModule, "DllRegisterServer");
    m_unregisterServer = resolve<DllRegisterServerFn>(m_hModule, "DllUnregisterServer");
    if (!m_canUnloadNow || !m_getClassObject || !m_registerServer || !m_unregisterServer)
        throw std::runtime_error("MORVEN.ocx lacks an export");
}

LoadedModule::~LoadedModule()
{
    FreeLibrary(m_hModule);
}

IClassFactory* LoadedModule::classFactory() const
{
    IClassFactory* pFactory = nullptr;
    m_getClassObject(CLSID_CCMORVENProc, IID_IClassFactory, reinterpret_cast<void**>(&pFactory));
    return pFactory;
}

HRESULT CountingOuter::QueryInterface(REFIID riid, void** ppv)
{
    ++queries;
    lastQueried = riid;
    *ppv = nullptr;
    return E_NOINTERFACE;
}

ULONG CountingOuter::AddRef()
{
    return static_cast<ULONG>(100 + ++addRefs);
}

ULONG CountingOuter::Release()
{
    return static_cast<ULONG>(200 + ++releases);
}

} // namespace servertest
