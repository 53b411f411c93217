#include "platform/linux/registry/RegistryHandles.h"

namespace comrt::registry {

namespace {

constexpr REGSAM kGenericRead = 0x80000000u;
constexpr REGSAM kGenericWrite = 0x40000000u;
constexpr REGSAM kGenericExecute = 0x20000000u;
constexpr REGSAM kGenericAll = 0x10000000u;
constexpr REGSAM kMaximumAllowed = 0x02000000u;

// Handle values: small multiples of four, like the platform's, far below the predefined roots.
constexpr ULONG_PTR kFirstHandle = 0x40;
constexpr ULONG_PTR kHandleLimit = 0x7FFFFFF0;

constexpr ULONG_PTR kRootBase = 0x80000000u;

} // namespace

REGSAM grantedAccess(REGSAM desired)
{
    REGSAM granted = desired & ~(kGenericRead | kGenericWrite | kGenericExecute | kGenericAll | kMaximumAllowed);
    if (desired & (kGenericRead | kGenericExecute))
        granted |= KEY_READ;
    if (desired & kGenericWrite)
        granted |= KEY_WRITE;
    if (desired & (kGenericAll | kMaximumAllowed))
        granted |= KEY_ALL_ACCESS;
    return granted;
}

HKEY HandleTable::add(KeyId id, REGSAM desired)
{
    do {
        m_next = (m_next < kFirstHandle || m_next >= kHandleLimit) ? kFirstHandle : m_next + 4;
    } while (m_open.count(m_next));
    m_open.emplace(m_next, OpenKey{id, grantedAccess(desired)});
    return reinterpret_cast<HKEY>(m_next);
}

std::optional<OpenKey> HandleTable::find(HKEY key) const
{
    const auto value = reinterpret_cast<ULONG_PTR>(key);
    if (value >= kRootBase && value < kRootBase + kRootCount)
        return OpenKey{kFirstRootId + static_cast<KeyId>(value - kRootBase), KEY_ALL_ACCESS};
    if (auto found = m_open.find(value); found != m_open.end())
        return found->second;
    return std::nullopt;
}

bool HandleTable::remove(HKEY key)
{
    const auto value = reinterpret_cast<ULONG_PTR>(key);
    if (value >= kRootBase && value < kRootBase + kRootCount)
        return true;
    return m_open.erase(value) == 1;
}

} // namespace comrt::registry
