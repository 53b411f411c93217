// The database file: where it lives, and what files that cannot serve give.
#include "tests/platform/linux/registry/StoreTestSupport.h"

#include "platform/linux/ComRtExtensions.h"

#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>

using namespace storetest;

namespace {

using StoreFileTest = FreshRegistry;

bool exists(const std::string& path)
{
    struct stat info{};
    return stat(path.c_str(), &info) == 0;
}

std::string contents(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

LONG createAndClose(const char* path)
{
    HKEY key = nullptr;
    const LONG rc = RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    if (rc == ERROR_SUCCESS)
        RegCloseKey(key);
    return rc;
}

LONG openAndClose(const char* path)
{
    HKEY key = nullptr;
    const LONG rc = RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_READ, &key);
    if (rc == ERROR_SUCCESS)
        RegCloseKey(key);
    return rc;
}

// Sets or unsets an environment variable for one test.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name)
    {
        if (const char* old = std::getenv(name))
            old_ = old;
        value ? setenv(name, value, 1) : unsetenv(name);
    }
    ~ScopedEnv() { old_ ? setenv(name_, old_->c_str(), 1) : unsetenv(name_); }

private:
    const char* name_;
    std::optional<std::string> old_;
};

TEST_F(StoreFileTest, TheFileAndItsDirectoriesAreMadeWhereTheEnvironmentSays)
{
    const std::string nested = m_registry.directory().file("a/b/registry.db");
    setenv("COMRT_REGISTRY", nested.c_str(), 1);
    ASSERT_EQ(createAndClose("Software"), ERROR_SUCCESS);
    EXPECT_TRUE(exists(nested));

    ScopedEnv noFile("COMRT_REGISTRY", nullptr);
    {
        ScopedEnv data("XDG_DATA_HOME", m_registry.directory().file("data").c_str());
        ASSERT_EQ(createAndClose("Software"), ERROR_SUCCESS);
        EXPECT_TRUE(exists(m_registry.directory().file("data/comrt/registry.db")));
    }
    ScopedEnv noData("XDG_DATA_HOME", nullptr);
    ScopedEnv home("HOME", m_registry.directory().file("home").c_str());
    ASSERT_EQ(createAndClose("Software"), ERROR_SUCCESS);
    EXPECT_TRUE(exists(m_registry.directory().file("home/.local/share/comrt/registry.db")));
}

TEST_F(StoreFileTest, FilesThatAreNotARegistryGiveCodesAndStayUntouched)
{
    std::ofstream(m_registry.path()) << "just some text, not a database\n";
    EXPECT_EQ(openAndClose("Software"), ERROR_BADDB);
    EXPECT_EQ(createAndClose("Software"), ERROR_BADDB);
    EXPECT_TRUE(contents(m_registry.path()) == "just some text, not a database\n");

    // Another program's SQLite database.
    const std::string foreign = m_registry.directory().file("foreign.db");
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(foreign.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "CREATE TABLE notes (text)", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
    const std::string before = contents(foreign);
    setenv("COMRT_REGISTRY", foreign.c_str(), 1);
    EXPECT_EQ(createAndClose("Software"), ERROR_BADDB);
    EXPECT_TRUE(contents(foreign) == before); // not even switched to another journal mode

    setenv("COMRT_REGISTRY", m_registry.directory().path().c_str(), 1); // a directory
    EXPECT_EQ(createAndClose("Software"), ERROR_CANTOPEN);
}

TEST_F(StoreFileTest, DamagedPagesGiveRegistryCorruptAndAFixedFileWorksAgain)
{
    for (int i = 0; i < 50; ++i)
        ASSERT_EQ(createAndClose(("Software\\Key" + std::to_string(i)).c_str()), ERROR_SUCCESS);
    ComRtCloseRegistryStore();
    const std::string good = contents(m_registry.path());
    ASSERT_GT(good.size(), 8192u);

    // Keep the first page (header and table list), spoil the tables.
    std::string damaged = good;
    std::fill(damaged.begin() + 4096, damaged.end(), '\xA5');
    std::ofstream(m_registry.path(), std::ios::binary | std::ios::trunc) << damaged;
    EXPECT_EQ(openAndClose("Software\\Key7"), ERROR_REGISTRY_CORRUPT);
    EXPECT_EQ(createAndClose("Software\\New"), ERROR_REGISTRY_CORRUPT);

    std::ofstream(m_registry.path(), std::ios::binary | std::ios::trunc) << good;
    EXPECT_EQ(openAndClose("Software\\Key7"), ERROR_SUCCESS);
}

// Runs the checks as an unprivileged user when the tests run as root (root reads anything).
void runUnprivileged(const std::function<void()>& checks)
{
    if (geteuid() != 0)
        return checks();
    const pid_t child = fork();
    if (child == 0) {
        if (setgid(65534) != 0 || setuid(65534) != 0)
            _exit(2);
        checks();
        _exit(::testing::Test::HasFailure() ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_NE(WEXITSTATUS(status), 2) << "cannot drop privileges";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "see the failures above";
}

TEST_F(StoreFileTest, FilesWithoutPermissionGiveAccessDenied)
{
    ASSERT_EQ(createAndClose("Software\\Readable"), ERROR_SUCCESS);
    ComRtCloseRegistryStore();
    // Readers of a WAL database need to make its shared-memory file beside it.
    chmod(m_registry.directory().path().c_str(), 0777);
    chmod(m_registry.path().c_str(), 0644);
    runUnprivileged([] {
        EXPECT_EQ(openAndClose("Software\\Readable"), ERROR_SUCCESS);
        EXPECT_EQ(createAndClose("Software\\New"), ERROR_ACCESS_DENIED);
    });
    chmod(m_registry.path().c_str(), 0600);
    runUnprivileged([] { EXPECT_EQ(openAndClose("Software\\Readable"), ERROR_ACCESS_DENIED); });
}

TEST_F(StoreFileTest, HandlesDoNotCarryOverToAnotherFile)
{
    HKEY key = createKey(HKEY_CURRENT_USER, "Software\\First");
    const std::string other = m_registry.directory().file("other.db");
    setenv("COMRT_REGISTRY", other.c_str(), 1);
    EXPECT_EQ(setString(key, "v", "x"), ERROR_INVALID_HANDLE);
    EXPECT_EQ(openAndClose("Software\\First"), ERROR_FILE_NOT_FOUND);
}

} // namespace
