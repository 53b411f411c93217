// A statement of the store's cache in use: bind, step, read columns, reset when done.
#pragma once

#include "platform/linux/registry/RegistryStore.h"

namespace comrt::registry {

// One statement taken from the cache, reset when done with.
class Query {
public:
    Query(Store& store, const char* sql) : m_statement(store.statement(sql)) {}
    ~Query()
    {
        sqlite3_reset(m_statement);
        sqlite3_clear_bindings(m_statement);
    }
    Query(const Query&) = delete;
    Query& operator=(const Query&) = delete;

    Query& bind(int index, int64_t number)
    {
        check(sqlite3_bind_int64(m_statement, index, number));
        return *this;
    }
    Query& bind(int index, std::string_view text)
    {
        check(sqlite3_bind_text64(m_statement, index, text.empty() ? "" : text.data(), text.size(),
                                  SQLITE_STATIC, SQLITE_UTF8));
        return *this;
    }
    Query& bindBlob(int index, const void* data, size_t size)
    {
        // A null pointer would store NULL rather than an empty blob.
        check(sqlite3_bind_blob64(m_statement, index, size ? data : "", size, SQLITE_STATIC));
        return *this;
    }

    bool next()
    {
        const int rc = sqlite3_step(m_statement);
        if (rc == SQLITE_ROW)
            return true;
        if (rc == SQLITE_DONE)
            return false;
        throw DbError{rc};
    }
    void run()
    {
        while (next()) {
        }
    }

    int64_t integer(int column) { return sqlite3_column_int64(m_statement, column); }
    std::string text(int column)
    {
        const auto* bytes = reinterpret_cast<const char*>(sqlite3_column_text(m_statement, column));
        return bytes ? std::string(bytes, sqlite3_column_bytes(m_statement, column)) : std::string();
    }
    std::vector<BYTE> blob(int column)
    {
        const auto* bytes = static_cast<const BYTE*>(sqlite3_column_blob(m_statement, column));
        return bytes ? std::vector<BYTE>(bytes, bytes + sqlite3_column_bytes(m_statement, column))
                     : std::vector<BYTE>();
    }

private:
    static void check(int rc)
    {
        if (rc != SQLITE_OK)
            throw DbError{rc};
    }

    sqlite3_stmt* m_statement;
};

} // namespace comrt::registry
