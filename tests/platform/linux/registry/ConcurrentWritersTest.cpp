// Four processes adding 300 values each under one key through `reg add`, all at once.
#include "tests/platform/linux/registry/StoreTestSupport.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>

extern char** environ;

using namespace storetest;

namespace {

constexpr int kWriters = 4;
constexpr int kValuesEach = 300;

// One writer: runs reg add once per value and exits with the number of failed runs.
int addValues(int writer)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    int failures = 0;
    for (int i = 0; i < kValuesEach; ++i) {
        const std::string name = "W" + std::to_string(writer) + "_" + std::to_string(i);
        const std::string data = "data of " + name;
        const char* argv[] = {REG_TOOL, "add", "HKCU\\Software\\Crowd", "/v", name.c_str(), "/d", data.c_str(),
                              "/f", nullptr};
        pid_t pid = 0;
        int status = 0;
        if (posix_spawn(&pid, REG_TOOL, &actions, nullptr, const_cast<char**>(argv), environ) != 0 ||
            waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
            ++failures;
    }
    posix_spawn_file_actions_destroy(&actions);
    return failures > 255 ? 255 : failures;
}

using ConcurrentWritersTest = FreshRegistry;

TEST_F(ConcurrentWritersTest, FourRegAddLoopsAtOnceLoseNoValue)
{
    const auto start = std::chrono::steady_clock::now();
    pid_t writers[kWriters];
    for (int w = 0; w < kWriters; ++w) {
        writers[w] = fork();
        if (writers[w] == 0)
            _exit(addValues(w));
    }
    for (int w = 0; w < kWriters; ++w) {
        int status = 0;
        ASSERT_EQ(waitpid(writers[w], &status, 0), writers[w]);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
            << "writer " << w << ": " << WEXITSTATUS(status) << " failed runs of reg add";
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%d reg add runs in %.1f s\n", kWriters * kValuesEach, seconds);

    const ProcessResult query = runProcess({REG_TOOL, "query", "HKCU\\Software\\Crowd"});
    ASSERT_EQ(query.exitCode, 0) << query.err;
    int lines = 0;
    for (size_t at = 0; (at = query.out.find("\n    W", at)) != std::string::npos; ++at)
        ++lines;
    EXPECT_EQ(lines, kWriters * kValuesEach);
    EXPECT_NE(query.out.find("    W3_299    REG_SZ    data of W3_299\n"), std::string::npos);

    HKEY key = nullptr;
    DWORD values = 0;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Crowd", 0, KEY_READ, &key), ERROR_SUCCESS);
    ASSERT_EQ(RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr,
                               nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(values, DWORD(kWriters * kValuesEach));
    RegCloseKey(key);
}

} // namespace
