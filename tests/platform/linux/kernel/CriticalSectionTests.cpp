// Critical sections: re-entrance, exclusion, and the creation-failure hook.
#include "platform/Kernel.h"
#include "platform/linux/ComRtExtensions.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

TEST(CriticalSection, IsReentrantAndExcludesOtherThreadsUntilFullyLeft)
{
    CRITICAL_SECTION section;
    ASSERT_TRUE(InitializeCriticalSectionAndSpinCount(&section, 0));
    EnterCriticalSection(&section);
    EnterCriticalSection(&section); // the same thread again: must not deadlock

    std::atomic<bool> otherEntered{false};
    std::thread other([&] {
        EnterCriticalSection(&section);
        otherEntered = true;
        LeaveCriticalSection(&section);
    });
    LeaveCriticalSection(&section);
    Sleep(50);
    EXPECT_FALSE(otherEntered) << "one Leave of two must keep the section owned";
    LeaveCriticalSection(&section);
    other.join();
    EXPECT_TRUE(otherEntered);
    DeleteCriticalSection(&section);
}

TEST(CriticalSection, PlannedFailuresSkipThenFailThenStop)
{
    ComRtFailCriticalSections(1, 2, STATUS_NO_MEMORY);
    CRITICAL_SECTION sections[4];
    EXPECT_TRUE(InitializeCriticalSectionAndSpinCount(&sections[0], 0));
    SetLastError(0);
    EXPECT_FALSE(InitializeCriticalSectionAndSpinCount(&sections[1], 0));
    EXPECT_EQ(static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY), GetLastError());

    // The void form cannot report a failure and does not use up the plan.
    CRITICAL_SECTION plain;
    InitializeCriticalSection(&plain);
    EnterCriticalSection(&plain);
    LeaveCriticalSection(&plain);
    DeleteCriticalSection(&plain);

    EXPECT_FALSE(InitializeCriticalSectionAndSpinCount(&sections[2], 0));
    EXPECT_TRUE(InitializeCriticalSectionAndSpinCount(&sections[3], 0));

    // Deleting a section whose creation failed is harmless.
    for (auto& section : sections)
        DeleteCriticalSection(&section);
}

TEST(CriticalSection, OtherStatusGivesInvalidParameterAndCountZeroSwitchesOff)
{
    ComRtFailCriticalSections(0, 5, 0xC0000005);
    CRITICAL_SECTION section;
    EXPECT_FALSE(InitializeCriticalSectionAndSpinCount(&section, 4000));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
    ComRtFailCriticalSections(0, 0, STATUS_NO_MEMORY);
    EXPECT_TRUE(InitializeCriticalSectionAndSpinCount(&section, 4000));
    DeleteCriticalSection(&section);
}
