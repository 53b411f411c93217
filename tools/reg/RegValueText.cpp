// Value types and data in the text form the tool reads and prints.
#include "tools/reg/RegTool.h"

#include <cctype>
#include <cstdio>
#include <cstring>

namespace regtool {

namespace {

struct TypeName {
    DWORD type;
    const char* name;
};

const TypeName kTypeNames[] = {
    {REG_NONE, "REG_NONE"},
    {REG_SZ, "REG_SZ"},
    {REG_EXPAND_SZ, "REG_EXPAND_SZ"},
    {REG_BINARY, "REG_BINARY"},
    {REG_DWORD, "REG_DWORD"},
    {REG_DWORD_BIG_ENDIAN, "REG_DWORD_BIG_ENDIAN"},
    {REG_LINK, "REG_LINK"},
    {REG_MULTI_SZ, "REG_MULTI_SZ"},
    {8, "REG_RESOURCE_LIST"},
    {9, "REG_FULL_RESOURCE_DESCRIPTOR"},
    {10, "REG_RESOURCE_REQUIREMENTS_LIST"},
    {REG_QWORD, "REG_QWORD"},
};

std::string hex(const std::vector<BYTE>& data)
{
    static const char kDigits[] = "0123456789ABCDEF";
    std::string text;
    for (const BYTE byte : data) {
        text += kDigits[byte >> 4];
        text += kDigits[byte & 0xF];
    }
    return text;
}

// Text up to its first NUL, or to the end of the data when it has none.
std::string untilNul(const BYTE* data, size_t size)
{
    const auto* text = reinterpret_cast<const char*>(data);
    const void* nul = std::memchr(text, 0, size);
    return std::string(text, nul ? static_cast<const char*>(nul) - text : size);
}

// A number written in decimal or, after 0x, in hexadecimal.
bool parseNumber(const std::string& text, unsigned long long limit, unsigned long long& value)
{
    const bool isHex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const std::string digits = isHex ? text.substr(2) : text;
    if (digits.empty() || digits.size() > 20)
        return false;
    value = 0;
    for (const char c : digits) {
        const int digit = std::isdigit(static_cast<unsigned char>(c)) ? c - '0'
            : isHex && std::isxdigit(static_cast<unsigned char>(c))
            ? std::tolower(static_cast<unsigned char>(c)) - 'a' + 10
            : -1;
        const unsigned base = isHex ? 16 : 10;
        if (digit < 0 || value > (limit - static_cast<unsigned>(digit)) / base)
            return false;
        value = value * base + static_cast<unsigned>(digit);
    }
    return true;
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

} // namespace

std::string typeName(DWORD type)
{
    for (const TypeName& entry : kTypeNames)
        if (entry.type == type)
            return entry.name;
    char text[16];
    std::snprintf(text, sizeof text, "0x%x", type);
    return text;
}

bool typeFromName(std::string_view name, DWORD& type)
{
    std::string upper(name);
    for (char& c : upper)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (upper == "REG_DWORD_LITTLE_ENDIAN")
        upper = "REG_DWORD";
    for (const TypeName& entry : kTypeNames) {
        if (upper == entry.name) {
            type = entry.type;
            return true;
        }
    }
    return false;
}

std::string formatData(DWORD type, const std::vector<BYTE>& data)
{
    char number[24];
    switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ:
        return untilNul(data.data(), data.size());
    case REG_MULTI_SZ: {
        std::string text;
        for (size_t at = 0; at < data.size() && data[at] != 0;) {
            const std::string item = untilNul(data.data() + at, data.size() - at);
            text += (text.empty() ? "" : "\\0") + item;
            at += item.size() + 1;
        }
        return text;
    }
    case REG_DWORD:
    case REG_DWORD_BIG_ENDIAN:
        if (data.size() == 4) {
            const DWORD value = type == REG_DWORD
                ? DWORD(data[0]) | DWORD(data[1]) << 8 | DWORD(data[2]) << 16 | DWORD(data[3]) << 24
                : DWORD(data[3]) | DWORD(data[2]) << 8 | DWORD(data[1]) << 16 | DWORD(data[0]) << 24;
            std::snprintf(number, sizeof number, "0x%x", value);
            return number;
        }
        return hex(data);
    case REG_QWORD:
        if (data.size() == 8) {
            unsigned long long value = 0;
            for (int i = 7; i >= 0; --i)
                value = value << 8 | data[i];
            std::snprintf(number, sizeof number, "0x%llx", value);
            return number;
        }
        return hex(data);
    default:
        return hex(data);
    }
}

bool encodeData(DWORD type, const std::string& text, std::vector<BYTE>& out, std::string& error)
{
    out.clear();
    const auto append = [&out](std::string_view piece) {
        out.insert(out.end(), piece.begin(), piece.end());
        out.push_back(0);
    };
    switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ:
        append(text);
        return true;
    case REG_MULTI_SZ: {
        // Strings separated by the two characters \0; an empty string would end the list early.
        std::string_view rest(text);
        while (!rest.empty()) {
            const size_t separator = rest.find("\\0");
            const std::string_view item = rest.substr(0, separator);
            if (item.empty()) {
                error = "An empty string cannot stand inside a REG_MULTI_SZ list.";
                return false;
            }
            append(item);
            rest = separator == std::string_view::npos ? std::string_view() : rest.substr(separator + 2);
        }
        if (out.empty())
            out.push_back(0);
        out.push_back(0);
        return true;
    }
    case REG_DWORD:
    case REG_DWORD_BIG_ENDIAN:
    case REG_QWORD: {
        const bool wide = type == REG_QWORD;
        unsigned long long value = 0;
        if (!text.empty() && !parseNumber(text, wide ? ~0ull : 0xFFFFFFFFull, value)) {
            error = "Invalid number for " + typeName(type) + ": " + text;
            return false;
        }
        const int size = wide ? 8 : 4;
        for (int i = 0; i < size; ++i)
            out.push_back(static_cast<BYTE>(value >> (8 * i)));
        if (type == REG_DWORD_BIG_ENDIAN)
            std::swap(out[0], out[3]), std::swap(out[1], out[2]);
        return true;
    }
    default:
        // REG_BINARY, REG_NONE and the rest: hexadecimal digits, two per byte.
        if (text.size() % 2) {
            error = "Hexadecimal data needs two digits per byte: " + text;
            return false;
        }
        for (size_t i = 0; i < text.size(); i += 2) {
            const int high = hexDigit(text[i]);
            const int low = hexDigit(text[i + 1]);
            if (high < 0 || low < 0) {
                error = "Invalid hexadecimal data: " + text;
                return false;
            }
            out.push_back(static_cast<BYTE>(high << 4 | low));
        }
        return true;
    }
}

} // namespace regtool
