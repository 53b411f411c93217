#include "tests/support/RegistrySnapshot.h"

#include "tests/support/RegistryReads.h"

#include <algorithm>
#include <cstdio>

namespace testkit {

namespace {

struct Root {
    HKEY key;
    const char* name;
};

const Root kRoots[] = {
    {HKEY_CLASSES_ROOT, "HKCR"},
    {HKEY_CURRENT_USER, "HKCU"},
    {HKEY_LOCAL_MACHINE, "HKLM"},
    {HKEY_USERS, "HKU"},
    {HKEY_CURRENT_CONFIG, "HKCC"},
};

std::string printable(const std::vector<BYTE>& data)
{
    std::string text;
    for (BYTE byte : data) {
        if (byte >= 0x20 && byte < 0x7F && byte != '\\' && byte != '"') {
            text += static_cast<char>(byte);
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
            text += escaped;
        }
    }
    return text;
}

void addKey(HKEY root, const std::string& rootName, const std::string& path, std::vector<std::string>& lines)
{
    const std::string shown = path.empty() ? rootName : rootName + "\\" + path;
    lines.push_back(shown);
    for (const std::string& name : valueNames(root, path)) {
        std::optional<RegistryValue> value = readValue(root, path, name.c_str());
        lines.push_back(shown + " [" + name + "] " +
                        (value ? std::to_string(value->type) + " \"" + printable(value->data) + "\"" : "unreadable"));
    }
    for (const std::string& subKey : subKeyNames(root, path))
        addKey(root, rootName, path.empty() ? subKey : path + "\\" + subKey, lines);
}

} // namespace

std::vector<std::string> registrySnapshot()
{
    std::vector<std::string> lines;
    for (const Root& root : kRoots)
        addKey(root.key, root.name, "", lines);
    std::sort(lines.begin(), lines.end());
    return lines;
}

} // namespace testkit
