// Conversions between code pages and UTF-16, with the platform's size and error
// conventions, and how CP_ACP and CP_THREAD_ACP are chosen.
#include "platform/Kernel.h"
#include "platform/linux/ComRtExtensions.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <thread>

namespace {

// "MORVEN 1.0 类型库" in code page 936.
const std::string kSentence936 = "MORVEN 1.0 \xC0\xE0\xD0\xCD\xBF\xE2";
const std::u16string kSentenceWide = u"MORVEN 1.0 类型库";

class CodePages : public ::testing::Test {
protected:
    void TearDown() override
    {
        ComRtSetAnsiCodePage(0);
        ComRtSetAnsiCodePageText(nullptr);
        ComRtResetVersionAnswer();
        SetThreadLocale(LOCALE_USER_DEFAULT);
    }
};

std::u16string toWide(UINT codePage, const std::string& bytes, DWORD flags = 0)
{
    int size = MultiByteToWideChar(codePage, flags, bytes.c_str(), -1, nullptr, 0);
    if (size <= 0)
        return u"<failed>";
    std::u16string wide(static_cast<size_t>(size), u'\0');
    EXPECT_EQ(size, MultiByteToWideChar(codePage, flags, bytes.c_str(), -1, wide.data(), size));
    wide.pop_back(); // the terminator, counted because the length was -1
    return wide;
}

std::string toBytes(UINT codePage, const std::u16string& wide)
{
    int size = WideCharToMultiByte(codePage, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (size <= 0)
        return "<failed>";
    std::string bytes(static_cast<size_t>(size), '\0');
    EXPECT_EQ(size, WideCharToMultiByte(codePage, 0, wide.c_str(), -1, bytes.data(), size, nullptr, nullptr));
    bytes.pop_back();
    return bytes;
}

std::string localeCodePageText(LCID locale)
{
    char text[16] = "untouched";
    int length = GetLocaleInfoA(locale, LOCALE_IDEFAULTANSICODEPAGE, text, sizeof(text));
    return length > 0 ? std::string(text) : "<failed>";
}

} // namespace

TEST_F(CodePages, Sentence936RoundTripsThroughUtf16)
{
    EXPECT_EQ(kSentenceWide, toWide(936, kSentence936));
    EXPECT_EQ(kSentence936, toBytes(936, toWide(936, kSentence936)));

    // The same through CP_ACP once the process code page is 936 ...
    ComRtSetAnsiCodePage(936);
    EXPECT_EQ(936u, GetACP());
    EXPECT_EQ(kSentence936, toBytes(CP_ACP, toWide(CP_ACP, kSentence936)));

    // ... and through CP_THREAD_ACP for a thread in the Chinese (PRC) locale.
    ComRtSetAnsiCodePage(0);
    ASSERT_TRUE(SetThreadLocale(0x0804));
    EXPECT_EQ(kSentence936, toBytes(CP_THREAD_ACP, toWide(CP_THREAD_ACP, kSentence936)));
}

TEST_F(CodePages, DefaultAnsiCodePageIsUtf8SoFileNamesRoundTrip)
{
    EXPECT_EQ(static_cast<UINT>(CP_UTF8), GetACP());
    const std::string name = "/tmp/Grüße/文件 😀.avi";
    std::u16string wide = toWide(CP_ACP, name);
    EXPECT_EQ(u"/tmp/Grüße/文件 😀.avi", wide);
    EXPECT_EQ(name, toBytes(CP_ACP, wide));
    // The default thread locale follows the process code page.
    EXPECT_EQ(name, toBytes(CP_THREAD_ACP, toWide(CP_THREAD_ACP, name)));
}

TEST_F(CodePages, SizeConventions)
{
    const char* text = "abc";
    EXPECT_EQ(4, MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0)) << "-1 counts the terminator";
    EXPECT_EQ(3, MultiByteToWideChar(CP_UTF8, 0, text, 3, nullptr, 0));

    WCHAR buffer[8];
    std::fill(std::begin(buffer), std::end(buffer), u'#');
    EXPECT_EQ(3, MultiByteToWideChar(CP_UTF8, 0, text, 3, buffer, 8));
    EXPECT_EQ(u'#', buffer[3]) << "an explicit length writes no terminator";

    SetLastError(0);
    EXPECT_EQ(0, MultiByteToWideChar(CP_UTF8, 0, text, -1, buffer, 3));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());

    char bytes[8];
    EXPECT_EQ(4, WideCharToMultiByte(CP_UTF8, 0, u"abc", -1, nullptr, 0, nullptr, nullptr));
    SetLastError(0);
    EXPECT_EQ(0, WideCharToMultiByte(CP_UTF8, 0, u"abc", -1, bytes, 2, nullptr, nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
}

TEST_F(CodePages, InvalidArgumentsAndUnknownCodePages)
{
    WCHAR wide[8];
    char bytes[8];
    SetLastError(0);
    EXPECT_EQ(0, MultiByteToWideChar(CP_UTF8, 0, nullptr, -1, wide, 8));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
    SetLastError(0);
    EXPECT_EQ(0, MultiByteToWideChar(CP_UTF8, 0, "a", 0, wide, 8));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
    SetLastError(0);
    EXPECT_EQ(0, MultiByteToWideChar(CP_UTF8, 0, "a", -1, nullptr, 8));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
    SetLastError(0);
    EXPECT_EQ(0, MultiByteToWideChar(54321, 0, "a", -1, wide, 8));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
    SetLastError(0);
    EXPECT_EQ(0, WideCharToMultiByte(54321, 0, u"a", -1, bytes, 8, nullptr, nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());

    // UTF-8 has no default character, so asking for one is an error.
    BOOL usedDefault = FALSE;
    SetLastError(0);
    EXPECT_EQ(0, WideCharToMultiByte(CP_UTF8, 0, u"a", -1, bytes, 8, nullptr, &usedDefault));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
    SetLastError(0);
    EXPECT_EQ(0, MultiByteToWideChar(CP_UTF8, MB_PRECOMPOSED, "a", -1, wide, 8));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_FLAGS), GetLastError());
}

TEST_F(CodePages, InvalidInputIsReplacedOrRefused)
{
    const std::string broken = "a\xC3(b\xFF";
    EXPECT_EQ(u"a\uFFFD(b\uFFFD", toWide(CP_UTF8, broken));
    SetLastError(0);
    EXPECT_EQ(0, MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, broken.c_str(), -1, nullptr, 0));
    EXPECT_EQ(static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION), GetLastError());
    // Overlong forms and encoded surrogates are not UTF-8.
    EXPECT_EQ(0, MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, "\xC0\xAF", -1, nullptr, 0));
    EXPECT_EQ(0, MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, "\xED\xA0\x80", -1, nullptr, 0));

    // A lead byte without its trail in 936.
    SetLastError(0);
    EXPECT_EQ(0, MultiByteToWideChar(936, MB_ERR_INVALID_CHARS, "a\xC0", 2, nullptr, 0));
    EXPECT_EQ(static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION), GetLastError());
    EXPECT_EQ(u"a?", toWide(936, "a\xC0"));

    // An unpaired surrogate becomes U+FFFD in UTF-8, or fails on request.
    const char16_t lone[] = {u'x', 0xD800, u'y', 0};
    EXPECT_EQ("x\xEF\xBF\xBDy", toBytes(CP_UTF8, lone));
    SetLastError(0);
    EXPECT_EQ(0, WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, lone, -1, nullptr, 0, nullptr, nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION), GetLastError());
}

TEST_F(CodePages, UnmappableCharactersUseTheDefaultCharacter)
{
    char bytes[16];
    BOOL usedDefault = FALSE;
    int length = WideCharToMultiByte(1252, 0, u"a类😀b", -1, bytes, sizeof(bytes), nullptr, &usedDefault);
    ASSERT_EQ(5, length);
    EXPECT_STREQ("a??b", bytes) << "a surrogate pair is one character";
    EXPECT_TRUE(usedDefault);

    length = WideCharToMultiByte(1252, 0, u"é", -1, bytes, sizeof(bytes), "*", &usedDefault);
    ASSERT_EQ(2, length);
    EXPECT_EQ('\xE9', bytes[0]);
    EXPECT_FALSE(usedDefault);
    WideCharToMultiByte(1252, 0, u"类", -1, bytes, sizeof(bytes), "*", &usedDefault);
    EXPECT_STREQ("*", bytes);
}

TEST_F(CodePages, ThreadLocaleChoosesTheThreadCodePage)
{
    EXPECT_EQ(0x0409u, GetThreadLocale());
    EXPECT_EQ("65001", localeCodePageText(GetThreadLocale())) << "the default locale uses the process code page";

    ASSERT_TRUE(SetThreadLocale(0x0804));
    EXPECT_EQ(0x0804u, GetThreadLocale());
    EXPECT_EQ("936", localeCodePageText(GetThreadLocale()));
    std::string otherThread;
    std::thread([&] { otherThread = localeCodePageText(GetThreadLocale()); }).join();
    EXPECT_EQ("65001", otherThread) << "a thread locale belongs to its thread";

    ASSERT_TRUE(SetThreadLocale(0x0404));
    EXPECT_EQ("950", localeCodePageText(GetThreadLocale())) << "Chinese in Taiwan is traditional";
    ASSERT_TRUE(SetThreadLocale(0x0411));
    EXPECT_EQ("932", localeCodePageText(GetThreadLocale()));
    ASSERT_TRUE(SetThreadLocale(0x0409));
    EXPECT_EQ("1252", localeCodePageText(GetThreadLocale())) << "chosen explicitly, English has its own page";

    SetLastError(0);
    EXPECT_FALSE(SetThreadLocale(0x007F0000));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
    EXPECT_EQ(0x0409u, GetThreadLocale());
}

TEST_F(CodePages, LocaleInfoReturnConventions)
{
    ASSERT_TRUE(SetThreadLocale(0x0804));
    EXPECT_EQ(4, GetLocaleInfoA(0x0804, LOCALE_IDEFAULTANSICODEPAGE, nullptr, 0)) << "size with the terminator";
    char text[3];
    SetLastError(0);
    EXPECT_EQ(0, GetLocaleInfoA(0x0804, LOCALE_IDEFAULTANSICODEPAGE, text, 3));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
    SetLastError(0);
    EXPECT_EQ(0, GetLocaleInfoA(0x0804, 0x12345, text, 3));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_FLAGS), GetLastError());

    // The hook's answers, which a caller must read as "no code page".
    char buffer[7];
    ComRtSetAnsiCodePageText("0");
    EXPECT_EQ(2, GetLocaleInfoA(GetThreadLocale(), LOCALE_IDEFAULTANSICODEPAGE, buffer, 7));
    EXPECT_STREQ("0", buffer);
    ComRtSetAnsiCodePageText("");
    EXPECT_EQ(1, GetLocaleInfoA(GetThreadLocale(), LOCALE_IDEFAULTANSICODEPAGE, buffer, 7));
    EXPECT_STREQ("", buffer);
    ComRtSetAnsiCodePageText(nullptr);
    EXPECT_EQ("936", localeCodePageText(GetThreadLocale()));
}

TEST(AnsiCodePageEnvironment, ComrtAcpChoosesTheProcessCodePage)
{
    // A fresh process, because the choice is read once.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            setenv("COMRT_ACP", "936", 1);
            std::exit(GetACP() == 936 && IsDBCSLeadByte(0xC0) ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_EXIT(
        {
            setenv("COMRT_ACP", "not a number", 1);
            std::exit(GetACP() == CP_UTF8 ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}
