// BSTR layout, VARIANT clearing and number parsing.
#include "platform/Automation.h"

#include <gtest/gtest.h>

#include <cstring>

TEST(Bstr, LengthPrefixCharactersAndTerminator)
{
    BSTR text = SysAllocString(u"frame");
    ASSERT_NE(nullptr, text);
    DWORD prefix;
    std::memcpy(&prefix, reinterpret_cast<const char*>(text) - 4, 4);
    EXPECT_EQ(10u, prefix) << "the prefix counts bytes, not characters";
    EXPECT_EQ(5u, SysStringLen(text));
    EXPECT_EQ(10u, SysStringByteLen(text));
    EXPECT_EQ(0, std::memcmp(text, u"frame", 12));
    SysFreeString(text);

    EXPECT_EQ(nullptr, SysAllocString(nullptr));
    EXPECT_EQ(0u, SysStringLen(nullptr));
    EXPECT_EQ(0u, SysStringByteLen(nullptr));
    SysFreeString(nullptr);
}

TEST(Bstr, ExplicitLengthKeepsEmbeddedNulsAndMayLeaveSpaceUninitialised)
{
    const OLECHAR withNul[] = {u'a', 0, u'b'};
    BSTR text = SysAllocStringLen(withNul, 3);
    ASSERT_NE(nullptr, text);
    EXPECT_EQ(3u, SysStringLen(text));
    EXPECT_EQ(u'b', text[2]);
    EXPECT_EQ(0, text[3]);
    SysFreeString(text);

    BSTR space = SysAllocStringLen(nullptr, 7);
    ASSERT_NE(nullptr, space);
    EXPECT_EQ(7u, SysStringLen(space));
    EXPECT_EQ(0, space[7]);
    for (int i = 0; i < 7; ++i)
        space[i] = u'x';
    SysFreeString(space);

    EXPECT_EQ(nullptr, SysAllocStringLen(nullptr, 0x80000000u)) << "the byte count must fit 32 bits";
}

namespace {

struct CountingUnknown : IUnknown {
    int releases = 0;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(++releases); }
};

} // namespace

TEST(Variant, ClearReleasesWhatItOwns)
{
    VARIANT value;
    VariantInit(&value);
    EXPECT_EQ(VT_EMPTY, value.vt);

    value.vt = VT_BSTR;
    value.bstrVal = SysAllocString(u"owned"); // a leak here shows under the sanitizers
    EXPECT_EQ(S_OK, VariantClear(&value));
    EXPECT_EQ(VT_EMPTY, value.vt);

    CountingUnknown object;
    value.vt = VT_UNKNOWN;
    value.punkVal = &object;
    EXPECT_EQ(S_OK, VariantClear(&value));
    EXPECT_EQ(1, object.releases);
    value.vt = VT_DISPATCH;
    value.punkVal = &object;
    EXPECT_EQ(S_OK, VariantClear(&value));
    EXPECT_EQ(2, object.releases);

    value.vt = static_cast<VARTYPE>(VT_UNKNOWN | 0x4000); // by reference: owns nothing
    value.byref = &object;
    EXPECT_EQ(S_OK, VariantClear(&value));
    EXPECT_EQ(2, object.releases);

    value.vt = 0x0FFF;
    EXPECT_EQ(DISP_E_BADVARTYPE, VariantClear(&value));
    EXPECT_EQ(E_INVALIDARG, VariantClear(nullptr));
}

TEST(VarUI4FromStr, ParsesDecimalAndHexWithBlanks)
{
    struct Case {
        const char16_t* text;
        ULONG value;
    } cases[] = {
        {u"42", 42},          {u"  42\t", 42},     {u"+7", 7},       {u"-0", 0},
        {u"4294967295", 0xFFFFFFFFu}, {u"&H1F", 31}, {u"&hffffffff", 0xFFFFFFFFu}, {u"&O17", 15},
        {u"2.5", 2},          {u"3.5", 4},         {u"1.51", 2},
    };
    for (const Case& c : cases) {
        ULONG out = 12345;
        EXPECT_EQ(S_OK, VarUI4FromStr(c.text, 0, 0, &out)) << reinterpret_cast<const char*>(c.text);
        EXPECT_EQ(c.value, out);
    }
}

TEST(VarUI4FromStr, RejectsWithThePlatformsCodes)
{
    ULONG out = 99;
    for (const char16_t* text : {u"4294967296", u"99999999999999999999", u"-1", u"&H100000000"}) {
        EXPECT_EQ(DISP_E_OVERFLOW, VarUI4FromStr(text, 0, 0, &out));
    }
    for (const char16_t* text : {u"", u"   ", u"abc", u"12x", u"1 2", u"&H", u"&HG"}) {
        EXPECT_EQ(DISP_E_TYPEMISMATCH, VarUI4FromStr(text, 0, 0, &out));
    }
    EXPECT_EQ(99u, out) << "a failure leaves the result alone";
    EXPECT_EQ(E_INVALIDARG, VarUI4FromStr(nullptr, 0, 0, &out));
    EXPECT_EQ(E_POINTER, VarUI4FromStr(u"1", 0, 0, nullptr));
}
