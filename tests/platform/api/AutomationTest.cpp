// BSTR strings and VarUI4FromStr.
#include "tests/platform/api/Conformance.h"

#include <cstring>

using namespace apitest;

namespace {

// The platform's declaration takes a writable string.
HRESULT parseUI4(const OLECHAR* text, ULONG* out)
{
    if (!text)
        return VarUI4FromStr(nullptr, LOCALE_USER_DEFAULT, 0, out);
    OleString copy(text);
    return VarUI4FromStr(&copy[0], LOCALE_USER_DEFAULT, 0, out);
}

TEST(Bstr, AllocationAndLength)
{
    BSTR text = SysAllocString(OLESTR("frame"));
    ok(text != nullptr);
    DWORD prefix = 0;
    std::memcpy(&prefix, reinterpret_cast<const char*>(text) - 4, 4);
    ok(prefix == 10) << "the prefix counts bytes: " << prefix;
    ok(SysStringLen(text) == 5) << SysStringLen(text);
    ok(SysStringByteLen(text) == 10) << SysStringByteLen(text);
    ok(text[5] == 0);
    ok(OleString(text) == OLESTR("frame"));
    SysFreeString(text);

    text = SysAllocString(OLESTR(""));
    ok(text != nullptr && SysStringLen(text) == 0 && text[0] == 0) << "an empty string is a string";
    SysFreeString(text);

    ok(SysAllocString(nullptr) == nullptr);
    ok(SysStringLen(nullptr) == 0);
    ok(SysStringByteLen(nullptr) == 0);
    SysFreeString(nullptr);

    // An explicit length keeps embedded nulls and adds the terminator.
    const OLECHAR withNul[] = {'a', 0, 'b', 'c'};
    text = SysAllocStringLen(withNul, 3);
    ok(text != nullptr);
    ok(SysStringLen(text) == 3) << SysStringLen(text);
    ok(text[1] == 0 && text[2] == 'b' && text[3] == 0);
    SysFreeString(text);

    // Without a source the room is there, terminated.
    text = SysAllocStringLen(nullptr, 7);
    ok(text != nullptr);
    ok(SysStringLen(text) == 7) << SysStringLen(text);
    ok(text[7] == 0);
    SysFreeString(text);
    text = SysAllocStringLen(nullptr, 0);
    ok(text != nullptr && SysStringLen(text) == 0 && text[0] == 0);
    SysFreeString(text);

    // A length whose byte count does not fit 32 bits.
    ok(SysAllocStringLen(nullptr, 0x80000000u) == nullptr);
    ok(SysAllocStringLen(nullptr, 0xFFFFFFFFu) == nullptr);
}

TEST(VarUI4FromStr, Numbers)
{
    struct Case {
        const OLECHAR* text;
        ULONG value;
    } cases[] = {
        {OLESTR("42"), 42},
        {OLESTR("  42\t"), 42},
        {OLESTR("+7"), 7},
        {OLESTR("-0"), 0},
        {OLESTR("0"), 0},
        {OLESTR("4294967295"), 0xFFFFFFFFu},
        {OLESTR("&H1F"), 31},
        {OLESTR("&hffffffff"), 0xFFFFFFFFu},
        {OLESTR("&O17"), 15},
        {OLESTR("2.5"), 2},
        {OLESTR("3.5"), 4},
        {OLESTR("1.51"), 2},
    };
    for (const Case& c : cases) {
        ULONG out = SENTINEL_DWORD;
        const HRESULT hr = parseUI4(c.text, &out);
        ok(hr == S_OK) << text(c.text) << ": " << hex(static_cast<ULONG>(hr));
        ok(out == c.value) << text(c.text) << ": " << out;
    }

    // Exponents and the locale's thousands separator.
    for (const OLECHAR* spelled : {OLESTR("1e3"), OLESTR("1,000")}) {
        ULONG out = SENTINEL_DWORD;
        const HRESULT hr = parseUI4(spelled, &out);
        ON_LINUX_RUNTIME_DIFFERS("VarUI4FromStr reads plain decimal, hexadecimal and octal numbers only")
        ok(hr == S_OK && out == 1000) << text(spelled) << ": " << hex(static_cast<ULONG>(hr)) << " " << out;
    }
}

TEST(VarUI4FromStr, Refusals)
{
    for (const OLECHAR* overflow :
         {OLESTR("4294967296"), OLESTR("99999999999999999999"), OLESTR("-1"), OLESTR("&H100000000")}) {
        ULONG out = SENTINEL_DWORD;
        const HRESULT hr = parseUI4(overflow, &out);
        ok(hr == DISP_E_OVERFLOW) << text(overflow) << ": " << hex(static_cast<ULONG>(hr));
        ok(out == SENTINEL_DWORD) << text(overflow) << ": " << out;
    }
    for (const OLECHAR* bad :
         {OLESTR(""), OLESTR("   "), OLESTR("abc"), OLESTR("12x"), OLESTR("1 2"), OLESTR("&H"), OLESTR("&HG")}) {
        ULONG out = SENTINEL_DWORD;
        const HRESULT hr = parseUI4(bad, &out);
        ok(hr == DISP_E_TYPEMISMATCH) << text(bad) << ": " << hex(static_cast<ULONG>(hr));
        ok(out == SENTINEL_DWORD) << text(bad) << ": " << out;
    }
    ULONG out = SENTINEL_DWORD;
    HRESULT hr = parseUI4(nullptr, &out);
    ok(hr == DISP_E_TYPEMISMATCH || hr == E_INVALIDARG) << hex(static_cast<ULONG>(hr));
    ok(out == SENTINEL_DWORD) << out;
}

} // namespace
