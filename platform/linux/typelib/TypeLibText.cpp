// Text helpers of the type library code.
#include "platform/linux/typelib/TypeLibText.h"

#include "platform/Automation.h"
#include "platform/Kernel.h"

#include <cstdio>

namespace comrt::typelib {

bool storeBstr(BSTR* out, const std::optional<std::u16string>& text)
{
    if (out == nullptr)
        return true;
    *out = nullptr;
    if (!text)
        return true;
    *out = SysAllocStringLen(text->data(), static_cast<UINT>(text->size()));
    return *out != nullptr;
}

bool sameName(const std::u16string& a, const OLECHAR* b)
{
    auto fold = [](char16_t c) { return c >= u'A' && c <= u'Z' ? char16_t(c - u'A' + u'a') : c; };
    size_t i = 0;
    for (; i < a.size(); ++i)
        if (b[i] == 0 || fold(a[i]) != fold(b[i]))
            return false;
    return b[i] == 0;
}

std::string guidText(REFGUID guid)
{
    char text[40];
    std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", guid.Data1, guid.Data2,
                  guid.Data3, guid.Data4[0], guid.Data4[1], guid.Data4[2], guid.Data4[3], guid.Data4[4], guid.Data4[5],
                  guid.Data4[6], guid.Data4[7]);
    return text;
}

std::string utf8FromWide(const OLECHAR* text)
{
    std::string out;
    for (size_t i = 0; text[i] != 0; ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF) {
            char32_t low = text[i + 1];
            if (low < 0xDC00 || low > 0xDFFF)
                return {};
            c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
            ++i;
        } else if (c >= 0xDC00 && c <= 0xDFFF) {
            return {};
        }
        if (c < 0x80) {
            out += char(c);
        } else if (c < 0x800) {
            out += char(0xC0 | (c >> 6));
            out += char(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += char(0xE0 | (c >> 12));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        } else {
            out += char(0xF0 | (c >> 18));
            out += char(0x80 | ((c >> 12) & 0x3F));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::u16string wideFromUtf8(const std::string& text)
{
    std::u16string out;
    size_t i = 0;
    while (i < text.size()) {
        auto byte = static_cast<unsigned char>(text[i]);
        size_t extra = byte < 0x80 ? 0 : byte >= 0xF8 ? 9 : byte >= 0xF0 ? 3 : byte >= 0xE0 ? 2 : byte >= 0xC0 ? 1 : 9;
        char32_t c = byte & (0x7F >> extra);
        bool valid = extra < 9 && i + extra < text.size();
        for (size_t k = 1; valid && k <= extra; ++k) {
            auto next = static_cast<unsigned char>(text[i + k]);
            valid = (next & 0xC0) == 0x80;
            c = (c << 6) | (next & 0x3F);
        }
        if (!valid || c > 0x10FFFF) {
            // Not UTF-8 here: keep the byte as a Latin-1 character rather than lose the name.
            out += char16_t(byte);
            ++i;
            continue;
        }
        if (c >= 0x10000) {
            c -= 0x10000;
            out += char16_t(0xD800 + (c >> 10));
            out += char16_t(0xDC00 + (c & 0x3FF));
        } else {
            out += char16_t(c);
        }
        i += extra + 1;
    }
    return out;
}

std::optional<std::string> ansiFromWide(const std::u16string& text)
{
    if (text.empty())
        return std::string();
    int size = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    if (size <= 0)
        return std::nullopt;
    std::string out(static_cast<size_t>(size), '\0');
    if (WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), out.data(), size, nullptr,
                            nullptr) != size)
        return std::nullopt;
    return out;
}

std::optional<std::u16string> wideFromAnsi(const std::string& text)
{
    if (text.empty())
        return std::u16string();
    int size = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (size <= 0)
        return std::nullopt;
    std::u16string out(static_cast<size_t>(size), u'\0');
    if (MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), out.data(), size) != size)
        return std::nullopt;
    return out;
}

} // namespace comrt::typelib
