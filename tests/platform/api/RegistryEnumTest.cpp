// Enumerating sub-keys and values, and what RegQueryInfoKeyA reports of a key:
// contents, order, counts and the sizes short buffers are answered with.
#include "tests/platform/api/RegistryFixture.h"

#include <algorithm>
#include <cstring>
#include <string>

using namespace apitest;

namespace {

TEST_F(RegistryTest, EnumKeys)
{
    char name[16];
    DWORD size = sizeof name;
    LONG rc = RegEnumKeyExA(m_root, 0, name, &size, nullptr, nullptr, nullptr, nullptr);
    ok(rc == ERROR_NO_MORE_ITEMS) << "empty key: " << rc;

    for (const char* each : {"charlie", "Alpha", "bravo"})
        RegCloseKey(create(each));
    ok(subKeyNames(m_root) == (std::vector<std::string>{"Alpha", "bravo", "charlie"})) << "sorted without case";

    // Too short by the terminator: ERROR_MORE_DATA, name and size untouched.
    std::memset(name, '#', sizeof name);
    size = 7;
    rc = RegEnumKeyExA(m_root, 2, name, &size, nullptr, nullptr, nullptr, nullptr);
    ok(rc == ERROR_MORE_DATA) << rc;
    ok(size == 7) << size;
    ok(name[0] == '#' || std::strncmp(name, "charli", 6) == 0) << name[0];

    FILETIME written = {SENTINEL_DWORD, SENTINEL_DWORD};
    size = 8;
    rc = RegEnumKeyExA(m_root, 2, name, &size, nullptr, nullptr, nullptr, &written);
    ok(rc == ERROR_SUCCESS) << rc;
    ok(size == 7) << size;
    ok(std::strcmp(name, "charlie") == 0) << name;
    ok(written.dwHighDateTime != SENTINEL_DWORD && written.dwHighDateTime != 0) << written.dwHighDateTime;

    // The class, when asked for.
    char className[16];
    DWORD classSize = sizeof className;
    std::memset(className, '#', sizeof className);
    size = sizeof name;
    rc = RegEnumKeyExA(m_root, 0, name, &size, nullptr, className, &classSize, nullptr);
    ok(rc == ERROR_SUCCESS) << rc;
    ok(classSize == 0) << classSize;
    ok(className[0] == 0) << className[0];

    // Past the end, and bad arguments.
    size = sizeof name;
    std::memset(name, '#', sizeof name);
    rc = RegEnumKeyExA(m_root, 3, name, &size, nullptr, nullptr, nullptr, nullptr);
    ok(rc == ERROR_NO_MORE_ITEMS) << rc;
    ok(size == sizeof name) << size;
    ok(name[0] == '#');
    DWORD reserved = 0;
    rc = RegEnumKeyExA(m_root, 0, name, &size, &reserved, nullptr, nullptr, nullptr);
    ok(rc == ERROR_INVALID_PARAMETER) << rc;
    rc = RegEnumKeyExA(SENTINEL_KEY, 0, name, &size, nullptr, nullptr, nullptr, nullptr);
    ok(rc == ERROR_INVALID_HANDLE) << rc;

    // Deleting at index 0 until nothing is left empties the key.
    for (size = sizeof name; RegEnumKeyExA(m_root, 0, name, &size, nullptr, nullptr, nullptr, nullptr) == 0;
         size = sizeof name)
        ok(RegDeleteKeyA(m_root, name) == ERROR_SUCCESS) << name;
    ok(subKeyNames(m_root).empty());
}

TEST_F(RegistryTest, EnumValues)
{
    char name[20];
    char data[20];
    DWORD nameSize = sizeof name, dataSize = sizeof data, type = SENTINEL_DWORD;
    LONG rc = RegEnumValueA(m_root, 0, name, &nameSize, nullptr, &type, reinterpret_cast<BYTE*>(data), &dataSize);
    ok(rc == ERROR_NO_MORE_ITEMS) << "empty key: " << rc;
    ok(type == SENTINEL_DWORD) << type;

    ok(RegSetValueExA(m_root, "Test", 0, REG_SZ, reinterpret_cast<const BYTE*>("foobar"), 7) == ERROR_SUCCESS);
    const auto reset = [&](DWORD names, DWORD datas) {
        nameSize = names;
        dataSize = datas;
        type = SENTINEL_DWORD;
        std::strcpy(name, "xxxxxxxxxx");
        std::strcpy(data, "xxxxxxxxxx");
    };
    const auto enumerate = [&] {
        return RegEnumValueA(m_root, 0, name, &nameSize, nullptr, &type, reinterpret_cast<BYTE*>(data), &dataSize);
    };

    // Name and data too short: the data's size and the type, nothing else.
    reset(2, 2);
    rc = enumerate();
    ok(rc == ERROR_MORE_DATA) << rc;
    ok(nameSize == 2) << nameSize;
    ok(dataSize == 7) << dataSize;
    ok(type == REG_SZ) << type;
    ok(std::strcmp(name, "xxxxxxxxxx") == 0) << name;
    ok(std::strcmp(data, "xxxxxxxxxx") == 0) << data;

    // Name too short by its terminator.
    reset(4, 20);
    rc = enumerate();
    ok(rc == ERROR_MORE_DATA) << rc;
    ok(nameSize == 4) << nameSize;
    ok(dataSize == 7) << dataSize;
    ok(type == REG_SZ) << type;

    // No room for a name at all.
    reset(0, 20);
    rc = enumerate();
    ok(rc == ERROR_MORE_DATA) << rc;
    ok(nameSize == 0) << nameSize;
    ok(dataSize == 7) << dataSize;

    // Data too short.
    reset(20, 6);
    rc = enumerate();
    ok(rc == ERROR_MORE_DATA) << rc;
    ok(nameSize == 20) << nameSize;
    ok(dataSize == 7) << dataSize;
    ok(type == REG_SZ) << type;
    ok(std::strcmp(data, "xxxxxxxxxx") == 0) << data;

    // Room for both.
    reset(20, 20);
    rc = enumerate();
    ok(rc == ERROR_SUCCESS) << rc;
    ok(nameSize == 4) << nameSize;
    ok(dataSize == 7) << dataSize;
    ok(type == REG_SZ) << type;
    ok(std::strcmp(name, "Test") == 0) << name;
    ok(std::strcmp(data, "foobar") == 0) << data;

    // The data's size without its bytes.
    reset(20, 0);
    rc = RegEnumValueA(m_root, 0, name, &nameSize, nullptr, &type, nullptr, &dataSize);
    ok(rc == ERROR_SUCCESS) << rc;
    ok(dataSize == 7) << dataSize;
    ok(nameSize == 4) << nameSize;

    // Missing name buffer or size, a reserved pointer, past the end.
    reset(20, 20);
    rc = RegEnumValueA(m_root, 0, nullptr, &nameSize, nullptr, &type, nullptr, nullptr);
    ok(rc == ERROR_INVALID_PARAMETER) << rc;
    rc = RegEnumValueA(m_root, 0, name, nullptr, nullptr, &type, nullptr, nullptr);
    ok(rc == ERROR_INVALID_PARAMETER) << rc;
    rc = RegEnumValueA(m_root, 0, nullptr, nullptr, nullptr, &type, nullptr, nullptr);
    ok(rc == ERROR_INVALID_PARAMETER) << rc;
    DWORD reserved = 0;
    rc = RegEnumValueA(m_root, 0, name, &nameSize, &reserved, &type, nullptr, nullptr);
    ok(rc == ERROR_INVALID_PARAMETER) << rc;
    reset(20, 20);
    rc = enumerate();
    ok(rc == ERROR_SUCCESS);
    reset(20, 20);
    rc = RegEnumValueA(m_root, 1, name, &nameSize, nullptr, &type, reinterpret_cast<BYTE*>(data), &dataSize);
    ok(rc == ERROR_NO_MORE_ITEMS) << rc;
    ok(nameSize == 20 && dataSize == 20 && type == SENTINEL_DWORD) << nameSize << " " << dataSize << " " << type;

    // Every value once, under the name it was made with; replacing one keeps its
    // name (the order is the store's own).
    RegDeleteValueA(m_root, "Test");
    for (const char* each : {"zulu", "Alpha", "mike"})
        ok(setString(m_root, each, each) == ERROR_SUCCESS);
    ok(setString(m_root, "ZULU", "replaced") == ERROR_SUCCESS);
    std::vector<std::string> names = valueNames(m_root);
    std::sort(names.begin(), names.end());
    ok(names == (std::vector<std::string>{"Alpha", "mike", "zulu"}));
}

TEST_F(RegistryTest, QueryInfoKey)
{
    // An empty key: every count zero, every out-parameter written.
    char className[16];
    DWORD classSize = sizeof className, subKeys = SENTINEL_DWORD, maxSubKey = SENTINEL_DWORD,
          maxClass = SENTINEL_DWORD, values = SENTINEL_DWORD, maxValueName = SENTINEL_DWORD,
          maxValue = SENTINEL_DWORD, security = SENTINEL_DWORD;
    FILETIME written = {SENTINEL_DWORD, SENTINEL_DWORD};
    std::memset(className, '#', sizeof className);
    const auto query = [&] {
        return RegQueryInfoKeyA(m_root, className, &classSize, nullptr, &subKeys, &maxSubKey, &maxClass, &values,
                                &maxValueName, &maxValue, &security, &written);
    };
    LONG rc = query();
    ok(rc == ERROR_SUCCESS) << rc;
    ok(classSize == 0) << classSize;
    ok(className[0] == 0) << className[0];
    ok(subKeys == 0) << subKeys;
    ok(maxSubKey == 0) << maxSubKey;
    ok(maxClass == 0) << maxClass;
    ok(values == 0) << values;
    ok(maxValueName == 0) << maxValueName;
    ok(maxValue == 0) << maxValue;
    ok(security != SENTINEL_DWORD) << security;
    ok(written.dwHighDateTime != SENTINEL_DWORD && written.dwHighDateTime != 0) << written.dwHighDateTime;

    // Sub-keys (one with a class), values: counts and the longest of each.
    HKEY sub = nullptr;
    char someClass[] = "SomeClass";
    ok(RegCreateKeyExA(m_root, "Sub", 0, someClass, 0, KEY_ALL_ACCESS, nullptr, &sub, nullptr) == ERROR_SUCCESS);
    RegCloseKey(sub);
    RegCloseKey(create("LongerSub"));
    ok(setString(m_root, "Name", "12345678") == ERROR_SUCCESS);
    ok(setString(m_root, "LongestName", "1") == ERROR_SUCCESS);
    ok(setString(m_root, nullptr, "") == ERROR_SUCCESS);
    classSize = sizeof className;
    rc = query();
    ok(rc == ERROR_SUCCESS) << rc;
    ok(subKeys == 2) << subKeys;
    ok(maxSubKey == 9) << maxSubKey;
    ok(maxClass == 9) << maxClass;
    ok(values == 3) << values;
    ok(maxValueName == 11) << maxValueName;
    ON_LINUX_RUNTIME_DIFFERS("strings are stored as the narrow bytes given, not as UTF-16")
    ok(maxValue == 18) << "the longest data as the platform stores it: " << maxValue;

    // The class of the key itself, through a short buffer and a long one.
    HKEY classed = nullptr;
    ok(RegCreateKeyExA(m_root, "Classed", 0, someClass, 0, KEY_ALL_ACCESS, nullptr, &classed, nullptr) ==
       ERROR_SUCCESS);
    std::memset(className, '#', sizeof className);
    classSize = 9;
    subKeys = SENTINEL_DWORD;
    rc = RegQueryInfoKeyA(classed, className, &classSize, nullptr, &subKeys, nullptr, nullptr, nullptr, nullptr,
                          nullptr, nullptr, nullptr);
    ok(rc == ERROR_MORE_DATA) << rc;
    ON_WINE_DIFFERS("Wine reports one less than the class's length")
    ok(classSize == 9) << "the length without the terminator: " << classSize;
    classSize = 10;
    rc = RegQueryInfoKeyA(classed, className, &classSize, nullptr, &subKeys, nullptr, nullptr, nullptr, nullptr,
                          nullptr, nullptr, nullptr);
    ok(rc == ERROR_SUCCESS) << rc;
    ok(classSize == 9) << classSize;
    ok(std::strcmp(className, "SomeClass") == 0) << className;
    ok(subKeys == 0) << subKeys;
    // The class's length alone.
    classSize = SENTINEL_DWORD;
    rc = RegQueryInfoKeyA(classed, nullptr, &classSize, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                          nullptr, nullptr);
    ok(rc == ERROR_SUCCESS) << rc;
    ok(classSize == 9) << classSize;
    RegCloseKey(classed);

    // Every out-parameter may be left out.
    rc = RegQueryInfoKeyA(m_root, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                          nullptr, nullptr);
    ok(rc == ERROR_SUCCESS) << rc;
    subKeys = SENTINEL_DWORD;
    rc = RegQueryInfoKeyA(SENTINEL_KEY, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, nullptr, nullptr,
                          nullptr, nullptr, nullptr);
    ok(rc == ERROR_INVALID_HANDLE) << rc;
    ok(subKeys == SENTINEL_DWORD) << subKeys;
}

} // namespace
