// The runtime's own registry key handle: closes what it holds, and reads and
// writes the few things the runtime's registry users need.
#pragma once

#include "platform/Registry.h"

#include <optional>
#include <string>
#include <vector>

namespace comrt::registry {

class KeyHandle {
public:
    KeyHandle() = default;
    ~KeyHandle() { close(); }
    KeyHandle(const KeyHandle&) = delete;
    KeyHandle& operator=(const KeyHandle&) = delete;

    HKEY get() const { return m_key; }
    void close();

    // Each closes what the handle held first; false when the call fails.
    bool open(HKEY parent, const std::string& path, REGSAM access);
    bool create(HKEY parent, const std::string& path, DWORD* disposition = nullptr);

    // A REG_SZ or REG_EXPAND_SZ value up to its first NUL, unexpanded, and its
    // type; a null name is the default value.
    std::optional<std::string> text(const char* name = nullptr, DWORD* type = nullptr) const;
    bool setText(const char* name, const std::string& text) const;
    // parent\path, created if need be, with `text` as its default value.
    bool createWithText(const std::string& path, const std::string& text) const;
    // Null when the listing fails before its end.
    std::optional<std::vector<std::string>> subkeyNames() const;

private:
    HKEY m_key = nullptr;
};

} // namespace comrt::registry
