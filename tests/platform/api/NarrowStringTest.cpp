// The kernel's narrow string helpers: comparison without case, length, bounded
// copy, lead bytes of double-byte code pages, and stepping by characters.
#include "tests/platform/api/Conformance.h"

#include <cstring>

using namespace apitest;

namespace {

int sign(int value)
{
    return (value > 0) - (value < 0);
}

TEST(NarrowStrings, CompareWithoutCase)
{
    struct Case {
        const char* a;
        const char* b;
        int expected;
    } cases[] = {
        {"abc", "ABC", 0},  {"abc", "ABD", -1}, {"abd", "ABC", 1}, {"ab", "abc", -1}, {"", "", 0},
        {"", "a", -1},      {"Z", "_", 1},      {"1", "a", -1},    {"a", "B", -1},    {"InprocServer32", "INPROCSERVER32", 0},
    };
    for (const Case& c : cases)
        ok(sign(lstrcmpiA(c.a, c.b)) == c.expected) << c.a << " / " << c.b << ": " << lstrcmpiA(c.a, c.b);

    // Null sorts before everything.
    ok(lstrcmpiA(nullptr, nullptr) == 0);
    ok(sign(lstrcmpiA(nullptr, "")) == -1) << lstrcmpiA(nullptr, "");
    ok(sign(lstrcmpiA("", nullptr)) == 1) << lstrcmpiA("", nullptr);

    // Letters beyond ASCII sort by the locale: an accented e before f.
    ON_LINUX_RUNTIME_DIFFERS("lstrcmpiA folds ASCII letters only and compares other bytes by value")
    ok(sign(lstrcmpiA("\xE9", "f")) == -1) << lstrcmpiA("\xE9", "f");
}

TEST(NarrowStrings, LengthAndBoundedCopy)
{
    ok(lstrlenA("frame") == 5);
    ok(lstrlenA("") == 0);
    ok(lstrlenA(nullptr) == 0);

    char buffer[8];
    std::memset(buffer, '#', sizeof buffer);
    LPSTR result = lstrcpynA(buffer, "hello", 3);
    ok(result == buffer);
    ok(std::memcmp(buffer, "he\0#", 4) == 0) << buffer;
    std::memset(buffer, '#', sizeof buffer);
    result = lstrcpynA(buffer, "hi", 8);
    ok(result == buffer);
    ok(std::memcmp(buffer, "hi\0#", 4) == 0) << buffer;
    std::memset(buffer, '#', sizeof buffer);
    result = lstrcpynA(buffer, "hi", 1);
    ok(result == buffer && buffer[0] == 0 && buffer[1] == '#');
    std::memset(buffer, '#', sizeof buffer);
    result = lstrcpynA(buffer, "hi", 0);
    ok(result == buffer && buffer[0] == '#') << "a size of 0 writes nothing";
}

TEST(NarrowStrings, LeadBytes)
{
    struct Case {
        UINT page;
        BYTE byte;
        BOOL lead;
    } cases[] = {
        {936, 0x81, TRUE},  {936, 0xFE, TRUE},  {936, 0x80, FALSE}, {936, 0xFF, FALSE}, {936, 'a', FALSE},
        {932, 0x81, TRUE},  {932, 0x9F, TRUE},  {932, 0xA0, FALSE}, {932, 0xB1, FALSE}, {932, 0xE0, TRUE},
        {932, 0xFC, TRUE},  {932, 0xFD, FALSE}, {949, 0x81, TRUE},  {949, 0xFE, TRUE},  {950, 0x81, TRUE},
        {950, 0x7F, FALSE}, {1252, 0x81, FALSE}, {CP_UTF8, 0xC3, FALSE}, {CP_UTF8, 0xE4, FALSE},
    };
    for (const Case& c : cases)
        ok(IsDBCSLeadByteEx(c.page, c.byte) == c.lead) << c.page << " " << hex(c.byte);

    SetLastError(SENTINEL_ERROR);
    ok(IsDBCSLeadByteEx(12345, 0x81) == FALSE);
    ok(GetLastError() == ERROR_INVALID_PARAMETER) << GetLastError();

    // The ANSI code page's own answer is the same as asking for it by number.
    for (unsigned byte = 0x80; byte < 0x100; byte += 0x11)
        ok(IsDBCSLeadByte(static_cast<BYTE>(byte)) == IsDBCSLeadByteEx(GetACP(), static_cast<BYTE>(byte))) << byte;
}

TEST(NarrowStrings, CharNext)
{
    const char* ascii = "ab";
    ok(CharNextA(ascii) == ascii + 1);
    ok(CharNextA(ascii + 2) == ascii + 2) << "the terminator is the end";

    // An UTF-8 e with acute: one character where the ANSI code page is UTF-8, two elsewhere.
    const char* accented = "\xC3\xA9z";
    const ptrdiff_t step = CharNextA(accented) - accented;
    ok(step == (GetACP() == CP_UTF8 ? 2 : 1)) << step;
}

} // namespace
