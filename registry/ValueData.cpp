#include "registry/ValueData.h"

#include "platform/Kernel.h"

#include <cstring>

size_t convertMultiString(LPCSTR text, size_t textLength, BYTE* destination)
{
    size_t out = 0;
    size_t i = 0;
    while (i < textLength) {
        if (text[i] == '\\' && i + 1 < textLength && text[i + 1] == '0') {
            destination[out++] = 0;
            i += 2;
            continue;
        }
        // A lead byte takes its trail byte with it, unless the text ends there.
        size_t width = (IsDBCSLeadByte(static_cast<BYTE>(text[i])) && i + 1 < textLength) ? 2 : 1;
        std::memcpy(destination + out, text + i, width);
        out += width;
        i += width;
    }
    destination[out++] = 0;
    destination[out++] = 0;

    size_t length = 0;
    for (;;) {
        size_t n = std::strlen(reinterpret_cast<const char*>(destination) + length);
        length += n + 1;
        if (n == 0)
            return length;
    }
}

namespace {

BYTE hexDigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return static_cast<BYTE>(c - '0');
    if (c >= 'A' && c <= 'F')
        return static_cast<BYTE>(c - 'A' + 10);
    if (c >= 'a' && c <= 'f')
        return static_cast<BYTE>(c - 'a' + 10);
    return 0;
}

} // namespace

bool convertHexText(LPCSTR text, size_t textLength, BYTE* destination)
{
    if (textLength % 2 != 0)
        return false;
    for (size_t i = 0; i < textLength; i += 2)
        destination[i / 2] = static_cast<BYTE>((hexDigitValue(text[i]) << 4) | hexDigitValue(text[i + 1]));
    return true;
}
