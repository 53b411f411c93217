#include "tests/server/ServerTestSupport.h"

#include "platform/linux/ComRtExtensions.h"

#include <cstdlib>
#include <filesystem>
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

ScratchRegistry::ScratchRegistry()
{
    char pattern[] = "/tmp/morven-server-registry-XXXXXX";
    if (mkdtemp(pattern) == nullptr)
        throw std::runtime_error("no scratch directory");
    m_directory = pattern;
    setenv("COMRT_REGISTRY", (m_directory + "/registry.db").c_str(), 1);
    ComRtCloseRegistryStore();
}

ScratchRegistry::~ScratchRegistry()
{
    ComRtCloseRegistryStore();
    std::filesystem::remove_all(m_directory);
}

bool keyExists(HKEY root, const std::string& subKey)
{
    HKEY hKey = nullptr;
    if (RegOpenKeyExA(root, subKey.c_str(), 0, KEY_READ, &hKey) != ERROR_SUCCESS)
        return false;
    RegCloseKey(hKey);
    return true;
}

std::string stringValue(HKEY root, const std::string& subKey, const char* name)
{
    HKEY hKey = nullptr;
    if (RegOpenKeyExA(root, subKey.c_str(), 0, KEY_READ, &hKey) != ERROR_SUCCESS)
        return "<missing>";
    char data[1024] = {};
    DWORD size = sizeof(data) - 1;
    DWORD type = 0;
    LONG rc = RegQueryValueExA(hKey, name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
    RegCloseKey(hKey);
    if (rc != ERROR_SUCCESS)
        return "<missing>";
    if (type != REG_SZ)
        return "<type " + std::to_string(type) + ">";
    return data;
}

std::vector<std::string> valueNames(HKEY root, const std::string& subKey)
{
    std::vector<std::string> names;
    HKEY hKey = nullptr;
    if (RegOpenKeyExA(root, subKey.c_str(), 0, KEY_READ, &hKey) != ERROR_SUCCESS)
        return names;
    for (DWORD i = 0;; ++i) {
        char name[256];
        DWORD length = sizeof(name);
        if (RegEnumValueA(hKey, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        names.emplace_back(name, length);
    }
    RegCloseKey(hKey);
    return names;
}

std::vector<std::string> subKeyNames(HKEY root, const std::string& subKey)
{
    std::vector<std::string> names;
    HKEY hKey = nullptr;
    if (RegOpenKeyExA(root, subKey.c_str(), 0, KEY_READ, &hKey) != ERROR_SUCCESS)
        return names;
    for (DWORD i = 0;; ++i) {
        char name[256];
        DWORD length = sizeof(name);
        if (RegEnumKeyExA(hKey, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        names.emplace_back(name, length);
    }
    RegCloseKey(hKey);
    return names;
}

} // namespace servertest
