// reg query: prints a key's values and subkeys, or one value, optionally through the whole tree.
#include "tools/reg/RegTool.h"

#include <algorithm>
#include <iostream>

namespace regtool {

namespace {

struct Value {
    std::string name;
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};

// An open key, closed when it goes.
class Key {
public:
    Key() = default;
    ~Key()
    {
        if (handle_)
            RegCloseKey(handle_);
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;

    LONG open(HKEY parent, const std::string& subKey)
    {
        return RegOpenKeyExA(parent, subKey.c_str(), 0, KEY_READ, &handle_);
    }
    HKEY get() const { return handle_; }

private:
    HKEY handle_ = nullptr;
};

LONG readValue(HKEY key, const std::string& name, Value& out)
{
    out.name = name;
    for (;;) {
        DWORD size = 0;
        if (const LONG rc = RegQueryValueExA(key, name.c_str(), nullptr, &out.type, nullptr, &size); rc != ERROR_SUCCESS)
            return rc;
        out.data.resize(size + 1); // never a null buffer, which would only ask for the size
        size = static_cast<DWORD>(out.data.size());
        const LONG rc = RegQueryValueExA(key, name.c_str(), nullptr, &out.type, out.data.data(), &size);
        if (rc == ERROR_MORE_DATA) // grown in between: ask again
            continue;
        out.data.resize(rc == ERROR_SUCCESS ? size : 0);
        return rc;
    }
}

LONG readValues(HKEY key, std::vector<Value>& out)
{
    DWORD maxName = 0;
    DWORD maxData = 0;
    if (const LONG rc = RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &maxName,
                                         &maxData, nullptr, nullptr);
        rc != ERROR_SUCCESS)
        return rc;
    std::vector<char> name(maxName + 1);
    std::vector<BYTE> data(maxData + 1); // never a null buffer, which would only ask for the size
    for (DWORD index = 0;;) {
        DWORD nameSize = static_cast<DWORD>(name.size());
        DWORD dataSize = static_cast<DWORD>(data.size());
        Value value;
        const LONG rc = RegEnumValueA(key, index, name.data(), &nameSize, nullptr, &value.type, data.data(), &dataSize);
        if (rc == ERROR_NO_MORE_ITEMS)
            return ERROR_SUCCESS;
        if (rc == ERROR_MORE_DATA) { // grown since the count was taken
            name.resize(name.size() * 2);
            data.resize(std::max<size_t>(dataSize, data.size()) + 1);
            continue;
        }
        if (rc != ERROR_SUCCESS)
            return rc;
        value.name.assign(name.data(), nameSize);
        value.data.assign(data.begin(), data.begin() + dataSize);
        out.push_back(std::move(value));
        ++index;
    }
}

LONG readSubKeys(HKEY key, std::vector<std::string>& out)
{
    char name[256];
    for (DWORD index = 0;; ++index) {
        DWORD size = sizeof name;
        const LONG rc = RegEnumKeyExA(key, index, name, &size, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_NO_MORE_ITEMS)
            return ERROR_SUCCESS;
        if (rc != ERROR_SUCCESS)
            return rc;
        out.emplace_back(name, size);
    }
}

void printValue(const Value& value)
{
    std::cout << "    " << (value.name.empty() ? "(Default)" : value.name) << "    " << typeName(value.type) << "    "
              << formatData(value.type, value.data) << '\n';
}

// The key's heading and values (a key without values shows only inside a recursive listing),
// then its subkeys: their paths, or with /s the same listing for each.
LONG listKey(HKEY key, const std::string& path, bool recurse, bool nested)
{
    std::vector<Value> values;
    std::vector<std::string> subKeys;
    if (const LONG rc = readValues(key, values); rc != ERROR_SUCCESS)
        return rc;
    if (const LONG rc = readSubKeys(key, subKeys); rc != ERROR_SUCCESS)
        return rc;
    if (!values.empty() || nested) {
        std::cout << path << '\n';
        for (const Value& value : values)
            printValue(value);
        std::cout << '\n';
    }
    for (const std::string& name : subKeys) {
        const std::string subPath = path + "\\" + name;
        if (!recurse) {
            std::cout << subPath << '\n';
            continue;
        }
        Key subKey;
        if (subKey.open(key, name) == ERROR_SUCCESS) // one deleted meanwhile is passed over
            if (const LONG rc = listKey(subKey.get(), subPath, recurse, true); rc != ERROR_SUCCESS)
                return rc;
    }
    if (!subKeys.empty() && !recurse)
        std::cout << '\n';
    return ERROR_SUCCESS;
}

// With /s and /v or /ve: every key of the tree that has the value.
void searchValue(HKEY key, const std::string& path, const std::string& name, unsigned& matches)
{
    Value value;
    if (readValue(key, name, value) == ERROR_SUCCESS) {
        std::cout << path << '\n';
        printValue(value);
        std::cout << '\n';
        ++matches;
    }
    std::vector<std::string> subKeys;
    readSubKeys(key, subKeys);
    for (const std::string& subName : subKeys) {
        Key subKey;
        if (subKey.open(key, subName) == ERROR_SUCCESS)
            searchValue(subKey.get(), path + "\\" + subName, name, matches);
    }
}

} // namespace

int runQuery(const Command& command)
{
    Key key;
    if (const LONG rc = key.open(command.key.root, command.key.subKey); rc != ERROR_SUCCESS)
        return failWith(rc);
    const std::string path = command.key.text();
    std::cout << '\n';

    if (command.values == Values::Unset) {
        const LONG rc = listKey(key.get(), path, command.recurse, false);
        return rc == ERROR_SUCCESS ? 0 : failWith(rc);
    }

    const std::string name = command.values == Values::Named ? command.valueName : std::string();
    if (command.recurse) {
        unsigned matches = 0;
        searchValue(key.get(), path, name, matches);
        std::cout << "End of search: " << matches << " match(es) found.\n";
        return matches ? 0 : failWith(ERROR_FILE_NOT_FOUND);
    }
    Value value;
    const LONG rc = readValue(key.get(), name, value);
    if (rc == ERROR_FILE_NOT_FOUND && name.empty()) {
        std::cout << path << "\n    (Default)    REG_SZ    (value not set)\n\n";
        return 0;
    }
    if (rc != ERROR_SUCCESS)
        return failWith(rc);
    std::cout << path << '\n';
    printValue(value);
    std::cout << '\n';
    return 0;
}

} // namespace regtool
