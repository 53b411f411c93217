// The reg tool: its output, the data it stores, its questions and its failures.
#include "tests/support/ChildProcess.h"
#include "tests/support/RegistryReads.h"
#include "tests/support/ScratchRegistry.h"

#include <algorithm>
#include <cstring>
#include <optional>

using testkit::ProcessResult;
using testkit::runProcess;

namespace {

class RegToolTest : public testkit::ScratchRegistryTest {
protected:
    static ProcessResult reg(std::vector<std::string> args, const std::string& input = {})
    {
        args.insert(args.begin(), REG_TOOL);
        return runProcess(args, input);
    }
    static void add(std::vector<std::string> args)
    {
        args.insert(args.begin(), "add");
        const ProcessResult result = reg(args);
        ASSERT_EQ(result.exitCode, 0) << result.err;
        ASSERT_EQ(result.out, "The operation completed successfully.\n");
    }
    static std::vector<BYTE> stored(const char* key, const char* name)
    {
        std::optional<testkit::RegistryValue> value = testkit::readValue(HKEY_CURRENT_USER, key, name);
        EXPECT_TRUE(value) << key << " " << name;
        return value ? value->data : std::vector<BYTE>();
    }
    static bool keyExists(const char* key) { return testkit::keyExists(HKEY_CURRENT_USER, key); }
};

TEST_F(RegToolTest, QueryPrintsValuesThenSubkeysAndRecursesWithS)
{
    add({"HKCU\\Software\\Tool", "/ve", "/d", "default text"});
    add({"HKCU\\Software\\Tool", "/v", "Text", "/d", "two words"});
    add({"HKCU\\Software\\Tool", "/v", "Path", "/t", "REG_EXPAND_SZ", "/d", "%HOME%\\bin"});
    add({"HKCU\\Software\\Tool", "/v", "List", "/t", "REG_MULTI_SZ", "/d", "one\\0two"});
    add({"HKCU\\Software\\Tool", "/v", "Count", "/t", "REG_DWORD", "/d", "42"});
    add({"HKCU\\Software\\Tool", "/v", "Blob", "/t", "REG_BINARY", "/d", "00ff10"});
    add({"HKEY_CURRENT_USER\\Software\\Tool\\Child", "/v", "Inner", "/t", "reg_dword", "/d", "0x10"});
    add({"hkcu\\Software\\Tool\\Empty"});

    const std::string values = "HKEY_CURRENT_USER\\Software\\Tool\n"
                               "    (Default)    REG_SZ    default text\n"
                               "    Text    REG_SZ    two words\n"
                               "    Path    REG_EXPAND_SZ    %HOME%\\bin\n"
                               "    List    REG_MULTI_SZ    one\\0two\n"
                               "    Count    REG_DWORD    0x2a\n"
                               "    Blob    REG_BINARY    00FF10\n\n";
    ProcessResult result = reg({"query", "HKCU\\Software\\Tool"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out, "\n" + values +
                  "HKEY_CURRENT_USER\\Software\\Tool\\Child\n"
                  "HKEY_CURRENT_USER\\Software\\Tool\\Empty\n\n");
    result = reg({"query", "HKCU\\Software\\Tool", "/s"});
    EXPECT_EQ(result.out, "\n" + values +
                  "HKEY_CURRENT_USER\\Software\\Tool\\Child\n"
                  "    Inner    REG_DWORD    0x10\n\n"
                  "HKEY_CURRENT_USER\\Software\\Tool\\Empty\n\n");
    result = reg({"query", "HKCU\\Software\\Tool", "/v", "Count"});
    EXPECT_EQ(result.out, "\nHKEY_CURRENT_USER\\Software\\Tool\n    Count    REG_DWORD    0x2a\n\n");
    result = reg({"query", "HKCU\\Software\\Tool", "/ve"});
    EXPECT_EQ(result.out, "\nHKEY_CURRENT_USER\\Software\\Tool\n    (Default)    REG_SZ    default text\n\n");

    // What reached the registry, byte for byte.
    EXPECT_EQ(stored("Software\\Tool", "List"), (std::vector<BYTE>{'o', 'n', 'e', 0, 't', 'w', 'o', 0, 0}));
    EXPECT_EQ(stored("Software\\Tool", "Count"), (std::vector<BYTE>{42, 0, 0, 0}));
    EXPECT_EQ(stored("Software\\Tool", "Blob"), (std::vector<BYTE>{0x00, 0xFF, 0x10}));
    EXPECT_EQ(stored("Software\\Tool", ""), (std::vector<BYTE>{'d', 'e', 'f', 'a', 'u', 'l', 't', ' ', 't', 'e', 'x',
                                                               't', 0}));
}

TEST_F(RegToolTest, FailuresExitWithOneErrorLineAndWriteNothing)
{
    add({"HKCU\\Software\\Present", "/v", "Here", "/d", "x"});
    const std::vector<std::vector<std::string>> failing = {
        {},
        {"query"},
        {"query", "HKCU\\Software\\Absent"},
        {"query", "HKCU\\Software\\Present", "/v", "Absent"},
        {"query", "HKXX\\Software"},
        {"add", "HKCU\\Software\\Bad", "/t", "REG_DWORD", "/d", "4294967296"},
        {"add", "HKCU\\Software\\Bad", "/t", "REG_DWORD", "/d", "12abc"},
        {"add", "HKCU\\Software\\Bad", "/t", "REG_BINARY", "/d", "abc"},
        {"add", "HKCU\\Software\\Bad", "/t", "REG_BINARY", "/d", "zz"},
        {"add", "HKCU\\Software\\Bad", "/t", "REG_MULTI_SZ", "/d", "a\\0\\0b"},
        {"add", "HKCU\\Software\\Bad", "/t", "REG_COLOUR", "/d", "red"},
        {"add", "HKCU\\Software\\Bad", "/v", "a", "/ve"},
        {"add", "HKCU\\Software\\Bad", "/v"},
        {"add", "HKCU\\Software\\Bad", "/s"},
        {"delete", "HKCU", "/f"},
        {"delete", "HKCU\\Software\\Absent", "/f"},
        {"delete", "HKCU\\Software\\Present", "/v", "Absent", "/f"},
        {"remove", "HKCU\\Software\\Bad"},
    };
    for (const auto& args : failing) {
        const ProcessResult result = reg(args);
        std::string shown;
        for (const std::string& arg : args)
            shown += arg + " ";
        EXPECT_EQ(result.exitCode, 1) << shown;
        EXPECT_EQ(result.err.rfind("ERROR: ", 0), 0u) << shown << result.err;
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << shown << result.err;
    }
    EXPECT_FALSE(keyExists("Software\\Bad"));
    EXPECT_TRUE(keyExists("Software\\Present"));
}

TEST_F(RegToolTest, AddAsksBeforeOverwritingAndNoAnswerCancels)
{
    add({"HKCU\\Software\\Ask", "/v", "Value", "/d", "first"});
    const std::vector<std::string> overwrite = {"add", "HKCU\\Software\\Ask", "/v", "Value", "/d", "second"};

    ProcessResult result = reg(overwrite); // end of input at once
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.out.find("Value Value exists, overwrite (Yes/No)? "), std::string::npos) << result.out;
    EXPECT_EQ(reg(overwrite, "no\n").exitCode, 1);
    EXPECT_EQ(stored("Software\\Ask", "Value"), (std::vector<BYTE>{'f', 'i', 'r', 's', 't', 0}));

    result = reg(overwrite, "perhaps\nYES\n"); // asked again after an answer it does not know
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(std::count(result.out.begin(), result.out.end(), '?'), 2);
    EXPECT_EQ(stored("Software\\Ask", "Value"), (std::vector<BYTE>{'s', 'e', 'c', 'o', 'n', 'd', 0}));

    add({"HKCU\\Software\\Ask", "/v", "Value", "/d", "third", "/f"}); // no question with /f
}

TEST_F(RegToolTest, DeleteRemovesValuesOrWholeTreesAfterAsking)
{
    add({"HKCU\\Software\\Doomed", "/ve", "/d", "d"});
    add({"HKCU\\Software\\Doomed", "/v", "One", "/d", "1"});
    add({"HKCU\\Software\\Doomed", "/v", "Two", "/d", "2"});
    add({"HKCU\\Software\\Doomed\\A\\Deep\\Deeper", "/v", "x", "/d", "y"});
    add({"HKCU\\Software\\Doomed\\B"});

    EXPECT_EQ(reg({"delete", "HKCU\\Software\\Doomed", "/v", "One"}, "y\n").exitCode, 0);
    EXPECT_EQ(reg({"delete", "HKCU\\Software\\Doomed", "/ve", "/f"}).exitCode, 0);
    EXPECT_EQ(reg({"query", "HKCU\\Software\\Doomed", "/v", "One"}).exitCode, 1);
    EXPECT_EQ(reg({"query", "HKCU\\Software\\Doomed", "/v", "Two"}).exitCode, 0);
    EXPECT_EQ(reg({"delete", "HKCU\\Software\\Doomed", "/va", "/f"}).exitCode, 0);
    EXPECT_EQ(reg({"query", "HKCU\\Software\\Doomed", "/v", "Two"}).exitCode, 1);
    EXPECT_TRUE(keyExists("Software\\Doomed\\A\\Deep\\Deeper"));

    const ProcessResult cancelled = reg({"delete", "HKCU\\Software\\Doomed"});
    EXPECT_EQ(cancelled.exitCode, 1);
    EXPECT_NE(cancelled.out.find("Permanently delete the registry key HKEY_CURRENT_USER\\Software\\Doomed (Yes/No)?"),
              std::string::npos);
    EXPECT_TRUE(keyExists("Software\\Doomed\\A\\Deep\\Deeper"));

    const ProcessResult deleted = reg({"delete", "HKCU\\Software\\Doomed"}, "yes\n");
    EXPECT_EQ(deleted.exitCode, 0) << deleted.err;
    EXPECT_FALSE(keyExists("Software\\Doomed"));
    EXPECT_TRUE(keyExists("Software"));
}

} // namespace
