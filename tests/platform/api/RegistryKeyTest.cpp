// Opening, creating and deleting keys: paths, name limits, dispositions, rights,
// and what each call leaves in its out-parameters.
#include "tests/platform/api/RegistryFixture.h"

#include <string>

using namespace apitest;

namespace {

const std::string k255(255, 'k');
const std::string k256(256, 'k');

TEST_F(RegistryTest, OpenKey)
{
    HKEY key = SENTINEL_KEY;
    LONG rc = RegOpenKeyExA(m_root, "Absent", 0, KEY_READ, &key);
    ok(rc == ERROR_FILE_NOT_FOUND) << rc;
    ok(key == nullptr) << "a failed open writes null, got " << key;

    RegCloseKey(create("Present\\Child"));
    key = SENTINEL_KEY;
    rc = RegOpenKeyExA(m_root, "Present\\Child", 0, KEY_READ, &key);
    ok(rc == ERROR_SUCCESS) << rc;
    ok(key != nullptr && key != SENTINEL_KEY) << key;
    ok(RegCloseKey(key) == ERROR_SUCCESS);

    // Names compare without case.
    key = SENTINEL_KEY;
    rc = RegOpenKeyExA(m_root, "PRESENT\\child", 0, KEY_READ, &key);
    ok(rc == ERROR_SUCCESS) << rc;
    RegCloseKey(key);

    // Null and empty sub-keys open the key itself again, as a new handle.
    for (const char* self : {static_cast<const char*>(nullptr), ""}) {
        key = SENTINEL_KEY;
        rc = RegOpenKeyExA(m_root, self, 0, KEY_READ, &key);
        ok(rc == ERROR_SUCCESS) << rc;
        ok(key != nullptr && key != SENTINEL_KEY && key != m_root) << key;
        RegCloseKey(key);
    }

    // Empty path components.
    key = SENTINEL_KEY;
    rc = RegOpenKeyExA(m_root, "Present\\", 0, KEY_READ, &key);
    ok(rc == ERROR_SUCCESS) << "trailing backslash: " << rc;
    RegCloseKey(key);
    key = SENTINEL_KEY;
    rc = RegOpenKeyExA(m_root, "\\Present", 0, KEY_READ, &key);
    ok(rc == ERROR_BAD_PATHNAME) << "leading backslash: " << rc;
    ok(key == nullptr) << key;
    key = SENTINEL_KEY;
    rc = RegOpenKeyExA(m_root, "Present\\\\Child", 0, KEY_READ, &key);
    ok(rc == ERROR_SUCCESS) << "doubled backslash: " << rc;
    RegCloseKey(key);

    // Bad handles.
    key = SENTINEL_KEY;
    rc = RegOpenKeyExA(nullptr, "Software", 0, KEY_READ, &key);
    ok(rc == ERROR_INVALID_HANDLE) << rc;
    ok(key == SENTINEL_KEY) << "untouched: " << key;
    key = SENTINEL_KEY;
    rc = RegOpenKeyExA(SENTINEL_KEY, "Software", 0, KEY_READ, &key);
    ok(rc == ERROR_INVALID_HANDLE) << rc;
    ok(key == nullptr) << key;
}

TEST_F(RegistryTest, CreateKey)
{
    HKEY key = SENTINEL_KEY;
    DWORD disposition = SENTINEL_DWORD;
    LONG rc = RegCreateKeyExA(m_root, "New\\Deeper\\Deepest", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                              &disposition);
    ok(rc == ERROR_SUCCESS) << rc;
    ok(disposition == REG_CREATED_NEW_KEY) << disposition;
    ok(key != nullptr && key != SENTINEL_KEY) << key;
    RegCloseKey(key);
    ok(subKeyNames(m_root) == std::vector<std::string>{"New"});

    // Another spelling of the same path opens it and keeps the first spelling.
    disposition = SENTINEL_DWORD;
    rc = RegCreateKeyExA(m_root, "NEW\\deeper\\DEEPEST\\", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, &disposition);
    ok(rc == ERROR_SUCCESS) << rc;
    ok(disposition == REG_OPENED_EXISTING_KEY) << disposition;
    RegCloseKey(key);
    ok(subKeyNames(m_root) == std::vector<std::string>{"New"});

    // The disposition is optional; empty and null sub-keys open the key itself.
    rc = RegCreateKeyExA(m_root, "Other", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    ok(rc == ERROR_SUCCESS) << rc;
    RegCloseKey(key);
    key = SENTINEL_KEY;
    disposition = SENTINEL_DWORD;
    rc = RegCreateKeyExA(m_root, "", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, &disposition);
    ok(rc == ERROR_SUCCESS) << rc;
    ok(key != nullptr && key != SENTINEL_KEY && key != m_root) << key;
    RegCloseKey(key);

    // A leading backslash is refused, nothing made; doubled ones are one.
    key = SENTINEL_KEY;
    disposition = SENTINEL_DWORD;
    rc = RegCreateKeyExA(m_root, "\\Leading", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, &disposition);
    ok(rc == ERROR_BAD_PATHNAME) << rc;
    ok(key == nullptr) << key;
    ok(disposition == SENTINEL_DWORD) << disposition;
    rc = RegCreateKeyExA(m_root, "Double\\\\Slash", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, &disposition);
    ok(rc == ERROR_SUCCESS) << rc;
    RegCloseKey(key);
    ok(subKeyNames(m_root) == (std::vector<std::string>{"Double", "New", "Other"}));

    // A bad handle.
    disposition = SENTINEL_DWORD;
    key = SENTINEL_KEY;
    rc = RegCreateKeyExA(SENTINEL_KEY, "x", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, &disposition);
    ok(rc == ERROR_INVALID_HANDLE) << rc;
    ok(disposition == SENTINEL_DWORD) << disposition;
    ok(subKeyNames(m_root).size() == 3);
}

TEST_F(RegistryTest, KeyNameLimits)
{
    HKEY key = SENTINEL_KEY;
    LONG rc = RegCreateKeyExA(m_root, k255.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    ok(rc == ERROR_SUCCESS) << "255 characters: " << rc;
    RegCloseKey(key);
    key = SENTINEL_KEY;
    rc = RegOpenKeyExA(m_root, k255.c_str(), 0, KEY_READ, &key);
    ok(rc == ERROR_SUCCESS) << rc;
    RegCloseKey(key);

    // Past the documented 255 characters.
    key = SENTINEL_KEY;
    rc = RegCreateKeyExA(m_root, k256.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    ON_WINE_DIFFERS("Wine takes key names longer than 255 characters")
    {
        ok(rc == ERROR_INVALID_PARAMETER) << "256 characters: " << rc;
        ok(key == nullptr) << key;
    }
    if (rc == ERROR_SUCCESS) {
        RegCloseKey(key);
        RegDeleteKeyA(m_root, k256.c_str());
    }
    key = SENTINEL_KEY;
    rc = RegOpenKeyExA(m_root, k256.c_str(), 0, KEY_READ, &key);
    ON_WINE_DIFFERS("Wine takes key names longer than 255 characters")
    ok(rc == ERROR_INVALID_PARAMETER) << rc;
    ok(key == nullptr) << key;
    ok(subKeyNames(m_root) == std::vector<std::string>{k255});

    // Enumeration hands a 255-character name out whole in 256 characters.
    char name[300];
    DWORD size = 256;
    rc = RegEnumKeyExA(m_root, 0, name, &size, nullptr, nullptr, nullptr, nullptr);
    ok(rc == ERROR_SUCCESS) << rc;
    ok(size == 255) << size;
    RegDeleteTreeA(m_root, k255.c_str());
}

TEST_F(RegistryTest, HandleRights)
{
    RegCloseKey(create("Rights\\Sub"));
    HKEY reader = nullptr, writer = nullptr;
    ok(RegOpenKeyExA(m_root, "Rights", 0, KEY_READ, &reader) == ERROR_SUCCESS);
    ok(RegOpenKeyExA(m_root, "Rights", 0, KEY_SET_VALUE, &writer) == ERROR_SUCCESS);

    LONG rc = setString(reader, "v", "x");
    ok(rc == ERROR_ACCESS_DENIED) << rc;
    rc = setString(writer, "v", "x");
    ok(rc == ERROR_SUCCESS) << rc;
    DWORD size = SENTINEL_DWORD;
    rc = RegQueryValueExA(writer, "v", nullptr, nullptr, nullptr, &size);
    ok(rc == ERROR_ACCESS_DENIED) << rc;
    ok(size == 0) << "a size asked for alone is 0 on failure: " << size;
    rc = RegQueryValueExA(reader, "v", nullptr, nullptr, nullptr, &size);
    ok(rc == ERROR_SUCCESS && size == 2) << rc << " " << size;
    rc = RegDeleteValueA(reader, "v");
    ok(rc == ERROR_ACCESS_DENIED) << rc;

    char name[16];
    size = sizeof name;
    rc = RegEnumKeyExA(writer, 0, name, &size, nullptr, nullptr, nullptr, nullptr);
    ok(rc == ERROR_ACCESS_DENIED) << rc;
    size = sizeof name;
    rc = RegEnumKeyExA(reader, 0, name, &size, nullptr, nullptr, nullptr, nullptr);
    ok(rc == ERROR_SUCCESS) << rc;
    DWORD subKeys = SENTINEL_DWORD;
    rc = RegQueryInfoKeyA(writer, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, nullptr, nullptr, nullptr,
                          nullptr, nullptr);
    ON_WINE_DIFFERS("Wine describes a key through a handle without KEY_QUERY_VALUE")
    {
        ok(rc == ERROR_ACCESS_DENIED) << rc;
        ok(subKeys == SENTINEL_DWORD) << subKeys;
    }

    // Making a new sub-key needs the right to; opening an existing one through create does not.
    HKEY key = SENTINEL_KEY;
    rc = RegCreateKeyExA(reader, "Made", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    ON_WINE_DIFFERS("Wine's server does not check the parent's rights when it creates a key")
    ok(rc == ERROR_ACCESS_DENIED) << rc;
    if (rc == ERROR_SUCCESS)
        RegCloseKey(key);
    DWORD disposition = SENTINEL_DWORD;
    rc = RegCreateKeyExA(reader, "Sub", 0, nullptr, 0, KEY_READ, nullptr, &key, &disposition);
    ok(rc == ERROR_SUCCESS) << rc;
    ok(disposition == REG_OPENED_EXISTING_KEY) << disposition;
    RegCloseKey(key);
    RegCloseKey(reader);
    RegCloseKey(writer);
}

TEST_F(RegistryTest, DeleteKey)
{
    RegCloseKey(create("Tree\\Leaf"));
    LONG rc = RegDeleteKeyA(m_root, "Tree");
    ok(rc == ERROR_ACCESS_DENIED) << "a key with sub-keys: " << rc;
    rc = RegDeleteKeyA(m_root, "Tree\\Absent");
    ok(rc == ERROR_FILE_NOT_FOUND) << rc;
    rc = RegDeleteKeyA(m_root, "Absent\\Leaf");
    ok(rc == ERROR_FILE_NOT_FOUND) << rc;
    rc = RegDeleteKeyA(m_root, nullptr);
    ok(rc == ERROR_INVALID_PARAMETER) << rc;
    rc = RegDeleteKeyA(SENTINEL_KEY, "Tree");
    ok(rc == ERROR_INVALID_HANDLE) << rc;
    rc = RegDeleteKeyA(m_root, "\\Tree\\Leaf");
    ok(rc == ERROR_BAD_PATHNAME) << rc;

    rc = RegDeleteKeyA(m_root, "TREE\\leaf");
    ok(rc == ERROR_SUCCESS) << rc;
    ok(subKeyNames(m_root) == std::vector<std::string>{"Tree"});

    // An empty sub-key deletes the key the handle stands for; the handle then
    // answers ERROR_KEY_DELETED.
    HKEY tree = create("Tree");
    rc = RegDeleteKeyA(tree, "");
    ok(rc == ERROR_SUCCESS) << rc;
    ok(subKeyNames(m_root).empty());
    HKEY key = SENTINEL_KEY;
    rc = RegOpenKeyExA(tree, "", 0, KEY_READ, &key);
    ok(rc == ERROR_KEY_DELETED) << rc;
    rc = RegCreateKeyExA(tree, "Sub", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    ok(rc == ERROR_KEY_DELETED) << rc;
    rc = setString(tree, "v", "x");
    ok(rc == ERROR_KEY_DELETED) << rc;
    DWORD size = SENTINEL_DWORD;
    rc = RegQueryValueExA(tree, "v", nullptr, nullptr, nullptr, &size);
    ok(rc == ERROR_KEY_DELETED) << rc;
    ok(size == 0) << size;
    rc = RegDeleteValueA(tree, "v");
    ok(rc == ERROR_KEY_DELETED) << rc;
    char name[16];
    size = sizeof name;
    rc = RegEnumKeyExA(tree, 0, name, &size, nullptr, nullptr, nullptr, nullptr);
    ok(rc == ERROR_KEY_DELETED) << rc;
    rc = RegEnumValueA(tree, 0, name, &size, nullptr, nullptr, nullptr, nullptr);
    ok(rc == ERROR_KEY_DELETED) << rc;
    DWORD count = SENTINEL_DWORD;
    rc = RegQueryInfoKeyA(tree, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr, nullptr, nullptr,
                          nullptr, nullptr);
    ok(rc == ERROR_KEY_DELETED) << rc;
    ok(count == SENTINEL_DWORD) << count;
    ok(RegCloseKey(tree) == ERROR_SUCCESS);
}

TEST_F(RegistryTest, DeleteTree)
{
    HKEY leaf = create("Tree\\Branch\\Leaf");
    ok(setString(leaf, "deep", "1") == ERROR_SUCCESS);
    RegCloseKey(leaf);
    HKEY tree = create("Tree");
    ok(setString(tree, nullptr, "top") == ERROR_SUCCESS);
    RegCloseKey(create("Tree\\Other"));
    RegCloseKey(create("TreeSibling"));

    LONG rc = RegDeleteTreeA(m_root, "tREE");
    ok(rc == ERROR_SUCCESS) << rc;
    ok(subKeyNames(m_root) == std::vector<std::string>{"TreeSibling"});
    rc = RegDeleteTreeA(m_root, "Tree");
    ok(rc == ERROR_FILE_NOT_FOUND) << rc;
    rc = RegDeleteTreeA(m_root, "Absent\\Leaf");
    ok(rc == ERROR_FILE_NOT_FOUND) << rc;
    rc = RegDeleteTreeA(SENTINEL_KEY, "TreeSibling");
    ok(rc == ERROR_INVALID_HANDLE) << rc;
    RegCloseKey(tree);

    // Without a sub-key the key is emptied and stays.
    HKEY holder = create("Holder");
    RegCloseKey(create("Holder\\A\\B"));
    ok(setString(holder, "v", "x") == ERROR_SUCCESS);
    ok(setString(holder, nullptr, "default") == ERROR_SUCCESS);
    rc = RegDeleteTreeA(holder, nullptr);
    ok(rc == ERROR_SUCCESS) << rc;
    ok(subKeyNames(holder).empty());
    ok(valueNames(holder).empty());
    ok(setString(holder, "again", "y") == ERROR_SUCCESS);
    rc = RegDeleteTreeA(holder, "");
    ok(rc == ERROR_SUCCESS) << rc;
    ok(valueNames(holder).empty());
    RegCloseKey(holder);
    ok(subKeyNames(m_root) == (std::vector<std::string>{"Holder", "TreeSibling"}));
}

TEST_F(RegistryTest, CloseKey)
{
    HKEY key = create("Closed");
    ok(RegCloseKey(key) == ERROR_SUCCESS);
    LONG rc = RegCloseKey(key);
    ok(rc == ERROR_INVALID_HANDLE) << rc;
    rc = RegCloseKey(nullptr);
    ok(rc == ERROR_INVALID_HANDLE) << rc;
    // The predefined roots are not really closed.
    rc = RegCloseKey(HKEY_CURRENT_USER);
    ok(rc == ERROR_SUCCESS) << rc;
    HKEY again = SENTINEL_KEY;
    rc = RegOpenKeyExA(HKEY_CURRENT_USER, kRootPath, 0, KEY_READ, &again);
    ok(rc == ERROR_SUCCESS) << rc;
    RegCloseKey(again);
}

} // namespace
