// MultiByteToWideChar and WideCharToMultiByte in each code page the runtime
// converts: argument checks, size queries and short buffers, flags, invalid
// sequences, surrogates and default characters.
#include "tests/platform/api/Conformance.h"

#include <cstring>
#include <string>

using namespace apitest;

namespace {

const OLECHAR kSentinelWide = 0x2323;

// Converts and keeps the answer, the last error and the output.
struct ToWide {
    int result;
    DWORD error;
    OleString text;
};

ToWide toWide(UINT page, DWORD flags, const char* bytes, int length, int capacity = 32)
{
    OLECHAR buffer[64];
    for (OLECHAR& c : buffer)
        c = kSentinelWide;
    SetLastError(SENTINEL_ERROR);
    const int result = MultiByteToWideChar(page, flags, bytes, length, capacity ? buffer : nullptr, capacity);
    const DWORD error = GetLastError();
    return {result, error, OleString(buffer, result > 0 && capacity ? result : 0)};
}

struct ToBytes {
    int result;
    DWORD error;
    std::string text;
    BOOL usedDefault;
};

ToBytes toBytes(UINT page, DWORD flags, const OLECHAR* text, int length, int capacity = 32,
                const char* defaultChar = nullptr, bool askUsedDefault = false)
{
    char buffer[64];
    std::memset(buffer, '#', sizeof buffer);
    BOOL used = static_cast<BOOL>(SENTINEL_ERROR);
    SetLastError(SENTINEL_ERROR);
    const int result = WideCharToMultiByte(page, flags, text, length, capacity ? buffer : nullptr, capacity,
                                           defaultChar, askUsedDefault ? &used : nullptr);
    const DWORD error = GetLastError();
    return {result, error, std::string(buffer, result > 0 && capacity ? result : 0), used};
}

OleString units(std::initializer_list<unsigned> list)
{
    OleString out;
    for (unsigned u : list)
        out.push_back(static_cast<OLECHAR>(u));
    return out;
}

TEST(CodePages, ArgumentChecks)
{
    OLECHAR wide[8];
    char narrow[8];
    const OLECHAR foo[] = {'f', 'o', 'o', 0};

    for (const UINT page : {UINT(CP_UTF8), UINT(1252), UINT(936)}) {
        SetLastError(SENTINEL_ERROR);
        ok(MultiByteToWideChar(page, 0, nullptr, 3, wide, 8) == 0);
        ok(GetLastError() == ERROR_INVALID_PARAMETER) << page << ": " << GetLastError();
        SetLastError(SENTINEL_ERROR);
        ok(MultiByteToWideChar(page, 0, "foo", 0, wide, 8) == 0);
        ok(GetLastError() == ERROR_INVALID_PARAMETER) << page << ": " << GetLastError();
        SetLastError(SENTINEL_ERROR);
        ok(MultiByteToWideChar(page, 0, "foo", 3, nullptr, 8) == 0);
        ok(GetLastError() == ERROR_INVALID_PARAMETER) << page << ": " << GetLastError();
        SetLastError(SENTINEL_ERROR);
        ok(MultiByteToWideChar(page, 0, "foo", 3, wide, -1) == 0);
        ok(GetLastError() == ERROR_INVALID_PARAMETER) << page << ": " << GetLastError();

        SetLastError(SENTINEL_ERROR);
        ok(WideCharToMultiByte(page, 0, nullptr, 3, narrow, 8, nullptr, nullptr) == 0);
        ok(GetLastError() == ERROR_INVALID_PARAMETER) << page << ": " << GetLastError();
        SetLastError(SENTINEL_ERROR);
        ok(WideCharToMultiByte(page, 0, foo, 0, narrow, 8, nullptr, nullptr) == 0);
        ok(GetLastError() == ERROR_INVALID_PARAMETER) << page << ": " << GetLastError();
        SetLastError(SENTINEL_ERROR);
        ok(WideCharToMultiByte(page, 0, foo, 3, nullptr, 8, nullptr, nullptr) == 0);
        ok(GetLastError() == ERROR_INVALID_PARAMETER) << page << ": " << GetLastError();
        SetLastError(SENTINEL_ERROR);
        ok(WideCharToMultiByte(page, 0, foo, 3, narrow, -1, nullptr, nullptr) == 0);
        ok(GetLastError() == ERROR_INVALID_PARAMETER) << page << ": " << GetLastError();
    }

    // Source and destination may not overlap.
    OLECHAR shared[16] = {'f', 'o', 'o', 0};
    SetLastError(SENTINEL_ERROR);
    int result = WideCharToMultiByte(CP_UTF8, 0, shared, -1, reinterpret_cast<char*>(shared), sizeof shared, nullptr,
                                     nullptr);
    DWORD error = GetLastError();
    ON_WINE_DIFFERS("Wine converts between overlapping buffers")
    ok(result == 0 && error == ERROR_INVALID_PARAMETER) << result << " " << error;
    char sharedBytes[32] = "foo";
    SetLastError(SENTINEL_ERROR);
    result = MultiByteToWideChar(CP_UTF8, 0, sharedBytes, -1, reinterpret_cast<OLECHAR*>(sharedBytes), 16);
    error = GetLastError();
    ON_WINE_DIFFERS("Wine converts between overlapping buffers")
    ok(result == 0 && error == ERROR_INVALID_PARAMETER) << result << " " << error;

    // Code pages that do not exist, and UTF-16, which is no multi-byte one.
    for (const UINT page : {UINT(1200), UINT(1201), UINT(12345), UINT(65002)}) {
        const ToWide w = toWide(page, 0, "foo", 3);
        ok(w.result == 0 && w.error == ERROR_INVALID_PARAMETER) << page << ": " << w.result << " " << w.error;
        const ToBytes b = toBytes(page, 0, foo, 3);
        ok(b.result == 0 && b.error == ERROR_INVALID_PARAMETER) << page << ": " << b.result << " " << b.error;
    }
}

TEST(CodePages, SizesAndShortBuffers)
{
    const OLECHAR foo[] = {'f', 'o', 'o', 0};
    for (const UINT page : {UINT(CP_ACP), UINT(CP_UTF8), UINT(CP_UTF7), UINT(1252), UINT(936), UINT(932)}) {
        // A length of -1 takes the terminator along; a capacity of 0 asks for the size.
        ToWide w = toWide(page, 0, "foo", -1, 0);
        ok(w.result == 4) << page << ": " << w.result;
        ok(w.error == SENTINEL_ERROR) << page << ": " << w.error;
        w = toWide(page, 0, "foo", 3, 0);
        ok(w.result == 3) << page << ": " << w.result;
        w = toWide(page, 0, "foo", -1);
        ok(w.result == 4 && w.text == units({'f', 'o', 'o', 0})) << page << ": " << w.result;
        ok(w.error == SENTINEL_ERROR) << page << ": " << w.error;
        // One short: nothing counted as converted.
        w = toWide(page, 0, "foo", -1, 3);
        ok(w.result == 0 && w.error == ERROR_INSUFFICIENT_BUFFER) << page << ": " << w.result << " " << w.error;

        ToBytes b = toBytes(page, 0, foo, -1, 0);
        ok(b.result == 4) << page << ": " << b.result;
        ok(b.error == SENTINEL_ERROR) << page << ": " << b.error;
        b = toBytes(page, 0, foo, 3);
        ok(b.result == 3 && b.text == "foo") << page << ": " << b.result;
        b = toBytes(page, 0, foo, -1, 3);
        ok(b.result == 0 && b.error == ERROR_INSUFFICIENT_BUFFER) << page << ": " << b.result << " " << b.error;
    }

    // A character that takes several bytes does not fit into fewer.
    const OLECHAR han[] = {0x4E2D, 0};
    ToBytes b = toBytes(CP_UTF8, 0, han, 1, 2);
    ok(b.result == 0 && b.error == ERROR_INSUFFICIENT_BUFFER) << b.result << " " << b.error;
    b = toBytes(CP_UTF8, 0, han, 1, 0);
    ok(b.result == 3) << b.result;
    b = toBytes(936, 0, han, 1, 1);
    ok(b.result == 0 && b.error == ERROR_INSUFFICIENT_BUFFER) << b.result << " " << b.error;
    b = toBytes(936, 0, han, 1, 0);
    ok(b.result == 2) << b.result;
}

TEST(CodePages, Flags)
{
    const OLECHAR foo[] = {'f', 'o', 'o', 0};
    struct Case {
        UINT page;
        DWORD flags;
        bool accepted;
        bool wineAccepts; // where Wine takes a flag the documentation refuses
    };
    // Which flags each code page takes when converting to UTF-16.
    const Case toWideCases[] = {
        {CP_UTF8, 0, true, false},
        {CP_UTF8, MB_ERR_INVALID_CHARS, true, false},
        {CP_UTF8, MB_PRECOMPOSED, false, true},
        {CP_UTF8, MB_COMPOSITE, false, true},
        {CP_UTF8, MB_USEGLYPHCHARS, false, true},
        {CP_UTF7, MB_ERR_INVALID_CHARS, false, false},
        {CP_UTF7, MB_PRECOMPOSED, false, false},
        {1252, MB_PRECOMPOSED, true, false},
        {1252, MB_COMPOSITE, true, false},
        {1252, MB_USEGLYPHCHARS, true, false},
        {1252, MB_ERR_INVALID_CHARS, true, false},
        {1252, MB_PRECOMPOSED | MB_COMPOSITE, false, true},
        {1252, 0x100, false, false},
        {936, MB_PRECOMPOSED | MB_ERR_INVALID_CHARS, true, false},
    };
    for (const Case& c : toWideCases) {
        const ToWide w = toWide(c.page, c.flags, "foo", 3);
        if (c.accepted) {
            ok(w.result == 3) << c.page << " flags " << hex(c.flags) << ": " << w.result << " " << w.error;
        } else if (c.wineAccepts) {
            ON_WINE_DIFFERS("Wine takes conversion flags the documentation refuses")
            ok(w.result == 0 && w.error == ERROR_INVALID_FLAGS)
                << c.page << " flags " << hex(c.flags) << ": " << w.result << " " << w.error;
        } else {
            ok(w.result == 0 && w.error == ERROR_INVALID_FLAGS)
                << c.page << " flags " << hex(c.flags) << ": " << w.result << " " << w.error;
        }
    }

    // And from UTF-16.
    const Case toBytesCases[] = {
        {CP_UTF8, 0, true, false},
        {CP_UTF8, WC_ERR_INVALID_CHARS, true, false},
        {CP_UTF8, WC_COMPOSITECHECK, false, true},
        {CP_UTF8, WC_NO_BEST_FIT_CHARS, false, true},
        {CP_UTF8, WC_DEFAULTCHAR, false, true},
        {CP_UTF7, WC_ERR_INVALID_CHARS, false, false},
        {CP_UTF7, WC_COMPOSITECHECK, false, false},
        {1252, WC_COMPOSITECHECK, true, false},
        {1252, WC_COMPOSITECHECK | WC_DISCARDNS, true, false},
        {1252, WC_COMPOSITECHECK | WC_SEPCHARS, true, false},
        {1252, WC_COMPOSITECHECK | WC_DEFAULTCHAR, true, false},
        {1252, WC_NO_BEST_FIT_CHARS, true, false},
        {1252, WC_ERR_INVALID_CHARS, false, true},
        {1252, 0x1000, false, false},
        {936, WC_NO_BEST_FIT_CHARS, true, false},
    };
    for (const Case& c : toBytesCases) {
        const ToBytes b = toBytes(c.page, c.flags, foo, 3);
        if (c.accepted) {
            ok(b.result == 3) << c.page << " flags " << hex(c.flags) << ": " << b.result << " " << b.error;
        } else if (c.wineAccepts) {
            ON_WINE_DIFFERS("Wine takes conversion flags the documentation refuses")
            ok(b.result == 0 && b.error == ERROR_INVALID_FLAGS)
                << c.page << " flags " << hex(c.flags) << ": " << b.result << " " << b.error;
        } else {
            ok(b.result == 0 && b.error == ERROR_INVALID_FLAGS)
                << c.page << " flags " << hex(c.flags) << ": " << b.result << " " << b.error;
        }
    }

    // UTF-8 and UTF-7 have no default character: asking for one is refused.
    for (const UINT page : {UINT(CP_UTF8), UINT(CP_UTF7)}) {
        const bool wineAccepts = page == CP_UTF8;
        ToBytes b = toBytes(page, 0, foo, 3, 32, "?");
        APITEST_DIFFERS(wineAccepts ? Side::Wine : Side::None, "Wine takes a default character for UTF-8")
        ok(b.result == 0 && b.error == ERROR_INVALID_PARAMETER) << page << ": " << b.result << " " << b.error;
        b = toBytes(page, 0, foo, 3, 32, nullptr, true);
        APITEST_DIFFERS(wineAccepts ? Side::Wine : Side::None, "Wine takes a default character for UTF-8")
        {
            ok(b.result == 0 && b.error == ERROR_INVALID_PARAMETER) << page << ": " << b.result << " " << b.error;
            ok(b.usedDefault == static_cast<BOOL>(SENTINEL_ERROR)) << "untouched: " << b.usedDefault;
        }
    }
}

TEST(CodePages, Utf8InvalidSequencesAndSurrogates)
{
    // Each maximal ill-formed part becomes one U+FFFD, or fails the call when strict.
    struct Case {
        const char* bytes;
        OleString expected;
    };
    const Case cases[] = {
        {"a\x80z", units({'a', 0xFFFD, 'z'})},
        {"\xC3", units({0xFFFD})},
        {"\xC0\xAF", units({0xFFFD, 0xFFFD})},             // overlong
        {"\xE2\x82", units({0xFFFD})},                     // truncated
        {"\xE2\x82z", units({0xFFFD, 'z'})},
        {"\xFF", units({0xFFFD})},
        {"\xC3\xA9", units({0xE9})},
        {"\xE4\xB8\xAD", units({0x4E2D})},
        {"\xF0\x9F\x98\x80", units({0xD83D, 0xDE00})}, // a pair
    };
    for (const Case& c : cases) {
        const int length = static_cast<int>(std::strlen(c.bytes));
        ToWide w = toWide(CP_UTF8, 0, c.bytes, length);
        ok(w.text == c.expected) << hex(static_cast<unsigned char>(c.bytes[0])) << ": " << text(w.text.c_str());
        const bool valid = c.expected.find(static_cast<OLECHAR>(0xFFFD)) == OleString::npos;
        w = toWide(CP_UTF8, MB_ERR_INVALID_CHARS, c.bytes, length);
        if (valid)
            ok(w.text == c.expected) << hex(static_cast<unsigned char>(c.bytes[0]));
        else
            ok(w.result == 0 && w.error == ERROR_NO_UNICODE_TRANSLATION)
                << hex(static_cast<unsigned char>(c.bytes[0])) << ": " << w.result << " " << w.error;
    }

    // An encoded surrogate and a code point past U+10FFFF: nothing but replacements
    // (how many is not documented), or a failure when strict.
    for (const char* outside : {"\xED\xA0\x80", "\xF4\x90\x80\x80"}) {
        const int length = static_cast<int>(std::strlen(outside));
        ToWide w = toWide(CP_UTF8, 0, outside, length);
        ok(w.result >= 1 && w.text == OleString(w.result, static_cast<OLECHAR>(0xFFFD))) << text(w.text.c_str());
        w = toWide(CP_UTF8, MB_ERR_INVALID_CHARS, outside, length);
        ok(w.result == 0 && w.error == ERROR_NO_UNICODE_TRANSLATION) << w.result << " " << w.error;
    }

    // From UTF-16: pairs become four bytes, lone halves U+FFFD or a failure when strict.
    const OLECHAR pair[] = {0xD83D, 0xDE00};
    ToBytes b = toBytes(CP_UTF8, 0, pair, 2);
    ok(b.text == "\xF0\x9F\x98\x80") << b.result;
    const OLECHAR high[] = {'a', 0xD83D, 'b'};
    b = toBytes(CP_UTF8, 0, high, 3);
    ok(b.text == "a\xEF\xBF\xBD" "b") << b.result;
    const OLECHAR low[] = {0xDE00, 'b'};
    b = toBytes(CP_UTF8, 0, low, 2);
    ok(b.text == "\xEF\xBF\xBD" "b") << b.result;
    const OLECHAR reversed[] = {0xDE00, 0xD83D};
    b = toBytes(CP_UTF8, 0, reversed, 2);
    ok(b.text == "\xEF\xBF\xBD\xEF\xBF\xBD") << b.result;
    b = toBytes(CP_UTF8, 0, pair, 1);
    ok(b.text == "\xEF\xBF\xBD") << "a pair cut by the length: " << b.result;
    for (const OLECHAR* lone : {high, low, reversed}) {
        b = toBytes(CP_UTF8, WC_ERR_INVALID_CHARS, lone, 2);
        ok(b.result == 0 && b.error == ERROR_NO_UNICODE_TRANSLATION) << b.result << " " << b.error;
    }
    b = toBytes(CP_UTF8, WC_ERR_INVALID_CHARS, pair, 2);
    ok(b.result == 4) << b.result;
    // The size query counts the same bytes.
    b = toBytes(CP_UTF8, 0, high, 3, 0);
    ok(b.result == 5) << b.result;
}

TEST(CodePages, Utf7)
{
    const OLECHAR plus[] = {'1', '+', '1'};
    ToBytes b = toBytes(CP_UTF7, 0, plus, 3);
    ok(b.text == "1+-1") << b.text;
    const OLECHAR mixed[] = {'A', 0x2262, 0x0391, '.'};
    b = toBytes(CP_UTF7, 0, mixed, 4);
    ON_LINUX_RUNTIME_DIFFERS("UTF-7 through iconv, which ends a base64 run before '.' without a '-'")
    ok(b.text == "A+ImIDkQ-.") << b.text;
    ToWide w = toWide(CP_UTF7, 0, "A+ImIDkQ.", 9);
    ok(w.text == units({'A', 0x2262, 0x0391, '.'})) << text(w.text.c_str());
    w = toWide(CP_UTF7, 0, "1+-1", 4);
    ok(w.text == units({'1', '+', '1'})) << text(w.text.c_str());
    const OLECHAR pair[] = {0xD83D, 0xDE00};
    b = toBytes(CP_UTF7, 0, pair, 2);
    ok(b.text == "+2D3eAA-") << b.text;
    w = toWide(CP_UTF7, 0, "+2D3eAA-", 8);
    ok(w.text == units({0xD83D, 0xDE00})) << text(w.text.c_str());
}

TEST(CodePages, SingleAndDoubleByte)
{
    // 1252: the euro sign, a character it lacks, the default character.
    ToWide w = toWide(1252, 0, "\x80\xE9", 2);
    ok(w.text == units({0x20AC, 0xE9})) << text(w.text.c_str());
    const OLECHAR euro[] = {0x20AC, 0xE9};
    ToBytes b = toBytes(1252, 0, euro, 2, 32, nullptr, true);
    ok(b.text == "\x80\xE9") << b.text;
    ok(b.usedDefault == FALSE) << b.usedDefault;
    const OLECHAR han[] = {'a', 0x4E2D};
    b = toBytes(1252, 0, han, 2, 32, nullptr, true);
    ok(b.text == "a?") << b.text;
    ok(b.usedDefault == TRUE) << b.usedDefault;
    b = toBytes(1252, 0, han, 2, 32, "!", true);
    ok(b.text == "a!") << b.text;
    ok(b.usedDefault == TRUE) << b.usedDefault;
    b = toBytes(1252, 0, han, 2, 0, nullptr, true);
    ok(b.result == 2) << b.result;
    ok(b.usedDefault == TRUE) << "the size query reports it too: " << b.usedDefault;

    // Best fit: without the flag a close character, with it the default.
    const OLECHAR macron[] = {0x0100};
    b = toBytes(1252, 0, macron, 1, 32, nullptr, true);
    ON_LINUX_RUNTIME_DIFFERS("no best-fit tables: a character the code page lacks becomes the default character")
    {
        ok(b.text == "A") << b.text;
        ok(b.usedDefault == FALSE) << b.usedDefault;
    }
    b = toBytes(1252, WC_NO_BEST_FIT_CHARS, macron, 1, 32, nullptr, true);
    ok(b.text == "?") << b.text;
    ok(b.usedDefault == TRUE) << b.usedDefault;

    // 1252 has five bytes without a character; they map to the C1 controls.
    w = toWide(1252, 0, "\x81\x8D\x8F\x90\x9D", 5);
    ok(w.text == units({0x81, 0x8D, 0x8F, 0x90, 0x9D})) << text(w.text.c_str());

    // Double-byte pages: both ways, and a lead byte without its trail byte.
    w = toWide(936, 0, "\xD6\xD0\xCE\xC4", 4);
    ok(w.text == units({0x4E2D, 0x6587})) << text(w.text.c_str());
    const OLECHAR zhongwen[] = {0x4E2D, 0x6587};
    b = toBytes(936, 0, zhongwen, 2);
    ok(b.text == "\xD6\xD0\xCE\xC4") << b.result;
    w = toWide(932, 0, "\x93\xFA\x96\x7B", 4);
    ok(w.text == units({0x65E5, 0x672C})) << text(w.text.c_str());
    const OLECHAR nihon[] = {0x65E5, 0x672C};
    b = toBytes(932, 0, nihon, 2);
    ok(b.text == "\x93\xFA\x96\x7B") << b.result;
    w = toWide(932, 0, "\xB1", 1);
    ok(w.text == units({0xFF71})) << "a half-width katakana: " << text(w.text.c_str());
    w = toWide(936, MB_ERR_INVALID_CHARS, "a\xD6", 2);
    ok(w.result == 0 && w.error == ERROR_NO_UNICODE_TRANSLATION) << w.result << " " << w.error;
    w = toWide(932, MB_ERR_INVALID_CHARS, "a\x93", 2);
    ok(w.result == 0 && w.error == ERROR_NO_UNICODE_TRANSLATION) << w.result << " " << w.error;
    w = toWide(936, 0, "a\xD6", 2, 0);
    ok(w.result == 2) << "the lone lead byte still gives one character: " << w.result;
}

TEST(CodePages, AnsiCodePage)
{
    const UINT acp = GetACP();
    ON_LINUX_RUNTIME_DIFFERS("the ANSI code page is UTF-8, as Linux file names are")
    ok(acp != CP_UTF8) << acp;

    // CP_ACP and CP_THREAD_ACP convert as the code page GetACP names.
    const char* sample = "caf\xC3\xA9 \xE9";
    const ToWide byAcp = toWide(CP_ACP, 0, sample, -1);
    const ToWide byNumber = toWide(acp, 0, sample, -1);
    ok(byAcp.result == byNumber.result && byAcp.text == byNumber.text) << byAcp.result << " " << byNumber.result;
    const ToWide byThread = toWide(CP_THREAD_ACP, 0, sample, -1);
    ok(byThread.result == byNumber.result) << byThread.result;
}

} // namespace
