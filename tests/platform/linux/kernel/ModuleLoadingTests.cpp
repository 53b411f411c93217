// Loading modules: reference counts, DllMain around static construction and
// teardown, module handles and file names.
#include "platform/Kernel.h"
#include "tests/support/ScratchFiles.h"
#include "tests/platform/linux/TestServer.h"

#include <gtest/gtest.h>

#include <cctype>
#include <climits>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using Lines = std::vector<std::string>;

class Modules : public ::testing::Test {
protected:
    void SetUp() override { setenv(kMarkerVariable, marker_.c_str(), 1); }
    void TearDown() override { unsetenv(kMarkerVariable); }
    Lines events() const { return testkit::readLines(marker_); }

    testkit::ScratchDirectory scratch_;
    std::string marker_ = scratch_.file("marker");
};

std::string canonical(const std::string& path)
{
    char resolved[PATH_MAX];
    return realpath(path.c_str(), resolved) ? resolved : path;
}

std::string baseName(const std::string& path)
{
    return path.substr(path.rfind('/') + 1);
}

} // namespace

TEST_F(Modules, AttachOnceDetachOnLastFreeThenStaticTeardown)
{
    HMODULE first = LoadLibraryA(TEST_SERVER_PATH);
    ASSERT_NE(nullptr, first);
    HMODULE second = LoadLibraryA(TEST_SERVER_PATH);
    EXPECT_EQ(first, second);
    EXPECT_EQ((Lines{"server construct", "server attach"}), events());

    EXPECT_TRUE(FreeLibrary(first));
    EXPECT_EQ(first, GetModuleHandleA(TEST_SERVER_PATH)) << "one reference is left";
    EXPECT_TRUE(FreeLibrary(second));
    EXPECT_EQ((Lines{"server construct", "server attach", "server detach", "server destruct"}), events());
    SetLastError(0);
    EXPECT_EQ(nullptr, GetModuleHandleA(TEST_SERVER_PATH));
    EXPECT_EQ(static_cast<DWORD>(ERROR_MOD_NOT_FOUND), GetLastError());
}

TEST_F(Modules, RefusedAttachUnloadsTheModuleAgain)
{
    SetLastError(0);
    EXPECT_EQ(nullptr, LoadLibraryA(REFUSING_MODULE_PATH));
    EXPECT_EQ(static_cast<DWORD>(ERROR_DLL_INIT_FAILED), GetLastError());
    EXPECT_EQ((Lines{"refusing construct", "refusing attach", "refusing detach", "refusing destruct"}), events());
    EXPECT_EQ(nullptr, GetModuleHandleA(REFUSING_MODULE_PATH));
}

TEST_F(Modules, ModuleWithoutDllMainLoadsAndUnloads)
{
    HMODULE module = LoadLibraryA(BARE_MODULE_PATH);
    ASSERT_NE(nullptr, module);
    EXPECT_TRUE(FreeLibrary(module));
    EXPECT_EQ((Lines{"bare construct", "bare destruct"}), events());
}

TEST_F(Modules, LoadFailuresCarryThePlatformsErrors)
{
    SetLastError(0);
    EXPECT_EQ(nullptr, LoadLibraryA(scratch_.file("missing.so").c_str()));
    EXPECT_EQ(static_cast<DWORD>(ERROR_MOD_NOT_FOUND), GetLastError());

    std::string notElf = scratch_.file("text.so");
    testkit::writeWholeFile(notElf, "this is not a module\n");
    SetLastError(0);
    EXPECT_EQ(nullptr, LoadLibraryA(notElf.c_str()));
    EXPECT_EQ(static_cast<DWORD>(ERROR_BAD_EXE_FORMAT), GetLastError());

    SetLastError(0);
    EXPECT_EQ(nullptr, LoadLibraryA(nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
}

TEST_F(Modules, HandleIsTheLoadBaseEverywhere)
{
    HMODULE module = LoadLibraryA(TEST_SERVER_PATH);
    ASSERT_NE(nullptr, module);
    auto attachHandle = reinterpret_cast<HandleFunction>(GetProcAddress(module, "TestModuleAttachHandle"));
    auto ownHandle = reinterpret_cast<HandleFunction>(GetProcAddress(module, "TestModuleOwnHandle"));
    ASSERT_NE(nullptr, attachHandle);
    ASSERT_NE(nullptr, ownHandle);
    EXPECT_EQ(module, attachHandle()) << "DllMain gets the handle LoadLibraryA returns";
    EXPECT_EQ(module, ownHandle()) << "a module finds its own handle from one of its addresses";

    EXPECT_EQ(module, GetModuleHandleA(TEST_SERVER_PATH));
    std::string name = baseName(TEST_SERVER_PATH);
    EXPECT_EQ(module, GetModuleHandleA(name.c_str()));
    for (char& c : name)
        c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    EXPECT_EQ(module, GetModuleHandleA(name.c_str())) << "names compare case-insensitively";
    EXPECT_TRUE(FreeLibrary(module));
}

TEST_F(Modules, GetProcAddressFindsOnlyTheModulesOwnExports)
{
    HMODULE module = LoadLibraryA(TEST_SERVER_PATH);
    ASSERT_NE(nullptr, module);
    EXPECT_NE(nullptr, GetProcAddress(module, "DllGetClassObject"));
    // The module links the runtime, but the runtime's exports are not the module's.
    SetLastError(0);
    EXPECT_EQ(nullptr, GetProcAddress(module, "CoTaskMemAlloc"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_PROC_NOT_FOUND), GetLastError());
    EXPECT_EQ(nullptr, GetProcAddress(module, reinterpret_cast<LPCSTR>(1))) << "no ordinals";
    EXPECT_TRUE(FreeLibrary(module));

    SetLastError(0);
    EXPECT_EQ(nullptr, GetProcAddress(reinterpret_cast<HMODULE>(0x10), "DllMain"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_MOD_NOT_FOUND), GetLastError());
}

TEST_F(Modules, GetModuleHandleExCountsUnlessAskedNotTo)
{
    HMODULE module = LoadLibraryA(TEST_SERVER_PATH);
    ASSERT_NE(nullptr, module);
    auto ownHandle = reinterpret_cast<HandleFunction>(GetProcAddress(module, "TestModuleOwnHandle"));

    HMODULE found = nullptr;
    ASSERT_TRUE(GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                                   reinterpret_cast<LPCSTR>(ownHandle), &found));
    EXPECT_EQ(module, found);
    EXPECT_TRUE(FreeLibrary(module));
    EXPECT_EQ(module, GetModuleHandleA(TEST_SERVER_PATH)) << "GetModuleHandleExA took a reference";
    EXPECT_TRUE(FreeLibrary(module));
    EXPECT_EQ(nullptr, GetModuleHandleA(TEST_SERVER_PATH));

    SetLastError(0);
    EXPECT_FALSE(GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_PIN | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                    nullptr, &found));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
    EXPECT_EQ(nullptr, found);
    EXPECT_FALSE(GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCSTR>(0x10), &found));
    EXPECT_EQ(static_cast<DWORD>(ERROR_MOD_NOT_FOUND), GetLastError());
}

TEST_F(Modules, FileNamesAreFullPathsCutTheVistaWay)
{
    HMODULE module = LoadLibraryA(TEST_SERVER_PATH);
    ASSERT_NE(nullptr, module);
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(module, path, MAX_PATH);
    ASSERT_GT(length, 0u);
    EXPECT_EQ(canonical(TEST_SERVER_PATH), canonical(path));
    EXPECT_EQ('/', path[0]);

    char exe[MAX_PATH];
    ASSERT_GT(GetModuleFileNameA(nullptr, exe, MAX_PATH), 0u);
    EXPECT_EQ(canonical("/proc/self/exe"), canonical(exe));
    EXPECT_EQ(GetModuleHandleA(nullptr), GetModuleHandleA(exe));

    // Too small, even by one: cut, terminated, and the answer is the size.
    std::vector<char> tight(length, '#');
    SetLastError(0);
    EXPECT_EQ(length, GetModuleFileNameA(module, tight.data(), length));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
    EXPECT_EQ(0, tight[length - 1]);
    EXPECT_EQ(std::string(path, length - 1), std::string(tight.data()));
    std::vector<char> exact(length + 1);
    EXPECT_EQ(length, GetModuleFileNameA(module, exact.data(), length + 1));
    EXPECT_TRUE(FreeLibrary(module));
}
