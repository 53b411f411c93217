// Narrow text as the registry program runner walks it: comparison, copying,
// lead bytes, and searching double-byte text without splitting characters.
#include "platform/Kernel.h"
#include "platform/linux/ComRtExtensions.h"

#include <gtest/gtest.h>

namespace {

class AnsiText : public ::testing::Test {
protected:
    void TearDown() override { ComRtSetAnsiCodePage(0); }
};

} // namespace

TEST(NarrowStrings, CompareIgnoringCaseWithNullsFirst)
{
    EXPECT_EQ(0, lstrcmpiA("Module", "MODULE"));
    EXPECT_EQ(0, lstrcmpiA("module_raw", "Module_Raw"));
    EXPECT_LT(lstrcmpiA("apple", "Banana"), 0);
    EXPECT_GT(lstrcmpiA("MODULETYPE", "module"), 0);
    EXPECT_EQ(0, lstrcmpiA(nullptr, nullptr));
    EXPECT_LT(lstrcmpiA(nullptr, ""), 0);
    EXPECT_GT(lstrcmpiA("", nullptr), 0);
}

TEST(NarrowStrings, LengthAndBoundedCopy)
{
    EXPECT_EQ(0, lstrlenA(nullptr));
    EXPECT_EQ(5, lstrlenA("hello"));

    char buffer[8] = "#######";
    EXPECT_EQ(buffer, lstrcpynA(buffer, "truncated", 4));
    EXPECT_STREQ("tru", buffer) << "n-1 characters and a terminator";
    EXPECT_STREQ("ab", lstrcpynA(buffer, "ab", 8));

    char untouched[4] = "xyz";
    EXPECT_EQ(untouched, lstrcpynA(untouched, "abc", 0));
    EXPECT_EQ(untouched, lstrcpynA(untouched, "abc", -5)) << "a negative size must not copy without bound";
    EXPECT_STREQ("xyz", untouched);
}

TEST_F(AnsiText, LeadBytesFollowTheCodePage)
{
    EXPECT_TRUE(IsDBCSLeadByteEx(936, 0xC0));
    EXPECT_FALSE(IsDBCSLeadByteEx(936, 'A'));
    EXPECT_FALSE(IsDBCSLeadByteEx(936, 0x80));
    EXPECT_TRUE(IsDBCSLeadByteEx(932, 0x95));
    EXPECT_FALSE(IsDBCSLeadByteEx(932, 0xA5)) << "half-width katakana are single bytes";
    EXPECT_TRUE(IsDBCSLeadByteEx(949, 0xB0));
    EXPECT_TRUE(IsDBCSLeadByteEx(950, 0xA4));
    EXPECT_FALSE(IsDBCSLeadByteEx(CP_UTF8, 0xE6));
    EXPECT_FALSE(IsDBCSLeadByteEx(1252, 0xC0));
    SetLastError(0);
    EXPECT_FALSE(IsDBCSLeadByteEx(54321, 0xC0));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());

    EXPECT_FALSE(IsDBCSLeadByte(0xC0)) << "the default ANSI page is UTF-8";
    ComRtSetAnsiCodePage(936);
    EXPECT_TRUE(IsDBCSLeadByte(0xC0));
}

TEST_F(AnsiText, MbschrNeverMatchesATrailByte)
{
    ComRtSetAnsiCodePage(932);
    // "表" in 932 is 0x95 0x5C: its trail byte is a backslash.
    const unsigned char text[] = "\x95\x5C" "a\\b";
    EXPECT_EQ(text + 3, _mbschr(text, '\\'));
    EXPECT_EQ(text, _mbschr(text, 0x955C)) << "a double-byte character matches as a whole";
    EXPECT_EQ(text + 5, _mbschr(text, 0)) << "searching for 0 finds the terminator";
    EXPECT_EQ(nullptr, _mbschr(text, '%'));

    ComRtSetAnsiCodePage(936);
    const unsigned char chinese[] = "%\x81\x5C%";
    EXPECT_EQ(chinese + 3, _mbschr(chinese + 1, '%'));
    EXPECT_EQ(nullptr, _mbschr(chinese, '\\'));
}
