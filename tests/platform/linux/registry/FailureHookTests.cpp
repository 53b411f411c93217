// The test hook that makes one registry call fail: which call, after how many,
// with what code, and that the failed call changes nothing.
#include "platform/linux/ComRtExtensions.h"
#include "tests/platform/linux/registry/StoreTestSupport.h"

using namespace storetest;

namespace {

class FailureHookTest : public FreshRegistry {
protected:
    void SetUp() override { ComRtResetRegistryHooks(); }
    void TearDown() override { ComRtResetRegistryHooks(); }
};

TEST_F(FailureHookTest, FailsTheChosenCallOnceAfterTheOnesItLetsThrough)
{
    HKEY root = createKey(HKEY_CURRENT_USER, "Software\\Hooked");
    ComRtFailRegistryCall(COMRT_REG_SET_VALUE, 1, ERROR_WRITE_FAULT);
    EXPECT_EQ(setString(root, "first", "1"), ERROR_SUCCESS);
    EXPECT_EQ(setString(root, "second", "2"), ERROR_WRITE_FAULT);
    EXPECT_EQ(setString(root, "third", "3"), ERROR_SUCCESS);
    EXPECT_EQ(valueNames(root), (std::vector<std::string>{"first", "third"}));
    EXPECT_EQ(ComRtRegistryCallsMade(COMRT_REG_SET_VALUE), 3);

    // A failed creation makes no key and hands out no handle.
    ComRtFailRegistryCall(COMRT_REG_CREATE_KEY, 0, ERROR_ACCESS_DENIED);
    HKEY key = reinterpret_cast<HKEY>(1);
    EXPECT_EQ(RegCreateKeyExA(root, "Child", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_ACCESS_DENIED);
    EXPECT_EQ(key, nullptr);
    EXPECT_TRUE(subKeyNames(root).empty());

    // Other calls are not affected by a plan for one of them.
    ComRtFailRegistryCall(COMRT_REG_DELETE_KEY, 0, ERROR_WRITE_FAULT);
    key = createKey(root, "Child");
    RegCloseKey(key);
    EXPECT_EQ(RegDeleteTreeA(root, "Child"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Hooked"), ERROR_WRITE_FAULT);
    EXPECT_TRUE(testkit::keyExists(HKEY_CURRENT_USER, "Software\\Hooked"));
    RegCloseKey(root);
}

TEST_F(FailureHookTest, ResetAndSuccessCancelAPlan)
{
    HKEY root = createKey(HKEY_CURRENT_USER, "Software\\Hooked");
    ComRtFailRegistryCall(COMRT_REG_SET_VALUE, 0, ERROR_WRITE_FAULT);
    ComRtFailRegistryCall(COMRT_REG_SET_VALUE, 0, ERROR_SUCCESS);
    EXPECT_EQ(setString(root, "value", "1"), ERROR_SUCCESS);

    ComRtFailRegistryCall(COMRT_REG_OPEN_KEY, 0, ERROR_WRITE_FAULT);
    ComRtResetRegistryHooks();
    EXPECT_EQ(ComRtRegistryCallsMade(COMRT_REG_SET_VALUE), 0);
    EXPECT_TRUE(testkit::keyExists(HKEY_CURRENT_USER, "Software\\Hooked"));
    EXPECT_EQ(ComRtRegistryCallsMade(COMRT_REG_OPEN_KEY), 1);
    RegCloseKey(root);
}

} // namespace
