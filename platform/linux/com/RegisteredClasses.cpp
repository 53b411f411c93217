// Reading class registrations.
#include "platform/linux/com/RegisteredClasses.h"

#include "platform/linux/com/GuidText.h"
#include "platform/linux/registry/KeyHandle.h"

#include <cstdlib>

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
    registry::KeyHandle key;
    if (!key.open(HKEY_CLASSES_ROOT, subKey, KEY_READ))
        return false;
    DWORD type = REG_NONE;
    std::optional<std::string> value = key.text(nullptr, &type);
    if (!value)
        return false;
    text = type == REG_EXPAND_SZ ? expandEnvironment(*value) : *value;
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
