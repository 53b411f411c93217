// Values: default values, buffer conventions, enumeration, data kept byte for byte.
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

TEST_F(ValueTest, NullAndEmptyNamesBothMeanTheDefaultValue)
{
    EXPECT_EQ(readString(key_, nullptr), "error 2");
    ASSERT_EQ(setString(key_, nullptr, "default"), ERROR_SUCCESS);
    EXPECT_EQ(readString(key_, ""), "default");
    EXPECT_EQ(valueNames(key_), std::vector<std::string>{""});
    EXPECT_EQ(RegDeleteValueA(key_, ""), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteValueA(key_, nullptr), ERROR_FILE_NOT_FOUND);
}

TEST_F(ValueTest, NamesIgnoreCaseAndKeepTheCaseTheyWereMadeWith)
{
    ASSERT_EQ(setString(key_, "ThreadingModel", "Both"), ERROR_SUCCESS);
    ASSERT_EQ(setString(key_, "THREADINGMODEL", "Apartment"), ERROR_SUCCESS);
    EXPECT_EQ(readString(key_, "threadingmodel"), "Apartment");
    EXPECT_EQ(valueNames(key_), std::vector<std::string>{"ThreadingModel"});
}

TEST_F(ValueTest, QueryReportsSizesAndAsksForMoreRoomWhenNeeded)
{
    ASSERT_EQ(setString(key_, "Text", "twelve chars"), ERROR_SUCCESS);
    DWORD type = 0, size = 0;
    ASSERT_EQ(RegQueryValueExA(key_, "Text", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, DWORD(REG_SZ));
    EXPECT_EQ(size, 13u);

    BYTE buffer[32];
    std::memset(buffer, '#', sizeof buffer);
    size = 12;
    type = 0;
    EXPECT_EQ(RegQueryValueExA(key_, "Text", nullptr, &type, buffer, &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 13u);
    EXPECT_EQ(type, DWORD(REG_SZ));
    EXPECT_EQ(buffer[0], '#');

    DWORD reserved = 0;
    EXPECT_EQ(RegQueryValueExA(key_, "Text", nullptr, nullptr, buffer, nullptr), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegQueryValueExA(key_, "Text", &reserved, nullptr, nullptr, &size), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegQueryValueExA(key_, "Absent", nullptr, nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND);
}

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

TEST_F(ValueTest, ValuesEnumerateInCreationOrderWithNameAndDataSizes)
{
    for (const char* name : {"zulu", "Alpha", "mike"})
        ASSERT_EQ(setString(key_, name, name), ERROR_SUCCESS);
    ASSERT_EQ(setString(key_, "ZULU", "overwritten in place"), ERROR_SUCCESS);
    EXPECT_EQ(valueNames(key_), (std::vector<std::string>{"zulu", "Alpha", "mike"}));

    char name[16];
    BYTE data[32];
    DWORD nameSize = 4, dataSize = sizeof data, type = 0;
    EXPECT_EQ(RegEnumValueA(key_, 0, name, &nameSize, nullptr, &type, data, &dataSize), ERROR_MORE_DATA);
    EXPECT_EQ(nameSize, 5u);
    nameSize = sizeof name;
    dataSize = 4;
    EXPECT_EQ(RegEnumValueA(key_, 0, name, &nameSize, nullptr, &type, data, &dataSize), ERROR_MORE_DATA);
    EXPECT_EQ(dataSize, 21u);
    nameSize = sizeof name;
    dataSize = sizeof data;
    ASSERT_EQ(RegEnumValueA(key_, 0, name, &nameSize, nullptr, &type, data, &dataSize), ERROR_SUCCESS);
    EXPECT_EQ(std::string(name, nameSize), "zulu");
    EXPECT_STREQ(reinterpret_cast<char*>(data), "overwritten in place");
    EXPECT_EQ(RegEnumValueA(key_, 3, name, &nameSize, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);
    EXPECT_EQ(RegEnumValueA(key_, 0, nullptr, &nameSize, nullptr, nullptr, nullptr, nullptr), ERROR_INVALID_PARAMETER);
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

TEST_F(ValueTest, BadValueArgumentsAreRefused)
{
    EXPECT_EQ(RegSetValueExA(key_, "v", 0, REG_BINARY, nullptr, 4), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(setString(key_, std::string(16384, 'v').c_str(), "x"), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(setString(key_, std::string(16383, 'v').c_str(), "x"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteValueA(key_, "absent"), ERROR_FILE_NOT_FOUND);
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
