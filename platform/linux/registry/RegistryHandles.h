// The table of open keys: what each HKEY handed out by this process stands for.
#pragma once

#include "platform/linux/registry/RegistryStore.h"

#include <optional>
#include <unordered_map>

namespace comrt::registry {

struct OpenKey {
    KeyId id = 0;
    REGSAM access = 0; // after mapping the generic rights
};

// The rights a handle opened with `desired` carries.
REGSAM grantedAccess(REGSAM desired);

class HandleTable {
public:
    HKEY add(KeyId id, REGSAM desired);
    // Predefined roots always resolve, with every right.
    std::optional<OpenKey> find(HKEY key) const;
    // False when the handle is not open (closing a predefined root is a harmless no-op).
    bool remove(HKEY key);
    void clear() { m_open.clear(); }

private:
    std::unordered_map<ULONG_PTR, OpenKey> m_open;
    ULONG_PTR m_next = 0;
};

} // namespace comrt::registry
