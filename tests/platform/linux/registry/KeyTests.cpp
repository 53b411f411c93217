// Keys: paths, case, dispositions, deletion of keys and trees, enumeration, handles and rights.
#include "tests/platform/linux/registry/StoreTestSupport.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstring>

using namespace storetest;

namespace {

using KeyTest = FreshRegistry;

LONG openKey(HKEY parent, const char* path, HKEY* key, REGSAM access = KEY_ALL_ACCESS)
{
    return RegOpenKeyExA(parent, path, 0, access, key);
}

TEST_F(KeyTest, CreateMakesMissingKeysOnTheWayAndReportsWhetherItCreated)
{
    HKEY key = nullptr;
    DWORD disposition = 0;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Maker\\Product", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &key, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, DWORD(REG_CREATED_NEW_KEY));
    RegCloseKey(key);

    HKEY middle = nullptr;
    ASSERT_EQ(openKey(HKEY_CURRENT_USER, "Software\\Maker", &middle), ERROR_SUCCESS);
    EXPECT_EQ(subKeyNames(middle), std::vector<std::string>{"Product"});

    // Another spelling of the same path opens it; the names keep the case they were made with.
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "SOFTWARE\\maker\\PRODUCT\\", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &key, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, DWORD(REG_OPENED_EXISTING_KEY));
    EXPECT_EQ(subKeyNames(middle), std::vector<std::string>{"Product"});
    RegCloseKey(key);

    // Null and empty sub-keys stand for the key itself.
    HKEY same = nullptr, again = nullptr;
    ASSERT_EQ(openKey(middle, nullptr, &same), ERROR_SUCCESS);
    ASSERT_EQ(RegCreateKeyExA(middle, "", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &again, &disposition), ERROR_SUCCESS);
    EXPECT_EQ(disposition, DWORD(REG_OPENED_EXISTING_KEY));
    ASSERT_EQ(setString(same, "Shared", "yes"), ERROR_SUCCESS);
    EXPECT_EQ(readString(again, "shared"), "yes");
    for (HKEY each : {middle, same, again})
        EXPECT_EQ(RegCloseKey(each), ERROR_SUCCESS);
}

TEST_F(KeyTest, MissingKeysBadPathsAndBadHandlesGiveTheirCodes)
{
    HKEY key = reinterpret_cast<HKEY>(1);
    EXPECT_EQ(openKey(HKEY_CURRENT_USER, "Software\\Absent", &key), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(key, nullptr);
    EXPECT_EQ(openKey(HKEY_CURRENT_USER, "\\Software", &key), ERROR_BAD_PATHNAME);
    EXPECT_EQ(openKey(HKEY_CURRENT_USER, "A\\\\B", &key), ERROR_BAD_PATHNAME);
    EXPECT_EQ(openKey(HKEY_CURRENT_USER, std::string(256, 'n').c_str(), &key), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "x", 0, KEY_READ, nullptr), ERROR_INVALID_PARAMETER);

    HKEY longName = createKey(HKEY_CURRENT_USER, std::string(255, 'n').c_str());
    EXPECT_EQ(RegCloseKey(longName), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(longName), ERROR_INVALID_HANDLE);
    EXPECT_EQ(openKey(longName, "x", &key), ERROR_INVALID_HANDLE);
    EXPECT_EQ(openKey(reinterpret_cast<HKEY>(0x80000006u), nullptr, &key), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCloseKey(nullptr), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCloseKey(HKEY_LOCAL_MACHINE), ERROR_SUCCESS); // roots always stay
}

TEST_F(KeyTest, EachRootIsItsOwnTree)
{
    RegCloseKey(createKey(HKEY_CURRENT_USER, "Software\\Only"));
    HKEY key = nullptr;
    for (HKEY root : {HKEY_CLASSES_ROOT, HKEY_LOCAL_MACHINE, HKEY_USERS, HKEY_CURRENT_CONFIG})
        EXPECT_EQ(openKey(root, "Software\\Only", &key), ERROR_FILE_NOT_FOUND);
}

TEST_F(KeyTest, DeleteRefusesKeysWithSubkeysAndRoots)
{
    RegCloseKey(createKey(HKEY_CURRENT_USER, "Tree\\Leaf"));
    EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, "Tree"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, "Tree\\Absent"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, "Absent\\Leaf"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, nullptr), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, ""), ERROR_ACCESS_DENIED);

    EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, "TREE\\leaf"), ERROR_SUCCESS);
    // An empty sub-key deletes the key the handle stands for.
    HKEY tree = createKey(HKEY_CURRENT_USER, "Tree");
    EXPECT_EQ(RegDeleteKeyA(tree, ""), ERROR_SUCCESS);
    RegCloseKey(tree);
    HKEY key = nullptr;
    EXPECT_EQ(openKey(HKEY_CURRENT_USER, "Tree", &key), ERROR_FILE_NOT_FOUND);
}

// Everything a handle to a deleted key can be asked answers ERROR_KEY_DELETED.
void expectDeleted(HKEY key)
{
    HKEY sub = nullptr;
    char name[32];
    DWORD size = sizeof name;
    DWORD count = 0;
    EXPECT_EQ(openKey(key, "", &sub), ERROR_KEY_DELETED);
    EXPECT_EQ(RegCreateKeyExA(key, "Sub", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &sub, nullptr), ERROR_KEY_DELETED);
    EXPECT_EQ(setString(key, "v", "x"), ERROR_KEY_DELETED);
    EXPECT_EQ(RegQueryValueExA(key, "v", nullptr, nullptr, nullptr, &count), ERROR_KEY_DELETED);
    EXPECT_EQ(RegDeleteValueA(key, "v"), ERROR_KEY_DELETED);
    EXPECT_EQ(RegEnumKeyExA(key, 0, name, &size, nullptr, nullptr, nullptr, nullptr), ERROR_KEY_DELETED);
    EXPECT_EQ(RegEnumValueA(key, 0, name, &size, nullptr, nullptr, nullptr, nullptr), ERROR_KEY_DELETED);
    EXPECT_EQ(RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr, nullptr, nullptr,
                               nullptr, nullptr),
              ERROR_KEY_DELETED);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
}

TEST_F(KeyTest, HandlesToKeysDeletedMeanwhileAnswerKeyDeleted)
{
    HKEY doomed = createKey(HKEY_CURRENT_USER, "Doomed");
    ASSERT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, "Doomed"), ERROR_SUCCESS);
    // A new key of the same name is another key.
    HKEY successor = createKey(HKEY_CURRENT_USER, "Doomed");
    expectDeleted(doomed);
    RegCloseKey(successor);

    // Deleted by another process.
    HKEY watched = createKey(HKEY_CURRENT_USER, "Watched");
    const pid_t child = fork();
    if (child == 0)
        _exit(RegDeleteKeyA(HKEY_CURRENT_USER, "Doomed") == ERROR_SUCCESS &&
                      RegDeleteKeyA(HKEY_CURRENT_USER, "Watched") == ERROR_SUCCESS
                  ? 0
                  : 1);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    expectDeleted(watched);
}

TEST_F(KeyTest, DeleteTreeRemovesAKeyWithEverythingBeneathIt)
{
    HKEY leaf = createKey(HKEY_CURRENT_USER, "Tree\\Branch\\Leaf");
    ASSERT_EQ(setString(leaf, "deep", "1"), ERROR_SUCCESS);
    HKEY tree = createKey(HKEY_CURRENT_USER, "Tree");
    ASSERT_EQ(setString(tree, nullptr, "top"), ERROR_SUCCESS);
    RegCloseKey(createKey(tree, "Other"));
    RegCloseKey(createKey(HKEY_CURRENT_USER, "TreeSibling"));

    // The path compares without case; a handle open on a key inside the tree does not stop it.
    EXPECT_EQ(RegDeleteTreeA(HKEY_CURRENT_USER, "tREE"), ERROR_SUCCESS);
    HKEY key = nullptr;
    EXPECT_EQ(openKey(HKEY_CURRENT_USER, "Tree", &key), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(subKeyNames(HKEY_CURRENT_USER), std::vector<std::string>{"TreeSibling"});
    expectDeleted(leaf);
    expectDeleted(tree);

    EXPECT_EQ(RegDeleteTreeA(HKEY_CURRENT_USER, "Tree"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteTreeA(HKEY_CURRENT_USER, "Absent\\Leaf"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteTreeA(HKEY_CURRENT_USER, "\\TreeSibling"), ERROR_BAD_PATHNAME);
    EXPECT_EQ(RegDeleteTreeA(reinterpret_cast<HKEY>(0x80000006u), "TreeSibling"), ERROR_INVALID_HANDLE);

    // Seen from another process, the tree is there whole or not at all.
    RegCloseKey(createKey(HKEY_CURRENT_USER, "Tree\\Branch"));
    const pid_t child = fork();
    if (child == 0)
        _exit(RegDeleteTreeA(HKEY_CURRENT_USER, "Tree") == ERROR_SUCCESS ? 0 : 1);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(openKey(HKEY_CURRENT_USER, "Tree", &key), ERROR_FILE_NOT_FOUND);
}

TEST_F(KeyTest, DeleteTreeWithoutASubKeyEmptiesTheKeyAndKeepsIt)
{
    HKEY holder = createKey(HKEY_CURRENT_USER, "Holder");
    RegCloseKey(createKey(holder, "A\\B"));
    ASSERT_EQ(setString(holder, "v", "x"), ERROR_SUCCESS);
    ASSERT_EQ(setString(holder, nullptr, "default"), ERROR_SUCCESS);

    // Without the right to delete its values nothing is removed.
    HKEY reader = nullptr;
    ASSERT_EQ(openKey(HKEY_CURRENT_USER, "Holder", &reader, KEY_READ), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteTreeA(reader, nullptr), ERROR_ACCESS_DENIED);
    EXPECT_EQ(subKeyNames(holder), std::vector<std::string>{"A"});
    RegCloseKey(reader);

    EXPECT_EQ(RegDeleteTreeA(holder, nullptr), ERROR_SUCCESS);
    EXPECT_TRUE(subKeyNames(holder).empty());
    EXPECT_TRUE(valueNames(holder).empty());
    // The handle still stands for a live key, which "" empties again.
    ASSERT_EQ(setString(holder, "again", "y"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteTreeA(holder, ""), ERROR_SUCCESS);
    EXPECT_TRUE(valueNames(holder).empty());
    RegCloseKey(holder);
    HKEY key = nullptr;
    ASSERT_EQ(openKey(HKEY_CURRENT_USER, "Holder", &key), ERROR_SUCCESS);
    RegCloseKey(key);
}

TEST_F(KeyTest, SubkeysEnumerateInAStableOrderWithSizesReported)
{
    HKEY parent = createKey(HKEY_CURRENT_USER, "Parent");
    for (const char* name : {"charlie", "Alpha", "bravo"})
        RegCloseKey(createKey(parent, name));
    EXPECT_EQ(subKeyNames(parent), (std::vector<std::string>{"Alpha", "bravo", "charlie"}));

    char name[8];
    std::memset(name, '#', sizeof name);
    DWORD size = 7; // "charlie" needs 8 with its NUL
    EXPECT_EQ(RegEnumKeyExA(parent, 2, name, &size, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA);
    EXPECT_EQ(size, 8u);
    EXPECT_EQ(name[0], '#');
    size = 8;
    FILETIME written{};
    ASSERT_EQ(RegEnumKeyExA(parent, 2, name, &size, nullptr, nullptr, nullptr, &written), ERROR_SUCCESS);
    EXPECT_STREQ(name, "charlie");
    EXPECT_EQ(size, 7u);
    EXPECT_NE(written.dwHighDateTime, 0u);
    EXPECT_EQ(RegEnumKeyExA(parent, 3, name, &size, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);

    // Deleting at index 0 until nothing is left empties the key.
    for (size = sizeof name; RegEnumKeyExA(parent, 0, name, &size, nullptr, nullptr, nullptr, nullptr) == 0;
         size = sizeof name)
        ASSERT_EQ(RegDeleteKeyA(parent, name), ERROR_SUCCESS);
    EXPECT_TRUE(subKeyNames(parent).empty());
    RegCloseKey(parent);
}

TEST_F(KeyTest, QueryInfoCountsSubkeysAndValuesAndLongestNames)
{
    HKEY key = nullptr;
    char keyClass[] = "SomeClass";
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Info", 0, keyClass, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr), 0);
    RegCloseKey(createKey(key, "Sub"));
    RegCloseKey(createKey(key, "LongerSub"));
    ASSERT_EQ(setString(key, "Name", "12345678"), ERROR_SUCCESS);
    ASSERT_EQ(setString(key, "LongestName", "1"), ERROR_SUCCESS);

    DWORD subKeys = 0, maxSubKey = 0, values = 0, maxValueName = 0, maxValue = 0;
    char className[16];
    DWORD classSize = 4;
    EXPECT_EQ(RegQueryInfoKeyA(key, className, &classSize, nullptr, &subKeys, &maxSubKey, nullptr, &values,
                               &maxValueName, &maxValue, nullptr, nullptr),
              ERROR_MORE_DATA);
    EXPECT_EQ(classSize, 10u);
    classSize = sizeof className;
    ASSERT_EQ(RegQueryInfoKeyA(key, className, &classSize, nullptr, &subKeys, &maxSubKey, nullptr, &values,
                               &maxValueName, &maxValue, nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_STREQ(className, "SomeClass");
    EXPECT_EQ(subKeys, 2u);
    EXPECT_EQ(maxSubKey, 9u);
    EXPECT_EQ(values, 2u);
    EXPECT_EQ(maxValueName, 11u);
    EXPECT_EQ(maxValue, 9u);
    RegCloseKey(key);
}

TEST_F(KeyTest, AHandleCarriesOnlyTheRightsItWasOpenedWith)
{
    RegCloseKey(createKey(HKEY_CURRENT_USER, "Rights\\Sub"));
    HKEY reader = nullptr, writer = nullptr;
    ASSERT_EQ(openKey(HKEY_CURRENT_USER, "Rights", &reader, KEY_READ), ERROR_SUCCESS);
    ASSERT_EQ(openKey(HKEY_CURRENT_USER, "Rights", &writer, KEY_SET_VALUE), ERROR_SUCCESS);
    EXPECT_EQ(setString(reader, "v", "x"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(setString(writer, "v", "x"), ERROR_SUCCESS);
    EXPECT_EQ(readString(reader, "v"), "x");
    EXPECT_EQ(readString(writer, "v"), "error 5");
    EXPECT_EQ(subKeyNames(reader), std::vector<std::string>{"Sub"});
    EXPECT_TRUE(subKeyNames(writer).empty());
    RegCloseKey(reader);
    RegCloseKey(writer);
}

} // namespace
