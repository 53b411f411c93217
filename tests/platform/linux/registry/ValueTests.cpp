// Values as the store keeps them: strings kept at their given size, data byte for byte
// through the file, threads at once. The documented calls are tested in tests/platform/api.
#include "tests/platform/linux/registry/StoreTestSupport.h"

#include "platform/linux/ComRtExtensions.h"

#include <atomic>
#include <cstring>
#include <thread>

using namespace storetest;

namespace {

class ValueTest : public FreshRegistry {
protected:
    void SetUp() override
    {
        FreshRegistry::SetUp();
        key_ = createKey(HKEY_CURRENT_USER, "Software\\Values");
    }
    void TearDown() override
    {
        RegCloseKey(key_);
        FreshRegistry::TearDown();
    }
    HKEY key_ = nullptr;
};

TEST_F(ValueTest, AStringStoredWithoutItsNulReadsBackTerminatedOnlyWhereThereIsRoom)
{
    ASSERT_EQ(RegSetValueExA(key_, "Bare", 0, REG_SZ, reinterpret_cast<const BYTE*>("abc"), 3), ERROR_SUCCESS);
    BYTE buffer[8];
    std::memset(buffer, '#', sizeof buffer);
    DWORD size = sizeof buffer;
    ASSERT_EQ(RegQueryValueExA(key_, "Bare", nullptr, nullptr, buffer, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 3u);
    EXPECT_EQ(buffer[3], 0);

    std::memset(buffer, '#', sizeof buffer);
    size = 3;
    ASSERT_EQ(RegQueryValueExA(key_, "Bare", nullptr, nullptr, buffer, &size), ERROR_SUCCESS);
    EXPECT_EQ(buffer[3], '#');
}

TEST_F(ValueTest, DataOfEveryKindAndSizeComesBackByteForByte)
{
    std::vector<BYTE> large(1 << 20);
    for (size_t i = 0; i < large.size(); ++i)
        large[i] = static_cast<BYTE>(i * 7);
    const BYTE withNuls[] = {'a', 0, 'b', 0, 0};
    const DWORD number = 0xDEADBEEF;
    struct Case {
        const char* name;
        DWORD type;
        const BYTE* data;
        DWORD size;
    } cases[] = {
        {"Empty", REG_BINARY, nullptr, 0},
        {"Multi", REG_MULTI_SZ, withNuls, sizeof withNuls},
        {"Number", REG_DWORD, reinterpret_cast<const BYTE*>(&number), 4},
        {"Large", REG_BINARY, large.data(), static_cast<DWORD>(large.size())},
        {"Odd type", 0x12345, withNuls, 3},
    };
    for (const Case& each : cases)
        ASSERT_EQ(RegSetValueExA(key_, each.name, 0, each.type, each.data, each.size), ERROR_SUCCESS) << each.name;
    ComRtCloseRegistryStore(); // read back from the file, not from a cache

    for (const Case& each : cases) {
        std::vector<BYTE> read(each.size + 1);
        DWORD size = static_cast<DWORD>(read.size()), type = 0;
        ASSERT_EQ(RegQueryValueExA(key_, each.name, nullptr, &type, read.data(), &size), ERROR_SUCCESS);
        EXPECT_EQ(type, each.type) << each.name;
        ASSERT_EQ(size, each.size) << each.name;
        EXPECT_TRUE(std::equal(read.begin(), read.begin() + size, each.data)) << each.name;
    }
}

TEST_F(ValueTest, ThreadsOfOneProcessWriteAndReadAtTheSameTime)
{
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&failures, t, shared = key_] {
            HKEY own = nullptr;
            if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Values", 0, KEY_ALL_ACCESS, &own) != ERROR_SUCCESS)
                return void(++failures);
            for (int i = 0; i < 50; ++i) {
                const std::string name = "T" + std::to_string(t) + "_" + std::to_string(i);
                if (setString(i % 2 ? own : shared, name.c_str(), name) != ERROR_SUCCESS ||
                    readString(i % 2 ? shared : own, name.c_str()) != name)
                    ++failures;
                if (i % 10 == 0)
                    valueNames(own);
            }
            RegCloseKey(own);
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(failures, 0);
    EXPECT_EQ(valueNames(key_).size(), 200u);
}

} // namespace
