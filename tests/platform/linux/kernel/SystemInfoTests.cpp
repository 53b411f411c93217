// Last error, version and time: the per-thread and reporting conventions.
#include "platform/Kernel.h"
#include "platform/linux/ComRtExtensions.h"

#include <gtest/gtest.h>

#include <cstring>
#include <thread>

TEST(LastError, BelongsToEachThread)
{
    SetLastError(ERROR_ACCESS_DENIED);
    DWORD seenByOther = 1;
    std::thread([&] {
        seenByOther = GetLastError();
        SetLastError(ERROR_FILE_NOT_FOUND);
    }).join();
    EXPECT_EQ(0u, seenByOther);
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
}

TEST(Version, AnswersNt62UnlessAHookSaysOtherwise)
{
    OSVERSIONINFOA info;
    std::memset(&info, 0xCC, sizeof(info));
    info.dwOSVersionInfoSize = sizeof(info);
    ASSERT_TRUE(GetVersionExA(&info));
    EXPECT_EQ(static_cast<DWORD>(VER_PLATFORM_WIN32_NT), info.dwPlatformId);
    EXPECT_EQ(6u, info.dwMajorVersion);
    EXPECT_EQ(2u, info.dwMinorVersion);
    EXPECT_STREQ("", info.szCSDVersion);

    ComRtSetVersionAnswer(VER_PLATFORM_WIN32_WINDOWS, 4, 10);
    ASSERT_TRUE(GetVersionExA(&info));
    EXPECT_EQ(static_cast<DWORD>(VER_PLATFORM_WIN32_WINDOWS), info.dwPlatformId);
    EXPECT_EQ(4u, info.dwMajorVersion);
    EXPECT_EQ(10u, info.dwMinorVersion);

    ComRtResetVersionAnswer();
    ASSERT_TRUE(GetVersionExA(&info));
    EXPECT_EQ(6u, info.dwMajorVersion);
}

TEST(Version, RefusesAWrongStructureSize)
{
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof(info) - 4;
    SetLastError(0);
    EXPECT_FALSE(GetVersionExA(&info));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
    EXPECT_EQ(0u, info.dwMajorVersion);
}

TEST(Time, TickCountAdvancesAcrossASleep)
{
    DWORD start = GetTickCount();
    Sleep(30);
    DWORD elapsed = GetTickCount() - start;
    EXPECT_GE(elapsed, 25u);
    EXPECT_LT(elapsed, 5000u);
}
