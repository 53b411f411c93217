// A scratch registry for COM tests, and hand-made class registrations in it.
#pragma once

#include "platform/Registry.h"
#include "tests/platform/TestFiles.h"

#include <cstdlib>
#include <string>

class ScratchRegistry {
public:
    ScratchRegistry() { setenv("COMRT_REGISTRY", directory_.file("registry.db").c_str(), 1); }
    ~ScratchRegistry() { unsetenv("COMRT_REGISTRY"); }

    // HKEY_CLASSES_ROOT\<subKey> with a default string value.
    static bool setDefault(const std::string& subKey, const std::string& value)
    {
        HKEY key = nullptr;
        if (RegCreateKeyExA(HKEY_CLASSES_ROOT, subKey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE,
                            nullptr, &key, nullptr) != ERROR_SUCCESS)
            return false;
        LONG rc = RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                 static_cast<DWORD>(value.size() + 1));
        RegCloseKey(key);
        return rc == ERROR_SUCCESS;
    }

    const ScratchDirectory& directory() const { return directory_; }

private:
    ScratchDirectory directory_;
};
