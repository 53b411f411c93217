// Writes values one registry call at a time and prints the number of each call that has
// returned success, so that whoever kills it knows what was reported written.
// Usage: registrystore_writer FIRST COUNT
#include "platform/Registry.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

// The data written for call n; the checker computes the same.
static std::vector<BYTE> payload(unsigned long n)
{
    std::vector<BYTE> data(64 + n % 512);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<BYTE>(n * 31 + i);
    return data;
}

int main(int argc, char** argv)
{
    if (argc != 3)
        return 2;
    const unsigned long first = std::strtoul(argv[1], nullptr, 10);
    const unsigned long count = std::strtoul(argv[2], nullptr, 10);
    for (unsigned long n = first; n < first + count; ++n) {
        // Keys come and go with the values: every 50 calls write under a new key.
        const std::string keyPath = "Software\\Stream\\Group" + std::to_string(n / 50);
        HKEY key = nullptr;
        LONG rc = RegCreateKeyExA(HKEY_CURRENT_USER, keyPath.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr);
        if (rc == ERROR_SUCCESS) {
            const std::vector<BYTE> data = payload(n);
            const std::string name = "Value" + std::to_string(n);
            rc = RegSetValueExA(key, name.c_str(), 0, REG_BINARY, data.data(), static_cast<DWORD>(data.size()));
            RegCloseKey(key);
        }
        if (rc != ERROR_SUCCESS) {
            std::fprintf(stderr, "write %lu failed with %d\n", n, rc);
            return 1;
        }
        const std::string line = std::to_string(n) + "\n";
        if (write(1, line.data(), line.size()) != static_cast<ssize_t>(line.size()))
            return 1;
    }
    return 0;
}
