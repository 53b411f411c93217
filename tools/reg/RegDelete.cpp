// reg delete: removes a value, all values of a key, or a key with everything beneath it.
#include "tools/reg/RegTool.h"

namespace regtool {

namespace {

LONG deleteAllValues(HKEY key)
{
    std::vector<std::string> names;
    char name[16384];
    for (DWORD index = 0;; ++index) {
        DWORD size = sizeof name;
        const LONG rc = RegEnumValueA(key, index, name, &size, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_NO_MORE_ITEMS)
            break;
        if (rc != ERROR_SUCCESS)
            return rc;
        names.emplace_back(name, size);
    }
    for (const std::string& each : names)
        if (const LONG rc = RegDeleteValueA(key, each.c_str()); rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND)
            return rc;
    return ERROR_SUCCESS;
}

} // namespace

int runDelete(const Command& command)
{
    const std::string path = command.key.text();
    if (command.values == Values::Unset) {
        if (command.key.subKey.empty())
            return fail("Invalid key name."); // a root cannot be deleted
        HKEY probe = nullptr;
        if (const LONG rc = RegOpenKeyExA(command.key.root, command.key.subKey.c_str(), 0, KEY_READ, &probe);
            rc != ERROR_SUCCESS)
            return failWith(rc);
        RegCloseKey(probe);
        if (!command.force && !confirm("Permanently delete the registry key " + path))
            return fail("The operation was cancelled by the user.");
        const LONG rc = RegDeleteTreeA(command.key.root, command.key.subKey.c_str());
        return rc == ERROR_SUCCESS ? succeeded() : failWith(rc);
    }

    HKEY key = nullptr;
    if (const LONG rc = RegOpenKeyExA(command.key.root, command.key.subKey.c_str(), 0, kAccess, &key);
        rc != ERROR_SUCCESS)
        return failWith(rc);
    const std::string name = command.values == Values::Named ? command.valueName : std::string();
    LONG rc = ERROR_SUCCESS;
    if (command.values != Values::All)
        rc = RegQueryValueExA(key, name.c_str(), nullptr, nullptr, nullptr, nullptr);
    if (rc == ERROR_SUCCESS && !command.force) {
        const std::string question = command.values == Values::All
            ? "Delete all values under the registry key " + path
            : "Delete the registry value " + (name.empty() ? std::string("(Default)") : name);
        if (!confirm(question)) {
            RegCloseKey(key);
            return fail("The operation was cancelled by the user.");
        }
    }
    if (rc == ERROR_SUCCESS)
        rc = command.values == Values::All ? deleteAllValues(key) : RegDeleteValueA(key, name.c_str());
    RegCloseKey(key);
    return rc == ERROR_SUCCESS ? succeeded() : failWith(rc);
}

} // namespace regtool
