// The value operations: set, query, delete, enumerate.
#include "platform/linux/registry/RegistryCalls.h"
#include "platform/linux/registry/RegistryFailureHook.h"

#include <cstring>

using namespace comrt::registry;

namespace {

bool isStringType(DWORD type)
{
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

// Copies value data into a caller's buffer known to be large enough. A string stored
// without its terminating NUL gets one when the buffer has room for it, so that callers
// that trust the text to end are not sent reading past it.
void copyData(const ValueRecord& value, LPBYTE data, DWORD capacity)
{
    const DWORD size = static_cast<DWORD>(value.data.size());
    if (size)
        std::memcpy(data, value.data.data(), size);
    if (isStringType(value.type) && size < capacity && size && value.data[size - 1] != 0)
        data[size] = 0;
}

// Reads one value of an open key inside a read transaction.
template <class Find>
LONG readValue(Registry& state, HKEY hKey, ValueRecord& out, Find&& find)
{
    OpenKey key;
    if (const LONG rc = lookUpKey(state, hKey, KEY_QUERY_VALUE, key); rc != ERROR_SUCCESS)
        return rc;
    return state.store.read([&](Transaction& transaction) -> LONG {
        if (!transaction.key(key.id))
            return ERROR_KEY_DELETED;
        return find(transaction, key.id, out);
    });
}

} // namespace

COMRT_API LONG WINAPI RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD, DWORD dwType, const BYTE* lpData,
                                     DWORD cbData)
{
    if (const LONG planned = plannedFailure(COMRT_REG_SET_VALUE); planned != ERROR_SUCCESS)
        return planned;
    if (!lpData && cbData)
        return ERROR_NOACCESS; // the platform faults reading the data, and says so
    const std::string_view name = valueName(lpValueName);
    if (name.size() > kMaxValueNameLength)
        return ERROR_INVALID_PARAMETER;
    return registryCall([&](Registry& state) -> LONG {
        OpenKey key;
        if (const LONG rc = lookUpKey(state, hKey, KEY_SET_VALUE, key); rc != ERROR_SUCCESS)
            return rc;
        return state.store.write([&](Transaction& transaction) -> LONG {
            if (!transaction.key(key.id))
                return ERROR_KEY_DELETED;
            transaction.setValue(key.id, name, dwType, lpData, cbData);
            return ERROR_SUCCESS;
        });
    });
}

COMRT_API LONG WINAPI RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                                       LPBYTE lpData, LPDWORD lpcbData)
{
    if (const LONG planned = plannedFailure(COMRT_REG_QUERY_VALUE); planned != ERROR_SUCCESS)
        return planned;
    if (lpReserved || (lpData && !lpcbData))
        return ERROR_INVALID_PARAMETER;
    const LONG rc = registryCall([&](Registry& state) -> LONG {
        ValueRecord value;
        const LONG rc = readValue(state, hKey, value, [&](Transaction& transaction, KeyId key, ValueRecord& out) -> LONG {
            auto found = transaction.value(key, valueName(lpValueName));
            if (!found)
                return ERROR_FILE_NOT_FOUND;
            out = std::move(*found);
            return ERROR_SUCCESS;
        });
        if (rc != ERROR_SUCCESS)
            return rc;
        if (lpType)
            *lpType = value.type;
        const DWORD size = static_cast<DWORD>(value.data.size());
        if (lpData) {
            if (size > *lpcbData) {
                *lpcbData = size;
                return ERROR_MORE_DATA;
            }
            copyData(value, lpData, *lpcbData);
        }
        if (lpcbData)
            *lpcbData = size;
        return ERROR_SUCCESS;
    });
    // A failed call reports no type, and a size asked for alone as 0, as the platform does.
    if (rc != ERROR_SUCCESS && rc != ERROR_MORE_DATA) {
        if (lpType)
            *lpType = REG_NONE;
        if (lpcbData && !lpData)
            *lpcbData = 0;
    }
    return rc;
}

COMRT_API LONG WINAPI RegDeleteValueA(HKEY hKey, LPCSTR lpValueName)
{
    if (const LONG planned = plannedFailure(COMRT_REG_DELETE_VALUE); planned != ERROR_SUCCESS)
        return planned;
    return registryCall([&](Registry& state) -> LONG {
        OpenKey key;
        if (const LONG rc = lookUpKey(state, hKey, KEY_SET_VALUE, key); rc != ERROR_SUCCESS)
            return rc;
        return state.store.write([&](Transaction& transaction) -> LONG {
            if (!transaction.key(key.id))
                return ERROR_KEY_DELETED;
            return transaction.removeValue(key.id, valueName(lpValueName)) ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
        });
    });
}

COMRT_API LONG WINAPI RegEnumValueA(HKEY hKey, DWORD dwIndex, LPSTR lpValueName, LPDWORD lpcchValueName,
                                    LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData)
{
    if (const LONG planned = plannedFailure(COMRT_REG_ENUM_VALUE); planned != ERROR_SUCCESS)
        return planned;
    if (!lpValueName || !lpcchValueName || lpReserved || (lpData && !lpcbData))
        return ERROR_INVALID_PARAMETER;
    return registryCall([&](Registry& state) -> LONG {
        ValueRecord value;
        const LONG rc = readValue(state, hKey, value, [&](Transaction& transaction, KeyId key, ValueRecord& out) -> LONG {
            auto found = transaction.valueAt(key, dwIndex);
            if (!found)
                return ERROR_NO_MORE_ITEMS;
            out = std::move(*found);
            return ERROR_SUCCESS;
        });
        if (rc != ERROR_SUCCESS)
            return rc;
        if (lpType)
            *lpType = value.type;
        const DWORD size = static_cast<DWORD>(value.data.size());
        // Data that does not fit leaves the name alone too.
        const bool dataFits = !lpData || size <= *lpcbData;
        const LONG named = dataFits ? copyName(value.name, lpValueName, lpcchValueName) : ERROR_MORE_DATA;
        if (named != ERROR_SUCCESS || !dataFits) {
            if (lpcbData)
                *lpcbData = size;
            return ERROR_MORE_DATA;
        }
        if (lpData)
            copyData(value, lpData, *lpcbData);
        if (lpcbData)
            *lpcbData = size;
        return ERROR_SUCCESS;
    });
}
