// What the exported Reg* functions share: the process's registry state, the lock that
// serialises them, and the checks and copies every call makes.
#pragma once

#include "platform/linux/registry/RegistryHandles.h"
#include "platform/linux/registry/RegistryStore.h"

#include <mutex>
#include <new>
#include <string>
#include <string_view>
#include <vector>

namespace comrt::registry {

// The platform's limits on name lengths, in characters.
constexpr size_t kMaxKeyNameLength = 255;
constexpr size_t kMaxValueNameLength = 16383;

struct Registry {
    std::mutex lock;
    HandleTable handles;
    Store store{[this] { handles.clear(); }};
};

Registry& registry();

// Runs the body of an exported call under the registry lock; no exception leaves it.
template <class Body>
LONG registryCall(Body&& body) noexcept
{
    try {
        Registry& state = registry();
        std::lock_guard<std::mutex> guard(state.lock);
        state.store.followPath();
        return body(state);
    } catch (const std::bad_alloc&) {
        return ERROR_NOT_ENOUGH_MEMORY;
    } catch (...) {
        return ERROR_REGISTRY_IO_FAILED;
    }
}

// The key behind a handle, if the handle carries the rights asked for:
// ERROR_INVALID_HANDLE or ERROR_ACCESS_DENIED otherwise.
LONG lookUpKey(Registry& state, HKEY key, REGSAM needed, OpenKey& out);

// Splits a sub-key path at its backslashes. Trailing backslashes are ignored; a leading or
// doubled one makes a malformed path (ERROR_BAD_PATHNAME), a name longer than the
// platform allows ERROR_INVALID_PARAMETER. Null and "" give no names.
LONG splitKeyPath(const char* path, std::vector<std::string_view>& names);

// A value name as stored: null and "" both stand for the key's default value.
inline std::string_view valueName(const char* name)
{
    return name ? std::string_view(name) : std::string_view();
}

// Copies a name and its NUL into a caller's buffer of *count characters; *count becomes the
// length without the NUL. When it does not fit: ERROR_MORE_DATA, nothing is copied and
// *count is left as it was, as the platform's enumerations do.
LONG copyName(const std::string& name, LPSTR buffer, LPDWORD count);

void toFileTime(int64_t ticks, FILETIME* out);

} // namespace comrt::registry
