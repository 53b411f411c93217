// MultiByteToWideChar and WideCharToMultiByte with the platform's conventions:
// a length of -1 takes the terminator along, a destination size of 0 asks for
// the size, and every failure answers 0 with the reason in the last error.
#include "platform/linux/kernel/CodePages.h"
#include "platform/linux/kernel/TextCodecs.h"

#include <climits>
#include <cstring>

namespace {

size_t wideLength(LPCWSTR text)
{
    size_t length = 0;
    while (text[length] != 0)
        ++length;
    return length;
}

bool overlaps(const void* a, size_t aBytes, const void* b, size_t bBytes)
{
    auto a0 = reinterpret_cast<uintptr_t>(a), b0 = reinterpret_cast<uintptr_t>(b);
    return a0 < b0 + bBytes && b0 < a0 + aBytes;
}

bool isUnicodePage(UINT page)
{
    return page == CP_UTF8 || page == CP_UTF7;
}

int fail(DWORD error)
{
    SetLastError(error);
    return 0;
}

} // namespace

int WINAPI MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCSTR lpMultiByteStr, int cbMultiByte,
                               LPWSTR lpWideCharStr, int cchWideChar)
{
    if (!lpMultiByteStr || cbMultiByte == 0 || cchWideChar < 0 || (cchWideChar > 0 && !lpWideCharStr))
        return fail(ERROR_INVALID_PARAMETER);
    size_t length = cbMultiByte < 0 ? std::strlen(lpMultiByteStr) + 1 : static_cast<size_t>(cbMultiByte);
    if (cchWideChar > 0 &&
        overlaps(lpMultiByteStr, length, lpWideCharStr, static_cast<size_t>(cchWideChar) * sizeof(WCHAR)))
        return fail(ERROR_INVALID_PARAMETER);

    UINT page = comrt::resolveCodePage(CodePage);
    if (!comrt::isSupportedCodePage(page))
        return fail(ERROR_INVALID_PARAMETER);
    DWORD allowed = page == CP_UTF7   ? 0
                    : page == CP_UTF8 ? MB_ERR_INVALID_CHARS
                                      : MB_PRECOMPOSED | MB_COMPOSITE | MB_USEGLYPHCHARS | MB_ERR_INVALID_CHARS;
    if ((dwFlags & ~allowed) != 0 || (dwFlags & (MB_PRECOMPOSED | MB_COMPOSITE)) == (MB_PRECOMPOSED | MB_COMPOSITE))
        return fail(ERROR_INVALID_FLAGS);

    std::u16string wide;
    if (!comrt::decodeToUtf16(page, lpMultiByteStr, length, (dwFlags & MB_ERR_INVALID_CHARS) != 0, wide))
        return fail(ERROR_NO_UNICODE_TRANSLATION);
    if (wide.size() > static_cast<size_t>(INT_MAX))
        return fail(ERROR_INSUFFICIENT_BUFFER);
    int needed = static_cast<int>(wide.size());
    if (cchWideChar == 0)
        return needed;
    if (needed > cchWideChar)
        return fail(ERROR_INSUFFICIENT_BUFFER);
    std::memcpy(lpWideCharStr, wide.data(), wide.size() * sizeof(WCHAR));
    return needed;
}

int WINAPI WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWSTR lpWideCharStr, int cchWideChar,
                               LPSTR lpMultiByteStr, int cbMultiByte, LPCSTR lpDefaultChar, BOOL* lpUsedDefaultChar)
{
    if (!lpWideCharStr || cchWideChar == 0 || cbMultiByte < 0 || (cbMultiByte > 0 && !lpMultiByteStr))
        return fail(ERROR_INVALID_PARAMETER);
    size_t length = cchWideChar < 0 ? wideLength(lpWideCharStr) + 1 : static_cast<size_t>(cchWideChar);
    if (cbMultiByte > 0 &&
        overlaps(lpWideCharStr, length * sizeof(WCHAR), lpMultiByteStr, static_cast<size_t>(cbMultiByte)))
        return fail(ERROR_INVALID_PARAMETER);

    UINT page = comrt::resolveCodePage(CodePage);
    if (!comrt::isSupportedCodePage(page))
        return fail(ERROR_INVALID_PARAMETER);
    if (isUnicodePage(page)) {
        // Every character has a form in UTF-7 and UTF-8: there is no default.
        if (lpDefaultChar || lpUsedDefaultChar)
            return fail(ERROR_INVALID_PARAMETER);
        if ((dwFlags & ~static_cast<DWORD>(page == CP_UTF8 ? WC_ERR_INVALID_CHARS : 0)) != 0)
            return fail(ERROR_INVALID_FLAGS);
    } else if ((dwFlags & ~static_cast<DWORD>(WC_COMPOSITECHECK | WC_DISCARDNS | WC_SEPCHARS | WC_DEFAULTCHAR |
                                              WC_NO_BEST_FIT_CHARS)) != 0) {
        return fail(ERROR_INVALID_FLAGS);
    }

    std::string bytes;
    bool usedDefault = false;
    if (!comrt::encodeFromUtf16(page, reinterpret_cast<const char16_t*>(lpWideCharStr), length,
                                (dwFlags & WC_ERR_INVALID_CHARS) != 0, lpDefaultChar, usedDefault, bytes))
        return fail(ERROR_NO_UNICODE_TRANSLATION);
    if (lpUsedDefaultChar)
        *lpUsedDefaultChar = usedDefault ? TRUE : FALSE;
    if (bytes.size() > static_cast<size_t>(INT_MAX))
        return fail(ERROR_INSUFFICIENT_BUFFER);
    int needed = static_cast<int>(bytes.size());
    if (cbMultiByte == 0)
        return needed;
    if (needed > cbMultiByte)
        return fail(ERROR_INSUFFICIENT_BUFFER);
    std::memcpy(lpMultiByteStr, bytes.data(), bytes.size());
    return needed;
}
