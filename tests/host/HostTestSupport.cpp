#include "tests/host/HostTestSupport.h"

#include <cstdio>

namespace host {

Text widen(const std::string& ansi)
{
    if (ansi.empty())
        return {};
    const int length = MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), nullptr, 0);
    Text wide(static_cast<size_t>(length > 0 ? length : 0), OLECHAR(0));
    MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), wide.data(), length);
    return wide;
}

std::string guidText(const GUID& guid)
{
    char text[40];
    std::snprintf(text, sizeof text, "{%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  static_cast<unsigned long>(guid.Data1), guid.Data2, guid.Data3, guid.Data4[0], guid.Data4[1],
                  guid.Data4[2], guid.Data4[3], guid.Data4[4], guid.Data4[5], guid.Data4[6], guid.Data4[7]);
    return text;
}

std::string printable(const Text& text)
{
    std::string out;
    for (const OLECHAR c : text) {
        if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
        } else {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04X", static_cast<unsigned>(c));
            out += escape;
        }
    }
    return out;
}

namespace {

template <class F>
F exportOf(HMODULE module, const char* name)
{
    return module ? reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
}

} // namespace

LoadedModule::LoadedModule(const std::string& path) : m_module(LoadLibraryA(path.c_str()))
{
    m_canUnloadNow = exportOf<CanUnloadNowFn>(m_module, "DllCanUnloadNow");
    m_getClassObject = exportOf<GetClassObjectFn>(m_module, "DllGetClassObject");
    m_register = exportOf<RegisterServerFn>(m_module, "DllRegisterServer");
    m_unregister = exportOf<RegisterServerFn>(m_module, "DllUnregisterServer");
}

LoadedModule::~LoadedModule()
{
    if (m_module)
        FreeLibrary(m_module);
}

} // namespace host
