// What the registry store tests share: a fresh database per test, short-hands for keys and
// values, and running a program with its input and output captured.
#pragma once

#include "platform/Registry.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace storetest {

// Points COMRT_REGISTRY at a new file in a new directory, removed afterwards.
class FreshRegistry : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    std::string directory_;
    std::string path_; // the database file
};

std::string makeTempDirectory();
void removeTree(const std::string& path);

// Creates (or opens) a key with every right; fails the test if that does not work.
HKEY createKey(HKEY parent, const char* path);
LONG setString(HKEY key, const char* name, const std::string& text);
// The value's data as text, or the error code as "error N".
std::string readString(HKEY key, const char* name);
// Subkey or value names in enumeration order.
std::vector<std::string> subKeyNames(HKEY key);
std::vector<std::string> valueNames(HKEY key);

struct ProcessResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Runs a program with `input` on its standard input (closed afterwards).
ProcessResult runProcess(const std::vector<std::string>& argv, const std::string& input = {});

} // namespace storetest
