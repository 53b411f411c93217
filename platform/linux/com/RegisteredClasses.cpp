// Reading class registrations.
#include "platform/Registry.h"
#include "platform/linux/com/GuidText.h"
#include "platform/linux/com/RegisteredClasses.h"

#include <cstdlib>
#include <vector>

namespace comrt {

namespace {

// Replaces %NAME% by the environment variable, as REG_EXPAND_SZ asks.
std::string expandEnvironment(const std::string& text)
{
    std::string out;
    for (size_t i = 0; i < text.size();) {
        size_t close = text[i] == '%' ? text.find('%', i + 1) : std::string::npos;
        if (close == std::string::npos) {
            out.push_back(text[i++]);
            continue;
        }
        std::string name = text.substr(i + 1, close - i - 1);
        const char* value = name.empty() ? nullptr : std::getenv(name.c_str());
        out += value ? std::string(value) : text.substr(i, close - i + 1);
        i = close + 1;
    }
    return out;
}

} // namespace

bool readClassesRootText(const std::string& subKey, std::string& text)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, subKey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    std::vector<BYTE> data(MAX_PATH);
    DWORD type = REG_NONE;
    LONG rc;
    for (;;) {
        DWORD size = static_cast<DWORD>(data.size());
        rc = RegQueryValueExA(key, nullptr, nullptr, &type, data.data(), &size);
        if (rc == ERROR_MORE_DATA) {
            data.resize(size + 1);
            continue;
        }
        data.resize(rc == ERROR_SUCCESS ? size : 0);
        break;
    }
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ))
        return false;
    // The stored text may or may not carry its terminator.
    text.assign(reinterpret_cast<const char*>(data.data()), data.size());
    size_t nul = text.find('\0');
    if (nul != std::string::npos)
        text.resize(nul);
    if (type == REG_EXPAND_SZ)
        text = expandEnvironment(text);
    return true;
}

HRESULT findInprocServer(REFCLSID clsid, std::string& path)
{
    std::string text;
    if (!readClassesRootText("CLSID\\" + guidToText(clsid) + "\\InprocServer32", text))
        return REGDB_E_CLASSNOTREG;
    // Paths with blanks are sometimes registered in quotes.
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"')
        text = text.substr(1, text.size() - 2);
    if (text.empty())
        return REGDB_E_CLASSNOTREG;
    path = text;
    return S_OK;
}

} // namespace comrt
