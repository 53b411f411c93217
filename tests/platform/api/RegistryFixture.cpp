#include "tests/platform/api/RegistryFixture.h"

#include <cstring>

namespace apitest {

void RegistryTest::SetUp()
{
    RegDeleteTreeA(HKEY_CURRENT_USER, kRootPath);
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kRootPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &m_root, nullptr),
              ERROR_SUCCESS);
}

void RegistryTest::TearDown()
{
    RegCloseKey(m_root);
    RegDeleteTreeA(HKEY_CURRENT_USER, kRootPath);
}

HKEY RegistryTest::create(const char* path)
{
    HKEY key = nullptr;
    const LONG rc = RegCreateKeyExA(m_root, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    EXPECT_EQ(rc, ERROR_SUCCESS) << path;
    return key;
}

LONG RegistryTest::setString(HKEY key, const char* name, const char* text)
{
    return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                          static_cast<DWORD>(std::strlen(text) + 1));
}

LONG RegistryTest::setDword(HKEY key, const char* name, DWORD value)
{
    return RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

std::vector<std::string> subKeyNames(HKEY key)
{
    std::vector<std::string> names;
    char name[256];
    for (DWORD index = 0;; ++index) {
        DWORD size = sizeof name;
        if (RegEnumKeyExA(key, index, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            return names;
        names.emplace_back(name, size);
    }
}

std::vector<std::string> valueNames(HKEY key)
{
    std::vector<std::string> names;
    std::vector<char> name(16384);
    for (DWORD index = 0;; ++index) {
        DWORD size = static_cast<DWORD>(name.size());
        if (RegEnumValueA(key, index, name.data(), &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            return names;
        names.emplace_back(name.data(), size);
    }
}

} // namespace apitest
