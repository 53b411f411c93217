#include "tests/platform/linux/registry/StoreTestSupport.h"

namespace storetest {

HKEY createKey(HKEY parent, const char* path)
{
    HKEY key = nullptr;
    const LONG rc = RegCreateKeyExA(parent, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    EXPECT_EQ(rc, ERROR_SUCCESS) << "creating " << path;
    return key;
}

LONG setString(HKEY key, const char* name, const std::string& text)
{
    return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>(text.size() + 1));
}

std::string readString(HKEY key, const char* name)
{
    char buffer[4096];
    DWORD size = sizeof buffer;
    const LONG rc = RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size);
    if (rc != ERROR_SUCCESS)
        return "error " + std::to_string(rc);
    return std::string(buffer, size && buffer[size - 1] == 0 ? size - 1 : size);
}

} // namespace storetest
