// The key operations: open, create, delete (one key or a tree), enumerate, describe, close.
#include "platform/linux/registry/RegistryCalls.h"
#include "platform/linux/registry/RegistryFailureHook.h"

using namespace comrt::registry;

namespace {

// How far a path leads from a key: the last key found and how many names led to it.
struct Walk {
    KeyRecord key;
    size_t found = 0;
};

// ERROR_KEY_DELETED when the starting key is gone.
LONG walk(Transaction& transaction, KeyId start, const std::vector<std::string_view>& names, Walk& out)
{
    auto key = transaction.key(start);
    if (!key)
        return ERROR_KEY_DELETED;
    out.key = std::move(*key);
    out.found = 0;
    for (const std::string_view name : names) {
        auto child = transaction.child(out.key.id, name);
        if (!child)
            break;
        out.key = std::move(*child);
        ++out.found;
    }
    return ERROR_SUCCESS;
}

// The walk down to a key that must exist: ERROR_FILE_NOT_FOUND when part of the path is missing.
LONG walkToExisting(Transaction& transaction, KeyId start, const std::vector<std::string_view>& names, Walk& out)
{
    const LONG rc = walk(transaction, start, names, out);
    if (rc == ERROR_SUCCESS && out.found < names.size())
        return ERROR_FILE_NOT_FOUND;
    return rc;
}

// The open key a call starts from and the names of the sub-key path below it.
LONG resolveSubKey(Registry& state, HKEY hKey, LPCSTR subKey, OpenKey& parent, std::vector<std::string_view>& names)
{
    if (const LONG rc = lookUpKey(state, hKey, 0, parent); rc != ERROR_SUCCESS)
        return rc;
    return splitKeyPath(subKey, names);
}

} // namespace

COMRT_API LONG WINAPI RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD, REGSAM samDesired, PHKEY phkResult)
{
    if (!phkResult)
        return ERROR_INVALID_PARAMETER;
    if (!hKey)
        return ERROR_INVALID_HANDLE; // before anything is written, as the platform answers
    *phkResult = nullptr;
    if (const LONG planned = plannedFailure(COMRT_REG_OPEN_KEY); planned != ERROR_SUCCESS)
        return planned;
    return registryCall([&](Registry& state) -> LONG {
        OpenKey parent;
        std::vector<std::string_view> names;
        if (const LONG rc = resolveSubKey(state, hKey, lpSubKey, parent, names); rc != ERROR_SUCCESS)
            return rc;
        Walk reached;
        const LONG rc = state.store.read([&](Transaction& transaction) -> LONG {
            const LONG walked = walk(transaction, parent.id, names, reached);
            if (walked != ERROR_SUCCESS)
                return walked;
            return reached.found == names.size() ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
        });
        if (rc != ERROR_SUCCESS)
            return rc;
        *phkResult = state.handles.add(reached.key.id, samDesired);
        return ERROR_SUCCESS;
    });
}

COMRT_API LONG WINAPI RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD, LPSTR lpClass, DWORD, REGSAM samDesired,
                                      LPSECURITY_ATTRIBUTES, PHKEY phkResult, LPDWORD lpdwDisposition)
{
    if (!phkResult)
        return ERROR_INVALID_PARAMETER;
    *phkResult = nullptr;
    if (const LONG planned = plannedFailure(COMRT_REG_CREATE_KEY); planned != ERROR_SUCCESS)
        return planned;
    return registryCall([&](Registry& state) -> LONG {
        OpenKey parent;
        std::vector<std::string_view> names;
        if (const LONG rc = resolveSubKey(state, hKey, lpSubKey, parent, names); rc != ERROR_SUCCESS)
            return rc;
        Walk reached;
        DWORD disposition = REG_OPENED_EXISTING_KEY;
        // Most calls find the key already there: look without taking the write lock first.
        LONG rc = state.store.read([&](Transaction& transaction) -> LONG { return walk(transaction, parent.id, names, reached); });
        // Making a key needs the right to on the handle; opening one that is there does not.
        if (rc == ERROR_SUCCESS && reached.found < names.size() && (parent.access & KEY_CREATE_SUB_KEY) == 0)
            rc = ERROR_ACCESS_DENIED;
        if (rc == ERROR_SUCCESS && reached.found < names.size()) {
            rc = state.store.write([&](Transaction& transaction) -> LONG {
                disposition = REG_OPENED_EXISTING_KEY;
                const LONG walked = walk(transaction, parent.id, names, reached);
                if (walked != ERROR_SUCCESS || reached.found == names.size())
                    return walked;
                transaction.touch(reached.key.id);
                for (size_t n = reached.found; n < names.size(); ++n) {
                    const bool last = n + 1 == names.size();
                    reached.key.id = transaction.addKey(reached.key.id, names[n], last && lpClass ? lpClass : "");
                }
                disposition = REG_CREATED_NEW_KEY;
                return ERROR_SUCCESS;
            });
        }
        if (rc != ERROR_SUCCESS)
            return rc;
        *phkResult = state.handles.add(reached.key.id, samDesired);
        if (lpdwDisposition)
            *lpdwDisposition = disposition;
        return ERROR_SUCCESS;
    });
}

COMRT_API LONG WINAPI RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey)
{
    if (const LONG planned = plannedFailure(COMRT_REG_DELETE_KEY); planned != ERROR_SUCCESS)
        return planned;
    if (!lpSubKey)
        return ERROR_INVALID_PARAMETER;
    return registryCall([&](Registry& state) -> LONG {
        OpenKey parent;
        std::vector<std::string_view> names;
        if (const LONG rc = resolveSubKey(state, hKey, lpSubKey, parent, names); rc != ERROR_SUCCESS)
            return rc;
        return state.store.write([&](Transaction& transaction) -> LONG {
            Walk reached;
            if (const LONG rc = walkToExisting(transaction, parent.id, names, reached); rc != ERROR_SUCCESS)
                return rc;
            // The roots cannot go, and a key goes only once its subkeys have.
            if (reached.key.parent == 0 || transaction.hasChildren(reached.key.id))
                return ERROR_ACCESS_DENIED;
            transaction.removeKey(reached.key.id);
            transaction.touch(reached.key.parent);
            return ERROR_SUCCESS;
        });
    });
}

// One transaction: another process sees the whole tree or none of it.
COMRT_API LONG WINAPI RegDeleteTreeA(HKEY hKey, LPCSTR lpSubKey)
{
    if (const LONG planned = plannedFailure(COMRT_REG_DELETE_TREE); planned != ERROR_SUCCESS)
        return planned;
    const bool keepKey = lpSubKey == nullptr || *lpSubKey == '\0';
    return registryCall([&](Registry& state) -> LONG {
        OpenKey parent;
        std::vector<std::string_view> names;
        // Emptying a key reads and changes it through the handle; removing a sub-key opens that.
        const REGSAM needed = keepKey ? KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS : 0;
        if (const LONG rc = lookUpKey(state, hKey, needed, parent); rc != ERROR_SUCCESS)
            return rc;
        if (const LONG rc = splitKeyPath(lpSubKey, names); rc != ERROR_SUCCESS)
            return rc;
        return state.store.write([&](Transaction& transaction) -> LONG {
            Walk reached;
            if (const LONG rc = walkToExisting(transaction, parent.id, names, reached); rc != ERROR_SUCCESS)
                return rc;
            if (keepKey) {
                if (transaction.hasValues(reached.key.id) && (parent.access & KEY_SET_VALUE) == 0)
                    return ERROR_ACCESS_DENIED;
                transaction.removeTree(reached.key.id, true);
                transaction.touch(reached.key.id);
            } else {
                transaction.removeTree(reached.key.id, false);
                transaction.touch(reached.key.parent);
            }
            return ERROR_SUCCESS;
        });
    });
}

COMRT_API LONG WINAPI RegEnumKeyExA(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName, LPDWORD lpReserved,
                                    LPSTR lpClass, LPDWORD lpcchClass, FILETIME* lpftLastWriteTime)
{
    if (const LONG planned = plannedFailure(COMRT_REG_ENUM_KEY); planned != ERROR_SUCCESS)
        return planned;
    if (!lpName || !lpcchName || lpReserved || (lpClass && !lpcchClass))
        return ERROR_INVALID_PARAMETER;
    return registryCall([&](Registry& state) -> LONG {
        OpenKey key;
        if (const LONG rc = lookUpKey(state, hKey, KEY_ENUMERATE_SUB_KEYS, key); rc != ERROR_SUCCESS)
            return rc;
        KeyRecord child;
        const LONG rc = state.store.read([&](Transaction& transaction) -> LONG {
            if (!transaction.key(key.id))
                return ERROR_KEY_DELETED;
            auto found = transaction.childAt(key.id, dwIndex);
            if (!found)
                return ERROR_NO_MORE_ITEMS;
            child = std::move(*found);
            return ERROR_SUCCESS;
        });
        if (rc != ERROR_SUCCESS)
            return rc;
        if (const LONG copied = copyName(child.name, lpName, lpcchName); copied != ERROR_SUCCESS)
            return copied;
        if (lpClass)
            if (const LONG copied = copyName(child.className, lpClass, lpcchClass); copied != ERROR_SUCCESS)
                return copied;
        toFileTime(child.written, lpftLastWriteTime);
        return ERROR_SUCCESS;
    });
}

COMRT_API LONG WINAPI RegQueryInfoKeyA(HKEY hKey, LPSTR lpClass, LPDWORD lpcchClass, LPDWORD lpReserved,
                                       LPDWORD lpcSubKeys, LPDWORD lpcbMaxSubKeyLen, LPDWORD lpcbMaxClassLen,
                                       LPDWORD lpcValues, LPDWORD lpcbMaxValueNameLen, LPDWORD lpcbMaxValueLen,
                                       LPDWORD lpcbSecurityDescriptor, FILETIME* lpftLastWriteTime)
{
    if (const LONG planned = plannedFailure(COMRT_REG_QUERY_INFO_KEY); planned != ERROR_SUCCESS)
        return planned;
    if (lpReserved || (lpClass && !lpcchClass))
        return ERROR_INVALID_PARAMETER;
    return registryCall([&](Registry& state) -> LONG {
        OpenKey key;
        if (const LONG rc = lookUpKey(state, hKey, KEY_QUERY_VALUE, key); rc != ERROR_SUCCESS)
            return rc;
        KeyInfo info;
        const LONG rc = state.store.read([&](Transaction& transaction) -> LONG {
            if (!transaction.key(key.id))
                return ERROR_KEY_DELETED;
            info = transaction.info(key.id);
            return ERROR_SUCCESS;
        });
        if (rc != ERROR_SUCCESS)
            return rc;
        const auto set = [](LPDWORD out, DWORD value) {
            if (out)
                *out = value;
        };
        set(lpcSubKeys, info.subKeys);
        set(lpcbMaxSubKeyLen, info.maxSubKeyLen);
        set(lpcbMaxClassLen, info.maxClassLen);
        set(lpcValues, info.values);
        set(lpcbMaxValueNameLen, info.maxValueNameLen);
        set(lpcbMaxValueLen, info.maxValueLen);
        set(lpcbSecurityDescriptor, 0); // keys carry no security descriptors here
        toFileTime(info.written, lpftLastWriteTime);
        // A class that does not fit is answered with its length, terminator not counted.
        const LONG copied = lpClass ? copyName(info.className, lpClass, lpcchClass) : ERROR_SUCCESS;
        set(lpcchClass, static_cast<DWORD>(info.className.size()));
        return copied;
    });
}

COMRT_API LONG WINAPI RegCloseKey(HKEY hKey)
{
    return registryCall([&](Registry& state) -> LONG {
        return state.handles.remove(hKey) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
    });
}
