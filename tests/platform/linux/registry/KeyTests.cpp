// Keys as the store keeps them: each root its own tree, keys deleted by another process,
// trees removed in one transaction. The documented calls are tested in tests/platform/api.
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

TEST_F(KeyTest, EachRootIsItsOwnTree)
{
    RegCloseKey(createKey(HKEY_CURRENT_USER, "Software\\Only"));
    HKEY key = nullptr;
    for (HKEY root : {HKEY_CLASSES_ROOT, HKEY_LOCAL_MACHINE, HKEY_USERS, HKEY_CURRENT_CONFIG})
        EXPECT_EQ(openKey(root, "Software\\Only", &key), ERROR_FILE_NOT_FOUND);
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

} // namespace
