// Message boxes without a desktop, and path extensions.
#include "platform/Shell.h"
#include "platform/UserInterface.h"
#include "platform/linux/ComRtExtensions.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string g_lastBox;

int recordBox(HWND, LPCSTR text, LPCSTR caption, UINT type)
{
    g_lastBox = std::string(caption) + "|" + text + "|" + std::to_string(type);
    return IDCANCEL;
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

TEST(PathFindExtension, LastComponentOnly)
{
    auto extension = [](const char* path) { return std::string(PathFindExtensionA(path)); };
    EXPECT_EQ(".ocx", extension("/opt/morven/MORVEN.ocx"));
    EXPECT_EQ(".gz", extension("archive.tar.gz"));
    EXPECT_EQ("", extension("/opt/dir.d/file"));
    EXPECT_EQ("", extension("C:\\dir.d\\file"));
    EXPECT_EQ(".", extension("name."));
    EXPECT_EQ("", extension("name.a b")) << "a blank ends an extension, as on the platform";
    const char path[] = "noext";
    EXPECT_EQ(path + 5, PathFindExtensionA(path));
    EXPECT_EQ(nullptr, PathFindExtensionA(nullptr));
}
