// Shell helpers: whether a file is a program, and path extensions.
#include "platform/Kernel.h"
#include "platform/Shell.h"
#include "tests/support/ScratchFiles.h"

#include <gtest/gtest.h>

#include <string>

TEST(ExecutableType, ProgramsButNotSharedLibraries)
{
    char exe[MAX_PATH];
    ASSERT_GT(GetModuleFileNameA(nullptr, exe, MAX_PATH), 0u);
    EXPECT_NE(0u, SHGetFileInfoA(exe, 0, nullptr, 0, SHGFI_EXETYPE));

    HMODULE runtime = nullptr;
    ASSERT_TRUE(GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                   reinterpret_cast<LPCSTR>(&LoadLibraryA), &runtime));
    char library[MAX_PATH];
    ASSERT_GT(GetModuleFileNameA(runtime, library, MAX_PATH), 0u);
    EXPECT_NE(std::string::npos, std::string(library).find("libcomrt"));
    SHFILEINFOA info{};
    EXPECT_EQ(0u, SHGetFileInfoA(library, 0, &info, sizeof(info), SHGFI_EXETYPE));
    EXPECT_EQ(0u, SHGetFileInfoA(TEST_SERVER_PATH, 0, &info, sizeof(info), SHGFI_EXETYPE));

    testkit::ScratchDirectory scratch;
    testkit::writeWholeFile(scratch.file("script"), "#!/bin/sh\n");
    EXPECT_EQ(0u, SHGetFileInfoA(scratch.file("script").c_str(), 0, nullptr, 0, SHGFI_EXETYPE));
    EXPECT_EQ(0u, SHGetFileInfoA(scratch.file("missing").c_str(), 0, nullptr, 0, SHGFI_EXETYPE));
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
