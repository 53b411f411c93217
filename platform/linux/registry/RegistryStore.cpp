#include "platform/linux/registry/RegistryStore.h"

#include "platform/linux/registry/RegistryLocation.h"
#include "platform/linux/registry/RegistryQuery.h"
#include "platform/linux/registry/RegistryVfs.h"

#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <random>
#include <thread>

namespace comrt::registry {

namespace {

// Marks a database as ours: "comr" in the header's application id, and the layout version.
constexpr int kApplicationId = 0x636F6D72;
constexpr int kFormatVersion = 1;

// How long one call waits for other processes' writes before it reports ERROR_BUSY.
constexpr int64_t kPatienceNs = 30'000'000'000;

const char* const kRootNames[kRootCount] = {
    "HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE",
    "HKEY_USERS",        "HKEY_PERFORMANCE_DATA", "HKEY_CURRENT_CONFIG",
};

// Keys: each predefined root is a row with parent 0. Ids are never reused (AUTOINCREMENT),
// so a handle to a deleted key can never come to name a newer key.
// Names keep their case and compare without it (NOCASE folds ASCII).
// Values enumerate in creation order (their row id).
const char* const kSchema = R"sql(
CREATE TABLE keys (
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    parent INTEGER NOT NULL,
    name TEXT NOT NULL COLLATE NOCASE,
    class TEXT NOT NULL DEFAULT '',
    written INTEGER NOT NULL,
    UNIQUE (parent, name));
CREATE TABLE vals (
    id INTEGER PRIMARY KEY,
    key INTEGER NOT NULL,
    name TEXT NOT NULL COLLATE NOCASE,
    type INTEGER NOT NULL,
    data BLOB NOT NULL,
    UNIQUE (key, name));
CREATE INDEX vals_order ON vals (key, id);
)sql";

int64_t steadyNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Short randomised pauses: a writer holds the database for about a millisecond.
void pause(unsigned attempt)
{
    thread_local std::minstd_rand random(static_cast<unsigned>(steadyNs() ^ getpid()));
    const unsigned ceilingUs = 100u << (attempt < 5 ? attempt : 5);
    std::this_thread::sleep_for(std::chrono::microseconds(50 + random() % ceilingUs));
}

bool isContention(int code)
{
    const int primary = code & 0xFF;
    return primary == SQLITE_BUSY || primary == SQLITE_LOCKED || primary == SQLITE_PROTOCOL;
}

// Failures that say nothing about the connection itself; every other one drops it so that
// the next call opens the file afresh.
bool keepsConnection(int code)
{
    const int primary = code & 0xFF;
    return isContention(code) || primary == SQLITE_TOOBIG || primary == SQLITE_CONSTRAINT ||
        primary == SQLITE_RANGE;
}

} // namespace

sqlite3_stmt* Store::statement(const char* sql)
{
    if (auto found = m_statements.find(sql); found != m_statements.end())
        return found->second;
    sqlite3_stmt* prepared = nullptr;
    const int rc = sqlite3_prepare_v3(m_db, sql, -1, SQLITE_PREPARE_PERSISTENT, &prepared, nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_finalize(prepared);
        throw DbError{rc};
    }
    m_statements.emplace(sql, prepared);
    return prepared;
}

void Store::execute(const char* sql)
{
    const int rc = sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK)
        throw DbError{rc};
}

void Store::close()
{
    if (m_db && m_pid != getpid()) {
        // A connection inherited through fork belongs to the parent; closing it here could
        // disturb the parent's locks, so it is only forgotten.
        m_statements.clear();
        m_db = nullptr;
        return;
    }
    for (auto& [sql, prepared] : m_statements)
        sqlite3_finalize(prepared);
    m_statements.clear();
    if (m_db)
        sqlite3_close_v2(m_db);
    m_db = nullptr;
}

int Store::onBusy(void* self, int attempts)
{
    auto* store = static_cast<Store*>(self);
    if (attempts == 0)
        store->m_busySinceNs = steadyNs();
    else if (steadyNs() - store->m_busySinceNs > kPatienceNs)
        return 0;
    pause(static_cast<unsigned>(attempts));
    return 1;
}

void Store::followPath()
{
    const std::string path = registryFilePath();
    if (path == m_path)
        return;
    close();
    if (!m_path.empty() && m_onSwitch)
        m_onSwitch();
    m_path = path;
}

LONG Store::ensureOpen()
{
    if (m_pid != getpid())
        close();
    followPath();
    if (m_path.empty())
        return ERROR_PATH_NOT_FOUND;
    return m_db ? ERROR_SUCCESS : open();
}

LONG Store::open()
{
    if (const LONG rc = makeParentDirectories(m_path); rc != ERROR_SUCCESS)
        return rc;
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(m_path.c_str(), &db,
                                   SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                                   registryVfsName());
    if (rc != SQLITE_OK) {
        const int systemError = db ? sqlite3_system_errno(db) : 0;
        sqlite3_close_v2(db);
        return win32FromSqlite(rc, systemError);
    }
    m_db = db;
    m_pid = getpid();
    sqlite3_extended_result_codes(m_db, 1);
    sqlite3_busy_handler(m_db, &Store::onBusy, this);
    try {
        ensureSchema();
    } catch (...) {
        close();
        throw;
    }
    return ERROR_SUCCESS;
}

void Store::ensureSchema()
{
    enum class Format { Ours, Empty, Foreign };
    auto format = [this] {
        Query query(*this, "SELECT (SELECT application_id FROM pragma_application_id), "
                           "(SELECT user_version FROM pragma_user_version), "
                           "(SELECT count(*) FROM sqlite_master)");
        query.next();
        const int64_t application = query.integer(0);
        const int64_t version = query.integer(1);
        const int64_t objects = query.integer(2);
        if (application == kApplicationId && version == kFormatVersion)
            return Format::Ours;
        if (application == 0 && version == 0 && objects == 0)
            return Format::Empty;
        return Format::Foreign; // another program's database, or a layout we do not know
    };
    // Nothing is changed in a file that is not ours, not even its journal mode.
    Format found = format();
    if (found == Format::Foreign)
        throw DbError{SQLITE_NOTADB};

    // WAL lets readers go on while one process writes, and a writer that dies mid-way
    // leaves only uncommitted frames, which the next opener discards.
    execute("PRAGMA journal_mode = WAL");
    // FULL: every commit is on the disk before the call reports success. NORMAL would
    // survive a killed process too, but a power cut or kernel crash could then undo
    // writes already reported as done (a registration that says it worked but is gone).
    // The price is one fsync per write call, small for registration's few dozen calls.
    execute("PRAGMA synchronous = FULL");
    if (found == Format::Ours)
        return;

    // Another process may be creating it at the same moment: decide under the write lock.
    execute("BEGIN IMMEDIATE");
    found = format();
    if (found == Format::Empty) {
        execute(kSchema);
        const int64_t now = fileTimeNow();
        for (int n = 0; n < kRootCount; ++n) {
            Query root(*this, "INSERT INTO keys (id, parent, name, written) VALUES (?1, 0, ?2, ?3)");
            root.bind(1, kFirstRootId + n).bind(2, kRootNames[n]).bind(3, now).run();
        }
        execute(("PRAGMA application_id = " + std::to_string(kApplicationId)).c_str());
        execute(("PRAGMA user_version = " + std::to_string(kFormatVersion)).c_str());
        found = Format::Ours;
    }
    execute(found == Format::Ours ? "COMMIT" : "ROLLBACK");
    if (found != Format::Ours)
        throw DbError{SQLITE_NOTADB};
}

LONG Store::run(bool write, const std::function<LONG(Transaction&)>& body)
{
    const int64_t deadline = steadyNs() + kPatienceNs;
    for (unsigned attempt = 0;; ++attempt) {
        try {
            if (const LONG rc = ensureOpen(); rc != ERROR_SUCCESS)
                return rc;
            execute(write ? "BEGIN IMMEDIATE" : "BEGIN");
            Transaction transaction(*this);
            LONG result;
            try {
                result = body(transaction);
            } catch (...) {
                sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
                throw;
            }
            execute(result == ERROR_SUCCESS ? "COMMIT" : "ROLLBACK");
            return result;
        } catch (const DbError& error) {
            if (m_db && !sqlite3_get_autocommit(m_db))
                sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
            if (isContention(error.code) && steadyNs() < deadline) {
                pause(attempt);
                continue;
            }
            const int systemError = m_db ? sqlite3_system_errno(m_db) : 0;
            if (!keepsConnection(error.code))
                close();
            return win32FromSqlite(error.code, systemError);
        }
    }
}

LONG win32FromSqlite(int code, int systemError)
{
    const bool denied = systemError == EACCES || systemError == EPERM || systemError == EROFS;
    switch (code & 0xFF) {
    case SQLITE_OK:
        return ERROR_SUCCESS;
    case SQLITE_NOTADB:
    case SQLITE_ERROR: // a statement that does not fit the file's tables: not our layout
    case SQLITE_SCHEMA:
        return ERROR_BADDB;
    case SQLITE_CORRUPT:
        return ERROR_REGISTRY_CORRUPT;
    case SQLITE_CANTOPEN:
        return denied ? ERROR_ACCESS_DENIED : ERROR_CANTOPEN;
    case SQLITE_PERM:
    case SQLITE_READONLY:
    case SQLITE_AUTH:
        return ERROR_ACCESS_DENIED;
    case SQLITE_IOERR:
        if (denied)
            return ERROR_ACCESS_DENIED;
        return systemError == ENOSPC ? ERROR_DISK_FULL : ERROR_REGISTRY_IO_FAILED;
    case SQLITE_FULL:
        return ERROR_DISK_FULL;
    case SQLITE_NOMEM:
        return ERROR_NOT_ENOUGH_MEMORY;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
    case SQLITE_PROTOCOL:
        return ERROR_BUSY;
    case SQLITE_TOOBIG:
        return ERROR_INVALID_PARAMETER;
    default:
        return ERROR_REGISTRY_IO_FAILED;
    }
}

} // namespace comrt::registry
