// The module-wide helpers: conversion code page, string conversions, Win32
// results, and the server module's shutdown hooks and registration variable.
#include "platform/Com.h"
#include "platform/TestHooks.h"
#include "server/ServerModule.h"
#include "server/AtlException.h"
#include "server/StringConversion.h"
#include "server/Win32Result.h"

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

// A server module of the test's own, so that its teardown can be watched.
class ServerModule : public ::testing::Test {
protected:
    ~ServerModule() override { g_pServerModule = m_pPrevious; }

    CServerModule* m_pPrevious = g_pServerModule;
};

std::vector<int> g_hooksRun;
void recordHook(DWORD_PTR argument)
{
    g_hooksRun.push_back(static_cast<int>(argument));
}

TEST_F(ServerModule, HooksRunNewestFirstAndOnlyOnce)
{
    g_hooksRun.clear();
    {
        CServerModule module;
        EXPECT_EQ(g_pServerModule, &module);
        EXPECT_EQ(g_typeLibraryId, (GUID{0x52BA1FC6, 0x03A4, 0x409D, {0x9C, 0x95, 0xEF, 0xB3, 0x69, 0xE2, 0xB5, 0x31}}));
        for (int i = 1; i <= 3; ++i)
            ASSERT_EQ(module.addShutdownHook(&recordHook, static_cast<DWORD_PTR>(i)), S_OK);
        module.terminate();
        EXPECT_EQ(g_hooksRun, (std::vector<int>{3, 2, 1}));
        EXPECT_EQ(module.m_nLive, 0);
        module.terminate();
    } // and the destructor's terminate does nothing either
    EXPECT_EQ(g_hooksRun, (std::vector<int>{3, 2, 1}));
}

TEST_F(ServerModule, LockCountHasNoFloor)
{
    CServerModule module;
    EXPECT_EQ(module.unlock(), -1);
    EXPECT_EQ(module.lock(), 0);
    EXPECT_EQ(module.lock(), 1);
    EXPECT_EQ(module.getLockCount(), 1);
}

TEST_F(ServerModule, NullOutPointers)
{
    CServerModule module;
    EXPECT_EQ(module.getGlobalInterfaceTable(nullptr), E_POINTER);
    EXPECT_EQ(module.addCommonVariables(nullptr), E_POINTER);
}

TEST_F(ServerModule, GlobalInterfaceTableIsMadeOnceAndCountedPerCall)
{
    ASSERT_GE(CoInitialize(nullptr), 0);
    CServerModule module;
    IGlobalInterfaceTable* pFirst = nullptr;
    IGlobalInterfaceTable* pSecond = nullptr;
    ASSERT_EQ(module.getGlobalInterfaceTable(&pFirst), S_OK);
    ASSERT_EQ(module.getGlobalInterfaceTable(&pSecond), S_OK);
    EXPECT_EQ(pFirst, pSecond);
    ASSERT_EQ(module.m_pGIT, pFirst);
    pSecond->Release();
    pFirst->Release();
    module.terminate(); // gives back the module's own reference
    EXPECT_EQ(module.m_pGIT, nullptr);
    CoUninitialize();
}

struct RecordingVariables : IRegistryVariables {
    std::vector<std::pair<std::u16string, std::u16string>> set;
    HRESULT answer = S_OK;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** ppv) override
    {
        *ppv = this;
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE SetVariable(LPCOLESTR name, LPCOLESTR value) override
    {
        set.emplace_back(name, value);
        return answer;
    }
    HRESULT STDMETHODCALLTYPE ClearVariables() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetVariableA(LPCSTR, LPCSTR) override { return E_UNEXPECTED; }
};

TEST_F(ServerModule, AddsAnEmptyAppIdAndPassesOnTheResult)
{
    CServerModule module;
    RecordingVariables variables;
    EXPECT_EQ(module.addCommonVariables(&variables), S_OK);
    ASSERT_EQ(variables.set.size(), 1u);
    EXPECT_EQ(variables.set[0].first, u"APPID");
    EXPECT_EQ(variables.set[0].second, u"");

    variables.answer = E_OUTOFMEMORY;
    EXPECT_EQ(module.addCommonVariables(&variables), E_OUTOFMEMORY);
}

} // namespace
