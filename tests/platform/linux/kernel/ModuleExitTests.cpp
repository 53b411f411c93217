// Modules still loaded when the process exits: each sees DLL_PROCESS_DETACH
// before its own static destructors, in reverse load order.
#include "platform/Kernel.h"
#include "tests/support/ScratchFiles.h"
#include "tests/platform/linux/TestServer.h"

#include <gtest/gtest.h>

#include <cstdlib>

TEST(ModuleExit, DetachComesBeforeStaticTeardownInReverseLoadOrder)
{
    testkit::ScratchDirectory scratch;
    std::string marker = scratch.file("marker");
    setenv(kMarkerVariable, marker.c_str(), 1);
    EXPECT_EXIT(
        {
            bool loaded = LoadLibraryA(TEST_SERVER_PATH) && LoadLibraryA(SECOND_MODULE_PATH);
            std::exit(loaded ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
    unsetenv(kMarkerVariable);
    EXPECT_EQ((std::vector<std::string>{"server construct", "server attach", "second construct", "second attach",
                                        "second detach", "second destruct", "server detach", "server destruct"}),
              testkit::readLines(marker));
}

TEST(ModuleExit, FreedModulesAreNotDetachedAgainAtExit)
{
    testkit::ScratchDirectory scratch;
    std::string marker = scratch.file("marker");
    setenv(kMarkerVariable, marker.c_str(), 1);
    EXPECT_EXIT(
        {
            HMODULE module = LoadLibraryA(TEST_SERVER_PATH);
            std::exit(module && FreeLibrary(module) ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
    unsetenv(kMarkerVariable);
    EXPECT_EQ((std::vector<std::string>{"server construct", "server attach", "server detach", "server destruct"}),
              testkit::readLines(marker));
}
