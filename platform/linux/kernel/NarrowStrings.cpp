// Narrow string helpers of the kernel: length, bounded copy, case-insensitive
// comparison, and double-byte awareness.
#include "platform/linux/kernel/CodePages.h"

#include <cstring>

namespace {

unsigned char foldCase(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + ('a' - 'A')) : c;
}

} // namespace

int WINAPI lstrcmpiA(LPCSTR lpString1, LPCSTR lpString2)
{
    // Null sorts before everything, as on the platform.
    if (!lpString1 || !lpString2)
        return lpString1 == lpString2 ? 0 : (lpString1 ? 1 : -1);
    auto a = reinterpret_cast<const unsigned char*>(lpString1);
    auto b = reinterpret_cast<const unsigned char*>(lpString2);
    for (;; ++a, ++b) {
        unsigned char x = foldCase(*a), y = foldCase(*b);
        if (x != y)
            return x < y ? -1 : 1;
        if (x == 0)
            return 0;
    }
}

int WINAPI lstrlenA(LPCSTR lpString)
{
    return lpString ? static_cast<int>(std::strlen(lpString)) : 0;
}

LPSTR WINAPI lstrcpynA(LPSTR lpString1, LPCSTR lpString2, int iMaxLength)
{
    if (!lpString1 || !lpString2)
        return nullptr;
    // A negative size would let the copy run without bound; it copies nothing.
    if (iMaxLength <= 0)
        return lpString1;
    int i = 0;
    for (; i < iMaxLength - 1 && lpString2[i] != 0; ++i)
        lpString1[i] = lpString2[i];
    lpString1[i] = 0;
    return lpString1;
}

BOOL WINAPI IsDBCSLeadByteEx(UINT CodePage, BYTE TestChar)
{
    UINT page = comrt::resolveCodePage(CodePage);
    if (!comrt::isSupportedCodePage(page)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return comrt::isDbcsLeadByte(page, TestChar) ? TRUE : FALSE;
}

BOOL WINAPI IsDBCSLeadByte(BYTE TestChar)
{
    return comrt::isDbcsLeadByte(comrt::processAnsiCodePage(), TestChar) ? TRUE : FALSE;
}

unsigned char* _mbschr(const unsigned char* str, unsigned int c)
{
    if (!str)
        return nullptr;
    auto text = reinterpret_cast<const char*>(str);
    for (;;) {
        size_t length = comrt::characterLength(CP_ACP, text);
        if (length == 0)
            return c == 0 ? reinterpret_cast<unsigned char*>(const_cast<char*>(text)) : nullptr;
        unsigned int character = static_cast<unsigned char>(text[0]);
        // A double-byte character matches as the pair (lead << 8 | trail); its
        // trail byte alone never does. UTF-8 continuation bytes never equal an
        // ASCII character, so whole sequences are skipped.
        if (length == 2 && comrt::isDbcsCodePage(comrt::processAnsiCodePage()))
            character = (character << 8) | static_cast<unsigned char>(text[1]);
        if (character == c)
            return reinterpret_cast<unsigned char*>(const_cast<char*>(text));
        text += length;
    }
}
