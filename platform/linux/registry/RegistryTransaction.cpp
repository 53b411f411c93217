// The queries and changes one registry call makes, inside its transaction.
#include "platform/linux/registry/RegistryQuery.h"

#include <chrono>

namespace comrt::registry {

namespace {

KeyRecord keyFrom(Query& query)
{
    return KeyRecord{query.integer(0), query.integer(1), query.text(2), query.text(3), query.integer(4)};
}

ValueRecord valueFrom(Query& query)
{
    return ValueRecord{query.text(0), static_cast<DWORD>(query.integer(1)), query.blob(2)};
}

} // namespace

// FILETIME ticks: 100 ns since 1601-01-01.
int64_t fileTimeNow()
{
    constexpr int64_t kUnixEpochTicks = 116444736000000000;
    const auto sinceUnix = std::chrono::system_clock::now().time_since_epoch();
    return kUnixEpochTicks + std::chrono::duration_cast<std::chrono::nanoseconds>(sinceUnix).count() / 100;
}

std::optional<KeyRecord> Transaction::key(KeyId id)
{
    Query query(m_store, "SELECT id, parent, name, class, written FROM keys WHERE id = ?1");
    if (!query.bind(1, id).next())
        return std::nullopt;
    return keyFrom(query);
}

std::optional<KeyRecord> Transaction::child(KeyId parent, std::string_view name)
{
    Query query(m_store, "SELECT id, parent, name, class, written FROM keys WHERE parent = ?1 AND name = ?2");
    query.bind(1, parent).bind(2, name);
    if (!query.next())
        return std::nullopt;
    return keyFrom(query);
}

std::optional<KeyRecord> Transaction::childAt(KeyId parent, DWORD index)
{
    Query query(m_store,
                "SELECT id, parent, name, class, written FROM keys WHERE parent = ?1 ORDER BY name LIMIT 1 OFFSET ?2");
    query.bind(1, parent).bind(2, static_cast<int64_t>(index));
    if (!query.next())
        return std::nullopt;
    return keyFrom(query);
}

bool Transaction::hasChildren(KeyId id)
{
    Query query(m_store, "SELECT 1 FROM keys WHERE parent = ?1 LIMIT 1");
    return query.bind(1, id).next();
}

KeyId Transaction::addKey(KeyId parent, std::string_view name, std::string_view className)
{
    Query query(m_store, "INSERT INTO keys (parent, name, class, written) VALUES (?1, ?2, ?3, ?4)");
    query.bind(1, parent).bind(2, name).bind(3, className).bind(4, fileTimeNow()).run();
    return sqlite3_last_insert_rowid(m_store.connection());
}

void Transaction::removeKey(KeyId id)
{
    Query values(m_store, "DELETE FROM vals WHERE key = ?1");
    values.bind(1, id).run();
    Query key(m_store, "DELETE FROM keys WHERE id = ?1");
    key.bind(1, id).run();
}

void Transaction::removeTree(KeyId id, bool keepKey)
{
    Query values(m_store, "WITH RECURSIVE tree(id) AS (SELECT ?1 UNION ALL "
                         "SELECT keys.id FROM keys JOIN tree ON keys.parent = tree.id) "
                         "DELETE FROM vals WHERE key IN tree");
    values.bind(1, id).run();
    Query keys(m_store, "WITH RECURSIVE tree(id) AS (SELECT ?1 UNION ALL "
                       "SELECT keys.id FROM keys JOIN tree ON keys.parent = tree.id) "
                       "DELETE FROM keys WHERE id IN tree AND (?2 = 0 OR id != ?1)");
    keys.bind(1, id).bind(2, static_cast<int64_t>(keepKey ? 1 : 0)).run();
}

bool Transaction::hasValues(KeyId id)
{
    Query query(m_store, "SELECT 1 FROM vals WHERE key = ?1 LIMIT 1");
    return query.bind(1, id).next();
}

void Transaction::touch(KeyId id)
{
    Query query(m_store, "UPDATE keys SET written = ?2 WHERE id = ?1");
    query.bind(1, id).bind(2, fileTimeNow()).run();
}

std::optional<ValueRecord> Transaction::value(KeyId key, std::string_view name)
{
    Query query(m_store, "SELECT name, type, data FROM vals WHERE key = ?1 AND name = ?2");
    query.bind(1, key).bind(2, name);
    if (!query.next())
        return std::nullopt;
    return valueFrom(query);
}

std::optional<ValueRecord> Transaction::valueAt(KeyId key, DWORD index)
{
    Query query(m_store, "SELECT name, type, data FROM vals WHERE key = ?1 ORDER BY id LIMIT 1 OFFSET ?2");
    query.bind(1, key).bind(2, static_cast<int64_t>(index));
    if (!query.next())
        return std::nullopt;
    return valueFrom(query);
}

void Transaction::setValue(KeyId key, std::string_view name, DWORD type, const BYTE* data, DWORD size)
{
    // Overwriting keeps the name's original case and the value's place in the enumeration.
    Query query(m_store, "INSERT INTO vals (key, name, type, data) VALUES (?1, ?2, ?3, ?4) "
                        "ON CONFLICT (key, name) DO UPDATE SET type = excluded.type, data = excluded.data");
    query.bind(1, key).bind(2, name).bind(3, static_cast<int64_t>(type)).bindBlob(4, data, size).run();
    touch(key);
}

bool Transaction::removeValue(KeyId key, std::string_view name)
{
    Query query(m_store, "DELETE FROM vals WHERE key = ?1 AND name = ?2");
    query.bind(1, key).bind(2, name).run();
    if (sqlite3_changes(m_store.connection()) == 0)
        return false;
    touch(key);
    return true;
}

KeyInfo Transaction::info(KeyId id)
{
    KeyInfo info;
    {
        Query query(m_store, "SELECT class, written FROM keys WHERE id = ?1");
        if (query.bind(1, id).next()) {
            info.className = query.text(0);
            info.written = query.integer(1);
        }
    }
    {
        // Lengths in bytes: names are ANSI text, not necessarily UTF-8.
        Query query(m_store, "SELECT count(*), coalesce(max(length(CAST(name AS BLOB))), 0), "
                            "coalesce(max(length(CAST(class AS BLOB))), 0) FROM keys WHERE parent = ?1");
        if (query.bind(1, id).next()) {
            info.subKeys = static_cast<DWORD>(query.integer(0));
            info.maxSubKeyLen = static_cast<DWORD>(query.integer(1));
            info.maxClassLen = static_cast<DWORD>(query.integer(2));
        }
    }
    {
        Query query(m_store, "SELECT count(*), coalesce(max(length(CAST(name AS BLOB))), 0), "
                            "coalesce(max(length(data)), 0) FROM vals WHERE key = ?1");
        if (query.bind(1, id).next()) {
            info.values = static_cast<DWORD>(query.integer(0));
            info.maxValueNameLen = static_cast<DWORD>(query.integer(1));
            info.maxValueLen = static_cast<DWORD>(query.integer(2));
        }
    }
    return info;
}

} // namespace comrt::registry
