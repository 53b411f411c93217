// The reg tool's pieces: its command line, the text form of values, the console, and the
// three operations.
#pragma once

#include "platform/Registry.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace regtool {

// Access for every key the tool opens.
constexpr REGSAM kAccess = KEY_READ | KEY_WRITE;

struct KeyPath {
    HKEY root = nullptr;
    std::string rootName; // the long form, as printed
    std::string subKey;   // as typed, without surrounding backslashes; empty for a root

    std::string text() const { return subKey.empty() ? rootName : rootName + "\\" + subKey; }
};

// Which values a command is about.
enum class Values { Unset, Named, Default, All };

struct Command {
    std::string operation; // "query", "add" or "delete"
    KeyPath key;
    Values values = Values::Unset;
    std::string valueName;
    bool recurse = false;
    bool force = false;
    std::optional<std::string> type;
    std::optional<std::string> data;
};

// RegArguments.cpp
// Parses everything after the program name; false with a message on bad syntax.
bool parseCommand(const std::vector<std::string_view>& arguments, Command& out, std::string& error);
bool parseKeyPath(std::string_view text, KeyPath& out);

// RegValueText.cpp
std::string typeName(DWORD type);
bool typeFromName(std::string_view name, DWORD& type);
// The data as the query output shows it.
std::string formatData(DWORD type, const std::vector<BYTE>& data);
// The bytes to store for /d text of a type; false with a message when the text does not fit it.
bool encodeData(DWORD type, const std::string& text, std::vector<BYTE>& out, std::string& error);

// RegConsole.cpp
// Prints "ERROR: message" on stderr; returns the exit code 1.
int fail(const std::string& message);
// The same for a registry result.
int failWith(LONG code);
// Asks a Yes/No question on stdin; false for No or no answer at all.
bool confirm(const std::string& question);
int succeeded();

// RegQuery.cpp, RegAdd.cpp, RegDelete.cpp: exit codes.
int runQuery(const Command& command);
int runAdd(const Command& command);
int runDelete(const Command& command);

} // namespace regtool
