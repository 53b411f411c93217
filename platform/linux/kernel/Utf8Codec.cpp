// UTF-8 <-> UTF-16. Ill-formed input is replaced per maximal subpart with U+FFFD,
// which is what the platform's own conversion does.
#include "platform/linux/kernel/TextCodecs.h"

namespace comrt {

namespace {

constexpr char16_t kReplacement = 0xFFFD;

void appendCodePoint(std::u16string& out, char32_t cp)
{
    if (cp < 0x10000) {
        out.push_back(static_cast<char16_t>(cp));
    } else {
        cp -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    }
}

} // namespace

bool decodeUtf8(const char* bytes, size_t length, bool strict, std::u16string& out)
{
    auto s = reinterpret_cast<const unsigned char*>(bytes);
    out.clear();
    out.reserve(length);
    size_t i = 0;
    while (i < length) {
        unsigned char lead = s[i];
        if (lead < 0x80) {
            out.push_back(lead);
            ++i;
            continue;
        }
        size_t trail;
        unsigned char low = 0x80, high = 0xBF; // allowed range of the first trail byte
        char32_t cp;
        if (lead >= 0xC2 && lead <= 0xDF) {
            trail = 1;
            cp = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            trail = 2;
            cp = lead & 0x0F;
            if (lead == 0xE0)
                low = 0xA0; // no overlong forms
            else if (lead == 0xED)
                high = 0x9F; // no surrogates
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            trail = 3;
            cp = lead & 0x07;
            if (lead == 0xF0)
                low = 0x90;
            else if (lead == 0xF4)
                high = 0x8F; // nothing above U+10FFFF
        } else {
            if (strict)
                return false;
            out.push_back(kReplacement);
            ++i;
            continue;
        }
        size_t j = i + 1;
        bool complete = true;
        for (size_t k = 0; k < trail; ++k, ++j) {
            if (j >= length || s[j] < low || s[j] > high) {
                complete = false;
                break;
            }
            cp = (cp << 6) | (s[j] & 0x3F);
            low = 0x80;
            high = 0xBF;
        }
        if (!complete) {
            if (strict)
                return false;
            out.push_back(kReplacement);
            i = j; // the byte that broke the sequence starts the next one
            continue;
        }
        appendCodePoint(out, cp);
        i = j;
    }
    return true;
}

bool encodeUtf8(const char16_t* text, size_t length, bool strict, std::string& out)
{
    out.clear();
    out.reserve(length * 3);
    for (size_t i = 0; i < length; ++i) {
        char32_t cp = text[i];
        if (cp >= 0xD800 && cp <= 0xDFFF) {
            if (cp <= 0xDBFF && i + 1 < length && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
                cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
                ++i;
            } else {
                if (strict)
                    return false;
                cp = kReplacement;
            }
        }
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return true;
}

} // namespace comrt
