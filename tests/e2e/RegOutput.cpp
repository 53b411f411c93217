#include "tests/e2e/RegOutput.h"

#include <sstream>

namespace e2e {

RegTree parseRegQuery(const std::string& output)
{
    static const std::string kGap = "    ";
    RegTree tree;
    RegValues* current = nullptr;
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.rfind("HKEY_", 0) == 0) {
            current = &tree[line];
            continue;
        }
        if (!current || line.rfind(kGap, 0) != 0)
            continue;
        const std::string entry = line.substr(kGap.size());
        const size_t typeAt = entry.find(kGap + "REG_");
        if (typeAt == std::string::npos)
            continue;
        const std::string name = entry.substr(0, typeAt);
        const std::string rest = entry.substr(typeAt + kGap.size());
        const size_t dataAt = rest.find(kGap);
        RegValue value;
        value.type = rest.substr(0, dataAt);
        if (dataAt != std::string::npos)
            value.data = rest.substr(dataAt + kGap.size());
        (*current)[name] = value;
    }
    return tree;
}

} // namespace e2e
