// Setting, reading and deleting values: names, types, sizes, short buffers,
// and what each call leaves in its out-parameters.
#include "tests/platform/api/RegistryFixture.h"

#include <cstring>
#include <string>

using namespace apitest;

namespace {

const BYTE* bytes(const char* text)
{
    return reinterpret_cast<const BYTE*>(text);
}

TEST_F(RegistryTest, SetValue)
{
    LONG rc = RegSetValueExA(m_root, "Text", 0, REG_SZ, bytes("foobar"), 7);
    ok(rc == ERROR_SUCCESS) << rc;
    // Names compare without case; a second set replaces type and data, keeps the name.
    rc = setDword(m_root, "TEXT", 42);
    ok(rc == ERROR_SUCCESS) << rc;
    ok(valueNames(m_root) == std::vector<std::string>{"Text"});

    // Null and empty names are both the default value.
    rc = setString(m_root, nullptr, "default");
    ok(rc == ERROR_SUCCESS) << rc;
    DWORD size = SENTINEL_DWORD;
    rc = RegQueryValueExA(m_root, "", nullptr, nullptr, nullptr, &size);
    ok(rc == ERROR_SUCCESS && size == 8) << rc << " " << size;

    // Empty data, data without a pointer, and bad handles.
    rc = RegSetValueExA(m_root, "Empty", 0, REG_BINARY, nullptr, 0);
    ok(rc == ERROR_SUCCESS) << rc;
    rc = RegSetValueExA(m_root, "NoData", 0, REG_BINARY, nullptr, 4);
    ok(rc == ERROR_NOACCESS) << rc;
    rc = RegSetValueExA(SENTINEL_KEY, "v", 0, REG_SZ, bytes("x"), 2);
    ok(rc == ERROR_INVALID_HANDLE) << rc;
    rc = RegSetValueExA(nullptr, "v", 0, REG_SZ, bytes("x"), 2);
    ok(rc == ERROR_INVALID_HANDLE) << rc;

    // Data is kept at the size given, whatever its type says.
    rc = RegSetValueExA(m_root, "ShortDword", 0, REG_DWORD, bytes("ab"), 2);
    ok(rc == ERROR_SUCCESS) << rc;
    size = SENTINEL_DWORD;
    RegQueryValueExA(m_root, "ShortDword", nullptr, nullptr, nullptr, &size);
    ok(size == 2) << size;
}

TEST_F(RegistryTest, ValueNameLimits)
{
    const std::string longest(16383, 'v');
    const std::string tooLong(16384, 'v');
    LONG rc = setString(m_root, longest.c_str(), "x");
    ok(rc == ERROR_SUCCESS) << "16383 characters: " << rc;
    rc = setString(m_root, tooLong.c_str(), "x");
    ok(rc == ERROR_INVALID_PARAMETER) << "16384 characters: " << rc;
    DWORD size = SENTINEL_DWORD;
    rc = RegQueryValueExA(m_root, longest.c_str(), nullptr, nullptr, nullptr, &size);
    ok(rc == ERROR_SUCCESS && size == 2) << rc << " " << size;
    ok(valueNames(m_root) == std::vector<std::string>{longest});

    DWORD maxName = SENTINEL_DWORD;
    rc = RegQueryInfoKeyA(m_root, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &maxName, nullptr,
                          nullptr, nullptr);
    ok(rc == ERROR_SUCCESS && maxName == 16383) << rc << " " << maxName;

    // Enumeration needs room for the terminator too.
    std::vector<char> name(16384, '#');
    size = 16383;
    rc = RegEnumValueA(m_root, 0, name.data(), &size, nullptr, nullptr, nullptr, nullptr);
    ok(rc == ERROR_MORE_DATA) << rc;
    ok(size == 16383) << "untouched, got " << size;
    size = 16384;
    rc = RegEnumValueA(m_root, 0, name.data(), &size, nullptr, nullptr, nullptr, nullptr);
    ok(rc == ERROR_SUCCESS && size == 16383) << rc << " " << size;
    ok(RegDeleteValueA(m_root, longest.c_str()) == ERROR_SUCCESS);
}

TEST_F(RegistryTest, QueryValue)
{
    ok(RegSetValueExA(m_root, "Test", 0, REG_SZ, bytes("foobar"), 7) == ERROR_SUCCESS);

    // Size and type alone.
    DWORD type = SENTINEL_DWORD, size = SENTINEL_DWORD;
    LONG rc = RegQueryValueExA(m_root, "test", nullptr, &type, nullptr, &size);
    ok(rc == ERROR_SUCCESS) << rc;
    ok(type == REG_SZ) << type;
    ok(size == 7) << size;

    // Existence alone.
    rc = RegQueryValueExA(m_root, "Test", nullptr, nullptr, nullptr, nullptr);
    ok(rc == ERROR_SUCCESS) << rc;

    // A buffer one byte short: the size needed, the type, and the buffer untouched.
    char data[16];
    std::memset(data, '#', sizeof data);
    type = SENTINEL_DWORD;
    size = 6;
    rc = RegQueryValueExA(m_root, "Test", nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
    ok(rc == ERROR_MORE_DATA) << rc;
    ok(size == 7) << size;
    ok(type == REG_SZ) << type;

    // Room enough.
    std::memset(data, '#', sizeof data);
    size = sizeof data;
    rc = RegQueryValueExA(m_root, "Test", nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
    ok(rc == ERROR_SUCCESS) << rc;
    ok(size == 7) << size;
    ok(std::strcmp(data, "foobar") == 0) << data;
    ok(data[7] == '#') << "nothing written past the data";

    // A missing value: no type; the size and buffer left alone.
    type = SENTINEL_DWORD;
    size = sizeof data;
    std::memset(data, '#', sizeof data);
    rc = RegQueryValueExA(m_root, "Absent", nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
    ok(rc == ERROR_FILE_NOT_FOUND) << rc;
    ok(type == REG_NONE) << type;
    ok(size == sizeof data) << size;
    ok(data[0] == '#');

    // The default value exists only once it is set. Asked for its size alone, a
    // missing value answers 0.
    size = SENTINEL_DWORD;
    rc = RegQueryValueExA(m_root, nullptr, nullptr, nullptr, nullptr, &size);
    ok(rc == ERROR_FILE_NOT_FOUND) << rc;
    ok(size == 0) << size;

    // Bad arguments.
    DWORD reserved = 0;
    rc = RegQueryValueExA(m_root, "Test", &reserved, nullptr, nullptr, &size);
    ok(rc == ERROR_INVALID_PARAMETER) << rc;
    rc = RegQueryValueExA(m_root, "Test", nullptr, nullptr, reinterpret_cast<BYTE*>(data), nullptr);
    ok(rc == ERROR_INVALID_PARAMETER) << rc;
    size = SENTINEL_DWORD;
    rc = RegQueryValueExA(SENTINEL_KEY, "Test", nullptr, nullptr, nullptr, &size);
    ok(rc == ERROR_INVALID_HANDLE) << rc;
    ok(size == 0) << size;
}

TEST_F(RegistryTest, ValueDataRoundTrips)
{
    const BYTE multi[] = {'a', 0, 'b', 'c', 0, 0};
    const DWORD number = 0x01020304;
    const unsigned long long wide = 0x0102030405060708ull;
    struct Case {
        const char* name;
        DWORD type;
        const BYTE* data;
        DWORD size;
    } cases[] = {
        {"Binary", REG_BINARY, bytes("\x01\x00\xff"), 3},
        {"Multi", REG_MULTI_SZ, multi, sizeof multi},
        {"Dword", REG_DWORD, reinterpret_cast<const BYTE*>(&number), 4},
        {"Qword", REG_QWORD, reinterpret_cast<const BYTE*>(&wide), 8},
        {"Expand", REG_EXPAND_SZ, bytes("%PATH%"), 7},
        {"None", REG_NONE, bytes("zz"), 2},
        {"OwnType", 0x12345, bytes("abc"), 3},
        {"Empty", REG_SZ, bytes(""), 1},
    };
    for (const Case& each : cases)
        ok(RegSetValueExA(m_root, each.name, 0, each.type, each.data, each.size) == ERROR_SUCCESS) << each.name;
    for (const Case& each : cases) {
        BYTE read[32];
        std::memset(read, 0xAA, sizeof read);
        DWORD type = SENTINEL_DWORD, size = sizeof read;
        const LONG rc = RegQueryValueExA(m_root, each.name, nullptr, &type, read, &size);
        ok(rc == ERROR_SUCCESS) << each.name << ": " << rc;
        ok(type == each.type) << each.name << ": " << type;
        ok(size == each.size) << each.name << ": " << size;
        ok(std::memcmp(read, each.data, each.size) == 0) << each.name;
    }
}

// A string set without its terminator, where one follows in memory: the platform
// looks past the data it was given and keeps the terminator; the Linux runtime
// never reads past the data, keeps three bytes and terminates the text on reading
// where the buffer has room.
TEST_F(RegistryTest, StringsWithoutTerminator)
{
    ok(RegSetValueExA(m_root, "Bare", 0, REG_SZ, bytes("abc"), 3) == ERROR_SUCCESS);
    DWORD size = SENTINEL_DWORD;
    LONG rc = RegQueryValueExA(m_root, "Bare", nullptr, nullptr, nullptr, &size);
    ok(rc == ERROR_SUCCESS) << rc;
    ON_LINUX_RUNTIME_DIFFERS("a string is kept at the size given: the runtime never reads past the caller's data")
    ok(size == 4) << size;

    char data[8];
    std::memset(data, '#', sizeof data);
    size = 3;
    rc = RegQueryValueExA(m_root, "Bare", nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size);
    ON_LINUX_RUNTIME_DIFFERS("a string is kept at the size given: the runtime never reads past the caller's data")
    ok(rc == ERROR_MORE_DATA && size == 4) << rc << " " << size;

    // With room to spare the text comes back terminated on both.
    std::memset(data, '#', sizeof data);
    size = sizeof data;
    rc = RegQueryValueExA(m_root, "Bare", nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size);
    ok(rc == ERROR_SUCCESS) << rc;
    ok(std::memcmp(data, "abc", 4) == 0) << std::string(data, 4);
}

TEST_F(RegistryTest, DeleteValue)
{
    ok(setString(m_root, "Doomed", "x") == ERROR_SUCCESS);
    ok(setString(m_root, nullptr, "default") == ERROR_SUCCESS);
    LONG rc = RegDeleteValueA(m_root, "DOOMED");
    ok(rc == ERROR_SUCCESS) << rc;
    rc = RegDeleteValueA(m_root, "Doomed");
    ok(rc == ERROR_FILE_NOT_FOUND) << rc;
    rc = RegDeleteValueA(m_root, "");
    ok(rc == ERROR_SUCCESS) << "the default value by its empty name: " << rc;
    rc = RegDeleteValueA(m_root, nullptr);
    ok(rc == ERROR_FILE_NOT_FOUND) << rc;
    rc = RegDeleteValueA(SENTINEL_KEY, "Doomed");
    ok(rc == ERROR_INVALID_HANDLE) << rc;
    ok(valueNames(m_root).empty());
}

} // namespace
