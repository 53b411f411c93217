// Reading the registry back, and writing what a test sets up, through the
// platform's calls. Both builds use them.
#pragma once

#include "platform/Registry.h"

#include <optional>
#include <string>
#include <vector>

namespace testkit {

bool keyExists(HKEY root, const std::string& path);

struct RegistryValue {
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};
// Null when the key or the value is missing; a null name is the default value.
std::optional<RegistryValue> readValue(HKEY root, const std::string& path, const char* name = nullptr);
// The text of a REG_SZ or REG_EXPAND_SZ value without its terminator; null
// when the key or the value is missing or of another type.
std::optional<std::string> stringValue(HKEY root, const std::string& path, const char* name = nullptr);

// Names in enumeration order; none when the key is missing.
std::vector<std::string> subKeyNames(HKEY key);
std::vector<std::string> subKeyNames(HKEY root, const std::string& path);
std::vector<std::string> valueNames(HKEY key);
std::vector<std::string> valueNames(HKEY root, const std::string& path);

// Creates root\path if need be and sets a REG_SZ value; false when that fails.
bool writeString(HKEY root, const std::string& path, const char* name, const std::string& value);

} // namespace testkit
