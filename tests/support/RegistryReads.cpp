#include "tests/support/RegistryReads.h"

namespace testkit {

namespace {

// An open key, closed when it goes.
class Key {
public:
    Key(HKEY root, const std::string& path, REGSAM access = KEY_READ)
    {
        if (RegOpenKeyExA(root, path.c_str(), 0, access, &m_key) != ERROR_SUCCESS)
            m_key = nullptr;
    }
    ~Key()
    {
        if (m_key != nullptr)
            RegCloseKey(m_key);
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;

    HKEY get() const { return m_key; }

private:
    HKEY m_key = nullptr;
};

template <class Enumerate>
std::vector<std::string> namesOf(HKEY key, Enumerate enumerate)
{
    std::vector<std::string> names;
    if (key == nullptr)
        return names;
    for (DWORD i = 0;; ++i) {
        char name[16384];
        DWORD length = sizeof name;
        if (enumerate(key, i, name, &length) != ERROR_SUCCESS)
            break;
        names.emplace_back(name, length);
    }
    return names;
}

} // namespace

bool keyExists(HKEY root, const std::string& path)
{
    return Key(root, path).get() != nullptr;
}

std::optional<RegistryValue> readValue(HKEY root, const std::string& path, const char* name)
{
    Key key(root, path);
    if (key.get() == nullptr)
        return std::nullopt;
    RegistryValue value;
    DWORD size = 0;
    if (RegQueryValueExA(key.get(), name, nullptr, &value.type, nullptr, &size) != ERROR_SUCCESS)
        return std::nullopt;
    value.data.resize(size);
    if (size > 0 &&
        RegQueryValueExA(key.get(), name, nullptr, &value.type, value.data.data(), &size) != ERROR_SUCCESS)
        return std::nullopt;
    value.data.resize(size);
    return value;
}

std::optional<std::string> stringValue(HKEY root, const std::string& path, const char* name)
{
    std::optional<RegistryValue> value = readValue(root, path, name);
    if (!value || (value->type != REG_SZ && value->type != REG_EXPAND_SZ))
        return std::nullopt;
    std::string text(value->data.begin(), value->data.end());
    while (!text.empty() && text.back() == '\0')
        text.pop_back();
    return text;
}

std::vector<std::string> subKeyNames(HKEY key)
{
    return namesOf(key, [](HKEY k, DWORD i, char* name, DWORD* length) {
        return RegEnumKeyExA(k, i, name, length, nullptr, nullptr, nullptr, nullptr);
    });
}

std::vector<std::string> subKeyNames(HKEY root, const std::string& path)
{
    return subKeyNames(Key(root, path).get());
}

std::vector<std::string> valueNames(HKEY key)
{
    return namesOf(key, [](HKEY k, DWORD i, char* name, DWORD* length) {
        return RegEnumValueA(k, i, name, length, nullptr, nullptr, nullptr, nullptr);
    });
}

std::vector<std::string> valueNames(HKEY root, const std::string& path)
{
    return valueNames(Key(root, path).get());
}

bool writeString(HKEY root, const std::string& path, const char* name, const std::string& value)
{
    HKEY key = nullptr;
    if (RegCreateKeyExA(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_READ | KEY_WRITE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return false;
    const LONG rc = RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                   static_cast<DWORD>(value.size() + 1));
    RegCloseKey(key);
    return rc == ERROR_SUCCESS;
}

} // namespace testkit
