// Reads what `reg query` prints: keys, each with its named values.
#pragma once

#include <map>
#include <ostream>
#include <string>

namespace e2e {

struct RegValue {
    std::string type; // "REG_SZ", ...
    std::string data; // as printed
    bool operator==(const RegValue&) const = default;
};

// Readable failure messages.
inline void PrintTo(const RegValue& value, std::ostream* out)
{
    *out << value.type << " \"" << value.data << "\"";
}

// Values by name; the default value is named "(Default)".
using RegValues = std::map<std::string, RegValue>;
// Keys by full path as printed ("HKEY_CLASSES_ROOT\\CLSID\\{...}").
using RegTree = std::map<std::string, RegValues>;

// Parses the blocks of `reg query KEY [/s]`: a line naming the key, then one line per
// value, four spaces in front and four spaces between name, type and data.
RegTree parseRegQuery(const std::string& output);

} // namespace e2e
