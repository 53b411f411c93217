// The registry's persistent store: one SQLite connection per process, and the
// transactions through which every registry call reads and writes it.
#pragma once

#include "platform/Registry.h"

#include <sqlite3.h>
#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace comrt::registry {

using KeyId = int64_t;

// Row ids of the predefined roots: HKEY 0x80000000 + n is key n + 1.
constexpr KeyId kFirstRootId = 1;
constexpr int kRootCount = 6;

// A failed SQLite step; thrown inside a transaction body, turned into a Win32 code by the store.
struct DbError {
    int code;
};

struct KeyRecord {
    KeyId id = 0;
    KeyId parent = 0;
    std::string name;
    std::string className;
    int64_t written = 0; // FILETIME ticks
};

struct ValueRecord {
    std::string name;
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};

// What RegQueryInfoKeyA reports about a key; lengths exclude the terminating NUL.
struct KeyInfo {
    std::string className;
    DWORD subKeys = 0;
    DWORD maxSubKeyLen = 0;
    DWORD maxClassLen = 0;
    DWORD values = 0;
    DWORD maxValueNameLen = 0;
    DWORD maxValueLen = 0;
    int64_t written = 0;
};

class Store;

// The operations one registry call performs, all inside the same transaction.
// Defined in RegistryTransaction.cpp.
class Transaction {
public:
    explicit Transaction(Store& store) : m_store(store) {}

    std::optional<KeyRecord> key(KeyId id);
    std::optional<KeyRecord> child(KeyId parent, std::string_view name);
    std::optional<KeyRecord> childAt(KeyId parent, DWORD index);
    bool hasChildren(KeyId id);
    KeyId addKey(KeyId parent, std::string_view name, std::string_view className);
    void removeKey(KeyId id);
    // The key's values and everything beneath it go; with `keepKey` the key itself stays.
    void removeTree(KeyId id, bool keepKey);
    bool hasValues(KeyId id);
    void touch(KeyId id);

    std::optional<ValueRecord> value(KeyId key, std::string_view name);
    std::optional<ValueRecord> valueAt(KeyId key, DWORD index);
    void setValue(KeyId key, std::string_view name, DWORD type, const BYTE* data, DWORD size);
    bool removeValue(KeyId key, std::string_view name);
    KeyInfo info(KeyId id);

private:
    Store& m_store;
};

// Called when the store switches to another database file: handles into the old one
// mean nothing any more.
using StoreSwitchListener = std::function<void()>;

class Store {
public:
    explicit Store(StoreSwitchListener onSwitch) : m_onSwitch(std::move(onSwitch)) {}
    Store(const Store&) = delete;
    Store& operator=(const Store&) = delete;

    // Runs one call's work as one transaction, waiting out other writers. A body result other
    // than ERROR_SUCCESS rolls the transaction back; so does any failure of the database,
    // which is returned as a Win32 code. The body may run more than once.
    LONG read(const std::function<LONG(Transaction&)>& body) { return run(false, body); }
    LONG write(const std::function<LONG(Transaction&)>& body) { return run(true, body); }

    // Follows COMRT_REGISTRY and its defaults: when they now name another file, the old
    // connection is closed and the switch listener told. Called before handles are looked at.
    void followPath();

    // Closes the connection (one inherited through fork is only dropped); the next call
    // opens the database again.
    void close();

    // A prepared statement from the connection's cache.
    sqlite3_stmt* statement(const char* sql);
    sqlite3* connection() const { return m_db; }

private:
    LONG run(bool write, const std::function<LONG(Transaction&)>& body);
    LONG ensureOpen();
    LONG open();
    void ensureSchema();
    void execute(const char* sql);

    static int onBusy(void* self, int attempts);

    StoreSwitchListener m_onSwitch;
    sqlite3* m_db = nullptr;
    std::string m_path;
    pid_t m_pid = 0;
    std::unordered_map<const char*, sqlite3_stmt*> m_statements;
    int64_t m_busySinceNs = 0;
};

// The current time in FILETIME ticks.
int64_t fileTimeNow();

// The Win32 code for an SQLite result; systemError is the errno behind it, if any.
LONG win32FromSqlite(int code, int systemError);

} // namespace comrt::registry
