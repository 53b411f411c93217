// Thread locales and the locale facts the runtime can answer. A thread starts in
// the default locale (0x0409), whose ANSI code page is the process's; a thread that
// chooses a locale gets that locale's own code page.
#include "platform/linux/ComRtExtensions.h"
#include "platform/linux/kernel/CodePages.h"

#include <cstring>
#include <mutex>
#include <optional>
#include <string>

namespace {

constexpr LCID kDefaultLocale = 0x0409;

struct ThreadLocale {
    LCID locale = kDefaultLocale;
    bool chosen = false;
};

thread_local ThreadLocale t_locale;

constinit std::mutex g_textMutex;
std::optional<std::string>* g_codePageText = nullptr; // set by the test hook

WORD primaryLanguage(LCID locale)
{
    return static_cast<WORD>(locale & 0x3FF);
}

WORD subLanguage(LCID locale)
{
    return static_cast<WORD>((locale & 0xFFFF) >> 10);
}

bool isDefaultLocaleAlias(LCID locale)
{
    return locale == LOCALE_NEUTRAL || locale == LOCALE_USER_DEFAULT || locale == LOCALE_SYSTEM_DEFAULT;
}

// The code page a locale's text would be in, as this process sees it.
UINT codePageForQuery(LCID locale)
{
    if (isDefaultLocaleAlias(locale))
        return comrt::processAnsiCodePage();
    if (locale == t_locale.locale)
        return comrt::threadAnsiCodePage();
    return comrt::ansiCodePageOfLocale(locale);
}

int answerText(const std::string& text, LPSTR data, int size)
{
    int needed = static_cast<int>(text.size()) + 1;
    if (size == 0)
        return needed;
    if (size < needed) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::memcpy(data, text.c_str(), static_cast<size_t>(needed));
    return needed;
}

} // namespace

namespace comrt {

UINT ansiCodePageOfLocale(LCID locale)
{
    switch (primaryLanguage(locale)) {
    case 0x04: // Chinese: simplified in the PRC and Singapore, traditional elsewhere
        switch (subLanguage(locale)) {
        case 0x02:
        case 0x04:
            return 936;
        case 0x01:
        case 0x03:
        case 0x05:
            return 950;
        default:
            return 0;
        }
    case 0x11:
        return 932;
    case 0x12:
        return 949;
    case 0x1E:
        return 874;
    case 0x05: case 0x0E: case 0x15: case 0x18: case 0x1A: case 0x1B: case 0x1C: case 0x24:
        return 1250;
    case 0x02: case 0x19: case 0x22: case 0x23: case 0x2F:
        return 1251;
    case 0x03: case 0x06: case 0x07: case 0x09: case 0x0A: case 0x0B: case 0x0C: case 0x0F: case 0x10:
    case 0x13: case 0x14: case 0x16: case 0x1D: case 0x21: case 0x2D: case 0x36: case 0x38: case 0x3E:
        return 1252;
    case 0x08:
        return 1253;
    case 0x1F:
        return 1254;
    case 0x0D:
        return 1255;
    case 0x01: case 0x20: case 0x29:
        return 1256;
    case 0x25: case 0x26: case 0x27:
        return 1257;
    case 0x2A:
        return 1258;
    default:
        return 0;
    }
}

UINT threadAnsiCodePage()
{
    if (t_locale.chosen) {
        UINT page = ansiCodePageOfLocale(t_locale.locale);
        if (page != 0)
            return page;
    }
    return processAnsiCodePage();
}

} // namespace comrt

void ComRtSetAnsiCodePageText(const char* text)
{
    std::lock_guard lock(g_textMutex);
    if (!g_codePageText)
        g_codePageText = new std::optional<std::string>;
    if (text)
        *g_codePageText = std::string(text);
    else
        g_codePageText->reset();
}

LCID WINAPI GetThreadLocale()
{
    return t_locale.locale;
}

BOOL WINAPI SetThreadLocale(LCID Locale)
{
    if (isDefaultLocaleAlias(Locale) && Locale != LOCALE_NEUTRAL) {
        t_locale = ThreadLocale{};
        return TRUE;
    }
    if (comrt::ansiCodePageOfLocale(Locale) == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    t_locale = ThreadLocale{Locale, true};
    return TRUE;
}

int WINAPI GetLocaleInfoA(LCID Locale, LCTYPE LCType, LPSTR lpLCData, int cchData)
{
    if (cchData < 0 || (cchData > 0 && !lpLCData)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (LCType & LOCALE_RETURN_NUMBER) {
        SetLastError(ERROR_INVALID_FLAGS);
        return 0;
    }
    LCTYPE type = LCType & ~static_cast<LCTYPE>(LOCALE_NOUSEROVERRIDE | LOCALE_USE_CP_ACP);
    if (type != LOCALE_IDEFAULTANSICODEPAGE && type != LOCALE_IDEFAULTCODEPAGE) {
        SetLastError(ERROR_INVALID_FLAGS);
        return 0;
    }
    UINT page = codePageForQuery(Locale);
    if (page == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (type == LOCALE_IDEFAULTCODEPAGE)
        return answerText(std::to_string(comrt::oemCodePageFor(page)), lpLCData, cchData);
    {
        std::lock_guard lock(g_textMutex);
        if (g_codePageText && g_codePageText->has_value())
            return answerText(**g_codePageText, lpLCData, cchData);
    }
    return answerText(std::to_string(page), lpLCData, cchData);
}
