// The module helpers: conversion code page, string conversions, Win32 results,
// critical-section set-up.
#include "helpers/AtlException.h"
#include "helpers/ConversionCodePage.h"
#include "helpers/CriticalSectionInit.h"
#include "helpers/Win32Result.h"
#include "platform/linux/ComRtExtensions.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Every test makes the choice afresh and leaves the system answers as they were.
class ConversionCodePage : public ::testing::Test {
protected:
    ~ConversionCodePage() override
    {
        ComRtResetVersionAnswer();
        ComRtSetAnsiCodePageText(nullptr);
        ComRtSetAnsiCodePage(0);
        g_pfnGetConversionCodePage.store(&selectConversionCodePage);
    }

    UINT choose(DWORD platformId, DWORD major, const char* codePageText)
    {
        ComRtSetVersionAnswer(platformId, major, 0);
        ComRtSetAnsiCodePageText(codePageText);
        g_pfnGetConversionCodePage.store(&selectConversionCodePage);
        UINT chosen = getConversionCodePage();
        // Later calls reach the chosen getter, not the selector.
        EXPECT_NE(g_pfnGetConversionCodePage.load(), &selectConversionCodePage);
        EXPECT_EQ(getConversionCodePage(), chosen);
        return chosen;
    }
};

TEST_F(ConversionCodePage, NtFiveAndLaterUseTheThreadCodePage)
{
    EXPECT_EQ(choose(VER_PLATFORM_WIN32_NT, 5, "1252"), static_cast<UINT>(CP_THREAD_ACP));
    EXPECT_EQ(choose(VER_PLATFORM_WIN32_NT, 10, "1252"), static_cast<UINT>(CP_THREAD_ACP));
}

TEST_F(ConversionCodePage, OlderSystemsReadTheThreadLocale)
{
    EXPECT_EQ(choose(VER_PLATFORM_WIN32_NT, 4, "936"), 936u);
    EXPECT_EQ(choose(VER_PLATFORM_WIN32_WINDOWS, 5, "1252"), 1252u);
}

TEST_F(ConversionCodePage, OlderSystemsFallBackToTheAnsiCodePage)
{
    ComRtSetAnsiCodePage(1252);
    EXPECT_EQ(choose(VER_PLATFORM_WIN32_NT, 4, "0"), GetACP());
    EXPECT_EQ(choose(VER_PLATFORM_WIN32_WINDOWS, 4, ""), GetACP());
    EXPECT_EQ(GetACP(), 1252u);
}

TEST_F(ConversionCodePage, ConversionsUseTheChosenCodePage)
{
    ComRtSetVersionAnswer(VER_PLATFORM_WIN32_NT, 4, 0);
    ComRtSetAnsiCodePageText("1252");
    g_pfnGetConversionCodePage.store(&selectConversionCodePage);
    WCHAR wide[8];
    ASSERT_NE(ansiToWide(wide, "caf\xE9", 8), nullptr);
    EXPECT_EQ(std::u16string(wide), u"caf\u00E9");
    char ansi[8];
    ASSERT_NE(wideToAnsi(ansi, u"caf\u00E9", 8), nullptr);
    EXPECT_EQ(std::string(ansi), "caf\xE9");
}

TEST(StringConversion, NullsAndFailures)
{
    WCHAR wide[4] = {u'x'};
    char ansi[4] = {'x'};
    EXPECT_EQ(ansiToWide(nullptr, "a", 4), nullptr);
    EXPECT_EQ(ansiToWide(wide, nullptr, 4), nullptr);
    EXPECT_EQ(wideToAnsi(nullptr, u"a", 4), nullptr);
    EXPECT_EQ(wideToAnsi(ansi, nullptr, 4), nullptr);
    EXPECT_EQ(wide[0], u'x'); // untouched when there is nothing to convert

    // Too small a destination is a failure, with the destination cleared first.
    EXPECT_EQ(ansiToWide(wide, "abcdef", 4), nullptr);
    EXPECT_EQ(wideToAnsi(ansi, u"abcdef", 4), nullptr);

    EXPECT_EQ(ansiToWide(wide, "", 4), wide);
    EXPECT_EQ(wide[0], 0);
}

TEST(ConversionBuffers, ShortAndLongStringsRoundTrip)
{
    CConversionBuffers buffers;
    EXPECT_EQ(buffers.toWide(nullptr), nullptr);
    EXPECT_EQ(buffers.toAnsi(nullptr), nullptr);

    // Many short strings fill the inline area and then spill to the heap;
    // each stays valid for the life of the buffers.
    std::vector<std::pair<std::string, LPCWSTR>> converted;
    for (int i = 0; i < 60; ++i) {
        std::string text = "variable-" + std::to_string(i);
        converted.emplace_back(text, buffers.toWide(text.c_str()));
    }
    std::string longText(5000, 'q');
    LPCWSTR longWide = buffers.toWide(longText.c_str());
    for (const auto& [text, wide] : converted)
        EXPECT_EQ(std::string(buffers.toAnsi(wide)), text);
    EXPECT_EQ(std::string(buffers.toAnsi(longWide)), longText);
}

TEST(ConversionBuffers, TextNeedingThreeBytesPerCharacterFits)
{
    // The runtime's ANSI code page is UTF-8, where each of these characters takes three bytes.
    CConversionBuffers buffers;
    const char* text = "\xE7\xB1\xBB\xE5\x9E\x8B\xE5\xBA\x93"; // "type library" in three characters
    LPCWSTR wide = buffers.toWide(text);
    ASSERT_NE(wide, nullptr);
    LPCSTR back = nullptr;
    try {
        back = buffers.toAnsi(wide);
    } catch (const CAtlException& e) {
        FAIL() << "conversion raised " << std::hex << e.m_hr;
    }
    ASSERT_NE(back, nullptr);
    EXPECT_STREQ(back, text);
}

TEST(Win32Result, PositiveCodesBecomeWin32Failures)
{
    EXPECT_EQ(hresultFromWin32(0), S_OK);
    EXPECT_EQ(hresultFromWin32(ERROR_FILE_NOT_FOUND), static_cast<HRESULT>(0x80070002));
    EXPECT_EQ(hresultFromWin32(ERROR_INSUFFICIENT_BUFFER), static_cast<HRESULT>(0x8007007A));
    EXPECT_EQ(hresultFromWin32(0x12345), static_cast<HRESULT>(0x80072345));
    // Zero and negative values are already results.
    EXPECT_EQ(hresultFromWin32(-5), -5);
    EXPECT_EQ(hresultFromWin32(E_FAIL), E_FAIL);

    SetLastError(ERROR_ACCESS_DENIED);
    EXPECT_EQ(hresultFromLastError(), E_ACCESSDENIED);
}

// A section the system could not make is reported, and never deleted later.
TEST(CriticalSectionInit, FailuresAreReportedAndNothingIsDeleted)
{
    CSafeCriticalSection section{};
    ComRtFailCriticalSections(0, 1, STATUS_NO_MEMORY);
    EXPECT_EQ(section.create(), E_OUTOFMEMORY);
    EXPECT_FALSE(section.m_bCreated);
    ComRtFailCriticalSections(0, 1, 0xC0000005u);
    try {
        section.createOrThrow();
        ADD_FAILURE() << "no exception";
    } catch (const CAtlException& e) {
        EXPECT_EQ(e.m_hr, E_FAIL);
    }
    section.destroy();

    ASSERT_EQ(section.create(), S_OK);
    section.enter();
    section.enter(); // re-entrant
    section.leave();
    section.leave();
    section.destroy();
    section.destroy();
    EXPECT_FALSE(section.m_bCreated);
    ComRtFailCriticalSections(0, 0, 0);
}

} // namespace
