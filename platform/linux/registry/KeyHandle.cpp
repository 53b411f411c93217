#include "platform/linux/registry/KeyHandle.h"

namespace comrt::registry {

void KeyHandle::close()
{
    if (m_key != nullptr)
        RegCloseKey(m_key);
    m_key = nullptr;
}

bool KeyHandle::open(HKEY parent, const std::string& path, REGSAM access)
{
    close();
    return RegOpenKeyExA(parent, path.c_str(), 0, access, &m_key) == ERROR_SUCCESS;
}

bool KeyHandle::create(HKEY parent, const std::string& path, DWORD* disposition)
{
    close();
    return RegCreateKeyExA(parent, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                           &m_key, disposition) == ERROR_SUCCESS;
}

std::optional<std::string> KeyHandle::text(const char* name, DWORD* type) const
{
    std::vector<BYTE> data(MAX_PATH);
    DWORD found = REG_NONE;
    for (;;) {
        DWORD size = static_cast<DWORD>(data.size());
        const LONG rc = RegQueryValueExA(m_key, name, nullptr, &found, data.data(), &size);
        // Another writer may have made it longer since the size was learnt.
        if (rc == ERROR_MORE_DATA) {
            data.resize(size + 1);
            continue;
        }
        if (rc != ERROR_SUCCESS || (found != REG_SZ && found != REG_EXPAND_SZ))
            return std::nullopt;
        data.resize(size);
        break;
    }
    // The stored text may or may not carry its terminator.
    std::string text(reinterpret_cast<const char*>(data.data()), data.size());
    const size_t nul = text.find('\0');
    if (nul != std::string::npos)
        text.resize(nul);
    if (type != nullptr)
        *type = found;
    return text;
}

bool KeyHandle::setText(const char* name, const std::string& text) const
{
    return RegSetValueExA(m_key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>(text.size() + 1)) == ERROR_SUCCESS;
}

bool KeyHandle::createWithText(const std::string& path, const std::string& text) const
{
    KeyHandle key;
    return key.create(m_key, path) && key.setText(nullptr, text);
}

std::optional<std::vector<std::string>> KeyHandle::subkeyNames() const
{
    std::vector<std::string> names;
    for (DWORD i = 0;; ++i) {
        char name[256];
        DWORD length = sizeof name;
        const LONG rc = RegEnumKeyExA(m_key, i, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_NO_MORE_ITEMS)
            return names;
        if (rc != ERROR_SUCCESS)
            return std::nullopt;
        names.emplace_back(name, length);
    }
}

} // namespace comrt::registry
