#include "platform/linux/registry/RegistryCalls.h"

#include <pthread.h>

#include <cstring>

namespace comrt::registry {

Registry& registry()
{
    // Never destroyed: modules may still close keys while the process exits.
    static Registry* const state = [] {
        auto* created = new Registry;
        // A fork while another thread is inside a call would leave the child's lock held
        // for ever. The child then drops the inherited connection at its first call.
        pthread_atfork([] { registry().lock.lock(); }, [] { registry().lock.unlock(); },
                       [] { registry().lock.unlock(); });
        return created;
    }();
    return *state;
}

LONG lookUpKey(Registry& state, HKEY key, REGSAM needed, OpenKey& out)
{
    const auto found = state.handles.find(key);
    if (!found)
        return ERROR_INVALID_HANDLE;
    if ((found->access & needed) != needed)
        return ERROR_ACCESS_DENIED;
    out = *found;
    return ERROR_SUCCESS;
}

LONG splitKeyPath(const char* path, std::vector<std::string_view>& names)
{
    names.clear();
    if (!path)
        return ERROR_SUCCESS;
    std::string_view rest(path);
    while (!rest.empty() && rest.back() == '\\')
        rest.remove_suffix(1);
    if (rest.empty())
        return *path ? ERROR_BAD_PATHNAME : ERROR_SUCCESS;
    if (rest.front() == '\\')
        return ERROR_BAD_PATHNAME;
    for (;;) {
        const size_t slash = rest.find('\\');
        const std::string_view name = rest.substr(0, slash);
        // Doubled backslashes inside a path separate one level, as on the platform.
        if (name.empty()) {
            rest.remove_prefix(1);
            continue;
        }
        if (name.size() > kMaxKeyNameLength)
            return ERROR_INVALID_PARAMETER;
        names.push_back(name);
        if (slash == std::string_view::npos)
            return ERROR_SUCCESS;
        rest.remove_prefix(slash + 1);
    }
}

LONG copyName(const std::string& name, LPSTR buffer, LPDWORD count)
{
    if (name.size() >= *count)
        return ERROR_MORE_DATA;
    std::memcpy(buffer, name.c_str(), name.size() + 1);
    *count = static_cast<DWORD>(name.size());
    return ERROR_SUCCESS;
}

void toFileTime(int64_t ticks, FILETIME* out)
{
    if (!out)
        return;
    out->dwLowDateTime = static_cast<DWORD>(static_cast<uint64_t>(ticks) & 0xFFFFFFFFu);
    out->dwHighDateTime = static_cast<DWORD>(static_cast<uint64_t>(ticks) >> 32);
}

} // namespace comrt::registry
