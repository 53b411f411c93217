// A writer killed with SIGKILL at a random moment leaves a database that opens and holds
// every write it reported done.
#include "tests/platform/linux/registry/StoreTestSupport.h"

#include <poll.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <random>
#include <thread>

using namespace storetest;

namespace {

std::vector<BYTE> payload(unsigned long n) // as the writer makes it
{
    std::vector<BYTE> data(64 + n % 512);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<BYTE>(n * 31 + i);
    return data;
}

// Starts the writer, waits for its first reported write (start-up time varies a lot on a
// loaded machine), kills it `delay` later, and returns the calls it reported done.
std::vector<unsigned long> killWriterAfter(unsigned long first, std::chrono::milliseconds delay)
{
    int out[2];
    if (pipe(out) != 0)
        return {};
    const pid_t child = fork();
    if (child == 0) {
        dup2(out[1], 1);
        close(out[0]);
        close(out[1]);
        execl(WRITER_TOOL, WRITER_TOOL, std::to_string(first).c_str(), "1000000", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(out[1]);
    std::string reported;
    char buffer[4096];
    pollfd firstWrite{out[0], POLLIN, 0};
    while (reported.find('\n') == std::string::npos && poll(&firstWrite, 1, 30000) > 0) {
        const ssize_t got = read(out[0], buffer, sizeof buffer);
        if (got <= 0)
            break;
        reported.append(buffer, static_cast<size_t>(got));
    }
    std::this_thread::sleep_for(delay);
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status)) << "the writer ended before it was killed";

    // Everything it wrote to the pipe before dying is still there to read.
    for (ssize_t got; (got = read(out[0], buffer, sizeof buffer)) > 0;)
        reported.append(buffer, static_cast<size_t>(got));
    close(out[0]);
    std::vector<unsigned long> done;
    for (size_t at = 0, end; (end = reported.find('\n', at)) != std::string::npos; at = end + 1)
        done.push_back(std::stoul(reported.substr(at, end - at)));
    return done;
}

using KilledWriterTest = FreshRegistry;

TEST_F(KilledWriterTest, EveryReportedWriteSurvivesSigkill)
{
    std::mt19937 random(std::random_device{}());
    std::vector<unsigned long> done;
    unsigned long next = 0;
    for (int round = 0; round < 4; ++round) {
        const auto delay = std::chrono::milliseconds(random() % 500);
        const std::vector<unsigned long> reported = killWriterAfter(next, delay);
        ASSERT_FALSE(reported.empty()) << "round " << round << ": nothing written in " << delay.count() << " ms";
        done.insert(done.end(), reported.begin(), reported.end());
        next = reported.back() + 2; // the call in flight may or may not have landed
    }

    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open_v2(m_registry.path().c_str(), &db, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
    sqlite3_stmt* check = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &check, nullptr), SQLITE_OK);
    ASSERT_EQ(sqlite3_step(check), SQLITE_ROW);
    EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(check, 0)), "ok");
    sqlite3_finalize(check);
    sqlite3_close(db);

    for (const unsigned long n : done) {
        const std::string keyPath = "Software\\Stream\\Group" + std::to_string(n / 50);
        const std::string name = "Value" + std::to_string(n);
        HKEY key = nullptr;
        ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, keyPath.c_str(), 0, KEY_READ, &key), ERROR_SUCCESS) << n;
        std::vector<BYTE> data(1024);
        DWORD size = static_cast<DWORD>(data.size());
        ASSERT_EQ(RegQueryValueExA(key, name.c_str(), nullptr, nullptr, data.data(), &size), ERROR_SUCCESS) << n;
        data.resize(size);
        EXPECT_EQ(data, payload(n)) << n;
        RegCloseKey(key);
    }
    std::printf("%zu reported writes checked\n", done.size());
}

} // namespace
