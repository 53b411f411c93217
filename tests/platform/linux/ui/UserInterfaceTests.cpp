// Message boxes without a desktop, and stepping through narrow text by characters.
#include "platform/UserInterface.h"
#include "platform/linux/ComRtExtensions.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::string g_lastBox;

int recordBox(HWND, LPCSTR text, LPCSTR caption, UINT type)
{
    g_lastBox = std::string(caption) + "|" + text + "|" + std::to_string(type);
    return IDCANCEL;
}

// The ANSI code page goes back to its default after each test.
class AnsiText : public ::testing::Test {
protected:
    void TearDown() override { ComRtSetAnsiCodePage(0); }
};

// Offsets at which CharNextA stops, from the start to the terminator.
std::vector<int> steps(const char* text)
{
    std::vector<int> offsets;
    const char* p = text;
    for (int guard = 0; *p && guard < 64; ++guard) {
        p = CharNextA(p);
        offsets.push_back(static_cast<int>(p - text));
    }
    return offsets;
}

} // namespace

TEST(MessageBox, DefaultWritesToStandardErrorAndAnswersOk)
{
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(IDOK, MessageBoxA(nullptr, "AddSourceFilter", "3", MB_OK));
    std::string written = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(std::string::npos, written.find("AddSourceFilter"));
    EXPECT_NE(std::string::npos, written.find("3"));
}

TEST(MessageBox, HandlerReplacesTheDefaultUntilRemoved)
{
    EXPECT_EQ(nullptr, ComRtSetMessageBoxHandler(recordBox));
    EXPECT_EQ(IDCANCEL, MessageBoxA(nullptr, "text", "caption", MB_OKCANCEL));
    EXPECT_EQ("caption|text|1", g_lastBox);
    EXPECT_EQ(&recordBox, ComRtSetMessageBoxHandler(nullptr));
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(IDOK, MessageBoxA(nullptr, "again", "4", MB_OK));
    ::testing::internal::GetCapturedStderr();
}

TEST_F(AnsiText, CharNextStepsWholeCharactersAndStopsAtTheTerminator)
{
    // UTF-8: one to four bytes per character; a stray byte is one step.
    EXPECT_EQ((std::vector<int>{1, 3, 6, 10, 11}), steps("a\xC3\xA9\xE6\x96\x87\xF0\x9F\x98\x80\xFF"));
    const char empty[] = "";
    EXPECT_EQ(empty, CharNextA(empty));

    ComRtSetAnsiCodePage(936);
    EXPECT_EQ((std::vector<int>{1, 3, 4}), steps("a\xC0\xE0%"));
    // A lead byte right before the terminator is a character of its own.
    const char dangling[] = "a\xC0";
    EXPECT_EQ((std::vector<int>{1, 2}), steps(dangling));
    EXPECT_EQ(dangling + 2, CharNextA(dangling + 2));
}
