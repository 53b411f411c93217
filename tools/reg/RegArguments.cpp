// The command line: an operation, a key path, then switches written /x or -x in any case.
#include "tools/reg/RegTool.h"

#include <cctype>

namespace regtool {

namespace {

struct Root {
    const char* shortName;
    const char* longName;
    HKEY key;
};

const Root kRoots[] = {
    {"HKCR", "HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
    {"HKCU", "HKEY_CURRENT_USER", HKEY_CURRENT_USER},
    {"HKLM", "HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
    {"HKU", "HKEY_USERS", HKEY_USERS},
    {"HKCC", "HKEY_CURRENT_CONFIG", HKEY_CURRENT_CONFIG},
};

std::string lowered(std::string_view text)
{
    std::string result(text);
    for (char& c : result)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return result;
}

bool isSwitch(std::string_view argument)
{
    return argument.size() >= 2 && (argument[0] == '/' || argument[0] == '-');
}

// Which switches each operation takes.
bool allowed(const std::string& operation, const std::string& name)
{
    if (name == "v" || name == "ve")
        return true;
    if (operation == "query")
        return name == "s";
    if (operation == "add")
        return name == "t" || name == "d" || name == "f";
    return name == "va" || name == "f";
}

} // namespace

bool parseKeyPath(std::string_view text, KeyPath& out)
{
    while (!text.empty() && text.back() == '\\')
        text.remove_suffix(1);
    const size_t slash = text.find('\\');
    const std::string rootName = lowered(text.substr(0, slash));
    const std::string_view subKey = slash == std::string_view::npos ? std::string_view() : text.substr(slash + 1);
    if (subKey.find("\\\\") != std::string_view::npos || (!subKey.empty() && subKey.front() == '\\'))
        return false;
    for (const Root& root : kRoots) {
        if (rootName == lowered(root.shortName) || rootName == lowered(root.longName)) {
            out.root = root.key;
            out.rootName = root.longName;
            out.subKey = std::string(subKey);
            return true;
        }
    }
    return false;
}

bool parseCommand(const std::vector<std::string_view>& arguments, Command& out, std::string& error)
{
    error = "Invalid syntax. Type \"reg /?\" for usage.";
    if (arguments.size() < 2 || isSwitch(arguments[1]))
        return false;
    out.operation = lowered(arguments[0]);
    if (out.operation != "query" && out.operation != "add" && out.operation != "delete")
        return false;
    if (!parseKeyPath(arguments[1], out.key)) {
        error = "Invalid key name.";
        return false;
    }

    bool recurseSeen = false;
    bool forceSeen = false;
    for (size_t i = 2; i < arguments.size(); ++i) {
        if (!isSwitch(arguments[i]))
            return false;
        const std::string name = lowered(arguments[i].substr(1));
        if (!allowed(out.operation, name))
            return false;
        auto operand = [&](std::optional<std::string>& into) {
            if (into || i + 1 >= arguments.size())
                return false;
            into = std::string(arguments[++i]);
            return true;
        };
        if (name == "v" || name == "ve" || name == "va") {
            if (out.values != Values::Unset)
                return false;
            if (name == "v") {
                std::optional<std::string> value;
                if (!operand(value))
                    return false;
                out.valueName = *value;
                out.values = Values::Named;
            } else {
                out.values = name == "ve" ? Values::Default : Values::All;
            }
        } else if (name == "s" || name == "f") {
            bool& seen = name == "s" ? recurseSeen : forceSeen;
            if (seen)
                return false;
            seen = true;
        } else if (!operand(name == "t" ? out.type : out.data)) {
            return false;
        }
    }
    out.recurse = recurseSeen;
    out.force = forceSeen;
    // /t or /d alone set the key's default value, as with the platform's tool.
    if (out.operation == "add" && out.values == Values::Unset && (out.type || out.data))
        out.values = Values::Default;
    return true;
}

} // namespace regtool
