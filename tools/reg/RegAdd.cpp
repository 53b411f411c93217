// reg add: creates a key (and the keys above it), and sets a value on it.
#include "tools/reg/RegTool.h"

namespace regtool {

int runAdd(const Command& command)
{
    const bool setsValue = command.values != Values::Unset;
    DWORD type = REG_SZ;
    if (command.type && !typeFromName(*command.type, type))
        return fail("Unsupported value type: " + *command.type);
    std::vector<BYTE> data;
    std::string error;
    // The data is checked before anything is written.
    if (setsValue && !encodeData(type, command.data.value_or(std::string()), data, error))
        return fail(error);

    HKEY key = nullptr;
    if (const LONG rc = RegCreateKeyExA(command.key.root, command.key.subKey.c_str(), 0, nullptr,
                                        REG_OPTION_NON_VOLATILE, kAccess, nullptr, &key, nullptr);
        rc != ERROR_SUCCESS)
        return failWith(rc);

    LONG rc = ERROR_SUCCESS;
    if (setsValue) {
        const std::string name = command.values == Values::Named ? command.valueName : std::string();
        const bool exists = RegQueryValueExA(key, name.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
        if (exists && !command.force &&
            !confirm("Value " + (name.empty() ? std::string("(Default)") : name) + " exists, overwrite")) {
            RegCloseKey(key);
            return fail("The operation was cancelled by the user.");
        }
        rc = RegSetValueExA(key, name.c_str(), 0, type, data.data(), static_cast<DWORD>(data.size()));
    }
    RegCloseKey(key);
    return rc == ERROR_SUCCESS ? succeeded() : failWith(rc);
}

} // namespace regtool
