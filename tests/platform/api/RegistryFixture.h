// A key of the test's own under HKEY_CURRENT_USER, empty at the start of each
// test and gone after it, and short-hands for the calls the tests repeat.
#pragma once

#include "tests/platform/api/Conformance.h"

#include <string>
#include <vector>

namespace apitest {

// A handle no call returns, to see whether a call wrote one.
#define SENTINEL_KEY ((HKEY)(ULONG_PTR)0xdeadbeef)

class RegistryTest : public ::testing::Test {
protected:
    static constexpr const char* kRootPath = "Software\\MorvenApiTests";

    void SetUp() override;
    void TearDown() override;

    // Creates (or opens) a key below the test's key with every right.
    HKEY create(const char* path);
    LONG setString(HKEY key, const char* name, const char* text);
    LONG setDword(HKEY key, const char* name, DWORD value);

    HKEY m_root = nullptr;
};

// The names a key's enumeration gives, in order.
std::vector<std::string> subKeyNames(HKEY key);
std::vector<std::string> valueNames(HKEY key);

} // namespace apitest
