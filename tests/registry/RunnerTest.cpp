// Running programs against a scratch registry.
#include "platform/linux/ComRtExtensions.h"
#include "registry/ServerRegistrationProgram.h"
#include "registry/ValueData.h"
#include "tests/registry/RegistryTestSupport.h"

#include <cstring>

namespace {

const char kClassKey[] = "CLSID\\{FB82882C-A2F5-48F3-8A8D-F336890341D1}";
const HKEY kRoot = HKEY_CLASSES_ROOT;

class ServerProgram : public ScratchRegistryTest {
protected:
    HRESULT run(bool bRegister)
    {
        RegistryRunner runner;
        addServerVariables(runner);
        return runner.RunProgram(g_serverRegistrationProgram, bRegister);
    }

    void expectRegistered()
    {
        EXPECT_EQ(stringValue(kRoot, "MORVEN.CMORVENProc.1", nullptr), "CMORVENProc Class");
        EXPECT_EQ(stringValue(kRoot, "MORVEN.CMORVENProc.1\\CLSID", nullptr), kClassKey + 6);
        EXPECT_EQ(stringValue(kRoot, "MORVEN.CMORVENProc", nullptr), "CMORVENProc Class");
        EXPECT_EQ(stringValue(kRoot, "MORVEN.CMORVENProc\\CLSID", nullptr), kClassKey + 6);
        EXPECT_EQ(stringValue(kRoot, "MORVEN.CMORVENProc\\CurVer", nullptr), "MORVEN.CMORVENProc.1");
        const std::string c = kClassKey;
        EXPECT_EQ(stringValue(kRoot, kClassKey, nullptr), "CMORVENProc Class");
        // AppID follows a nested block but belongs to the class key itself.
        EXPECT_EQ(stringValue(kRoot, kClassKey, "AppID"), "");
        EXPECT_EQ(stringValue(kRoot, c + "\\InprocServer32", "AppID"), std::nullopt);
        EXPECT_EQ(stringValue(kRoot, c + "\\ProgID", nullptr), "MORVEN.CMORVENProc.1");
        EXPECT_EQ(stringValue(kRoot, c + "\\VersionIndependentProgID", nullptr), "MORVEN.CMORVENProc");
        EXPECT_TRUE(keyExists(kRoot, c + "\\Programmable"));
        EXPECT_EQ(stringValue(kRoot, c + "\\InprocServer32", nullptr), "/opt/morven/MORVEN.ocx");
        EXPECT_EQ(stringValue(kRoot, c + "\\InprocServer32", "ThreadingModel"), "apartment");
        EXPECT_EQ(stringValue(kRoot, c + "\\TypeLib", nullptr), "{52BA1FC6-03A4-409D-9C95-EFB369E2B531}");
        EXPECT_EQ(subKeyNames(kRoot, kClassKey).size(), 5u);
    }
};

} // namespace

TEST_F(ServerProgram, RegisteringTwiceGivesTheSameTreeAndReplacesTheClassKey)
{
    ASSERT_EQ(run(true), S_OK);
    expectRegistered();

    const std::string c = kClassKey;
    ASSERT_TRUE(writeString(kRoot, kClassKey, "Stray", "x"));
    ASSERT_TRUE(writeString(kRoot, c + "\\Programmable\\Stray", nullptr, "x"));
    ASSERT_TRUE(writeString(kRoot, "MORVEN.CMORVENProc.1", "Kept", "x"));
    ASSERT_EQ(run(true), S_OK);
    expectRegistered();
    EXPECT_EQ(stringValue(kRoot, kClassKey, "Stray"), std::nullopt);
    EXPECT_FALSE(keyExists(kRoot, c + "\\Programmable\\Stray"));
    // Registration only adds and overwrites outside the replaced keys.
    EXPECT_EQ(stringValue(kRoot, "MORVEN.CMORVENProc.1", "Kept"), "x");
}

TEST_F(ServerProgram, UnregisteringRemovesItsKeysAndKeepsClsid)
{
    ASSERT_EQ(run(true), S_OK);
    ASSERT_TRUE(writeString(kRoot, "CLSID\\{00000000-0000-0000-0000-000000000001}", nullptr, "other"));
    ASSERT_EQ(run(false), S_OK);
    EXPECT_FALSE(keyExists(kRoot, "MORVEN.CMORVENProc.1"));
    EXPECT_FALSE(keyExists(kRoot, "MORVEN.CMORVENProc"));
    EXPECT_FALSE(keyExists(kRoot, kClassKey));
    EXPECT_EQ(stringValue(kRoot, "CLSID\\{00000000-0000-0000-0000-000000000001}", nullptr), "other");

    // Again, with nothing left to remove.
    ASSERT_EQ(run(false), S_OK);
    EXPECT_TRUE(keyExists(kRoot, "CLSID"));
}

TEST_F(ServerProgram, UnregisteringSkipsWhatIsNotThere)
{
    ASSERT_EQ(run(false), S_OK);
    EXPECT_FALSE(keyExists(kRoot, "CLSID"));

    ASSERT_TRUE(writeString(kRoot, "MORVEN.CMORVENProc.1\\CLSID", nullptr, "x"));
    ASSERT_EQ(run(false), S_OK);
    EXPECT_FALSE(keyExists(kRoot, "MORVEN.CMORVENProc.1"));
    EXPECT_FALSE(keyExists(kRoot, "MORVEN.CMORVENProc"));
}

TEST_F(ServerProgram, UnsetVariableStopsBeforeTheValueIsWritten)
{
    RegistryRunner runner;
    ASSERT_EQ(runner.SetVariableA("FriendlyName", "F"), S_OK);
    // MODULETYPE and the rest are missing: the class key is made, then the run stops.
    EXPECT_EQ(runner.RunProgram(g_serverRegistrationProgram, TRUE), E_FAIL);
    EXPECT_EQ(stringValue(kRoot, "MORVEN.CMORVENProc.1", nullptr), "F");
    EXPECT_TRUE(keyExists(kRoot, std::string(kClassKey) + "\\Programmable"));
    EXPECT_FALSE(keyExists(kRoot, std::string(kClassKey) + "\\InprocServer32"));
    EXPECT_EQ(subKeyNames(kRoot, kClassKey).size(), 3u);
}

TEST_F(ScratchRegistryTest, ValuesLandOnTheKeysTheyBelongTo)
{
    TestProgram p;
    DWORD a = p.text("A"), b = p.text("B"), named = p.text("Named");
    // A { <default of A>, B = "B" { }, Named = "Named" }: the default value comes
    // before any key word of A's level, the named value after B's block.
    p.op(RegOp::Root).op(RegOp::Key, a).op(RegOp::BeginBlock).op(RegOp::StringValue, 0, a);
    p.op(RegOp::Key, b).op(RegOp::StringValue, 0, b).op(RegOp::BeginBlock).op(RegOp::EndBlock);
    p.op(RegOp::StringValue, named, named).op(RegOp::EndBlock).op(RegOp::EndBlock).op(RegOp::End);
    RegistryRunner runner;
    ASSERT_EQ(runner.RunProgram(p.program(), TRUE), S_OK);
    EXPECT_EQ(stringValue(kRoot, "A", nullptr), "A");
    EXPECT_EQ(stringValue(kRoot, "A\\B", nullptr), "B");
    EXPECT_EQ(stringValue(kRoot, "A", "Named"), "Named");
    EXPECT_EQ(stringValue(kRoot, "A\\B", "Named"), std::nullopt);
}

namespace {

class ValueData : public ScratchRegistryTest {
protected:
    // Writes value "Data" of key V with one value word; returns the run's result.
    HRESULT write(RegOp op, DWORD data)
    {
        p.words.clear();
        DWORD v = p.text("V"), name = p.text("Data");
        p.op(RegOp::Root).op(RegOp::Key, v).op(RegOp::BeginBlock).op(op, name, data);
        p.op(RegOp::EndBlock).op(RegOp::EndBlock).op(RegOp::End);
        return runner.RunProgram(p.program(), TRUE);
    }
    std::vector<BYTE> data(DWORD expectedType)
    {
        std::optional<testkit::RegistryValue> value = readValue(kRoot, "V", "Data");
        if (!value) {
            ADD_FAILURE() << "no value";
            return {};
        }
        EXPECT_EQ(value->type, expectedType);
        return value->data;
    }
    void set(const char* name, const char* value) { ASSERT_EQ(runner.SetVariableA(name, value), S_OK); }

    TestProgram p;
    RegistryRunner runner;
};

std::vector<BYTE> bytesOf(const char* text, size_t length)
{
    return std::vector<BYTE>(text, text + length);
}

} // namespace

TEST_F(ValueData, MultiStringsAndNumbers)
{
    ASSERT_EQ(write(RegOp::MultiStringValue, p.text("one\\0two\\0")), S_OK);
    EXPECT_EQ(data(REG_MULTI_SZ), bytesOf("one\0two\0\0", 9));
    // The strings count up to the first empty one.
    ASSERT_EQ(write(RegOp::MultiStringValue, p.text("a\\0\\0b")), S_OK);
    EXPECT_EQ(data(REG_MULTI_SZ), bytesOf("a\0\0", 3));

    set("Num", "4660");
    set("NaN", "twelve");
    p.numbers = {{0x01020304, 0}, {p.text("%Num%", true), 1}, {p.text("%NaN%", true), 1}};
    DWORD expected[] = {0x01020304, 4660};
    for (DWORD i = 0; i < 2; ++i) {
        ASSERT_EQ(write(RegOp::NumberValue, i), S_OK);
        std::vector<BYTE> bytes = data(REG_DWORD);
        ASSERT_EQ(bytes.size(), 4u);
        DWORD number = 0;
        std::memcpy(&number, bytes.data(), 4);
        EXPECT_EQ(number, expected[i]);
    }
    EXPECT_EQ(write(RegOp::NumberValue, 2), E_FAIL);
}

TEST_F(ValueData, BinaryFromBytesAndHexadecimalText)
{
    static const BYTE kLiteral[] = {1, 2, 3};
    set("Hex", "0aFf");
    set("Bad", "0g");
    set("Odd", "abc");
    std::string big(2 * 1500, 'f');  // more than the inline scratch area holds
    set("Big", big.c_str());
    p.binaries = {{kLiteral, 3, 0}, {nullptr, p.text("%Hex%", true), 1}, {nullptr, p.text("%Bad%", true), 1},
                  {nullptr, p.text("%Big%", true), 1}, {nullptr, p.text("%Odd%", true), 1}};
    ASSERT_EQ(write(RegOp::BinaryValue, 0), S_OK);
    EXPECT_EQ(data(REG_BINARY), (std::vector<BYTE>{1, 2, 3}));
    ASSERT_EQ(write(RegOp::BinaryValue, 1), S_OK);
    EXPECT_EQ(data(REG_BINARY), (std::vector<BYTE>{0x0A, 0xFF}));
    ASSERT_EQ(write(RegOp::BinaryValue, 2), S_OK);
    EXPECT_EQ(data(REG_BINARY), (std::vector<BYTE>{0x00}));
    ASSERT_EQ(write(RegOp::BinaryValue, 3), S_OK);
    EXPECT_EQ(data(REG_BINARY), std::vector<BYTE>(1500, 0xFF));
    // An odd length fails before anything is written: the previous value stays.
    EXPECT_EQ(write(RegOp::BinaryValue, 4), E_FAIL);
    EXPECT_EQ(data(REG_BINARY).size(), 1500u);
}

TEST(MultiStringConversion, StepsOverDoubleByteCharacters)
{
    ComRtSetAnsiCodePage(936);
    // 0xB0 0x5C is one character whose second byte is a backslash: no separator.
    const char text[] = "\xB0\\0a\\0";
    BYTE out[multiStringBufferBytes(sizeof(text) - 1)];
    EXPECT_EQ(convertMultiString(text, sizeof(text) - 1, out), 6u);
    EXPECT_EQ(std::memcmp(out, "\xB0\\0a\0\0\0", 7), 0);
    // A lead byte that ends the text does not take the terminator with it.
    BYTE tail[multiStringBufferBytes(2)];
    EXPECT_EQ(convertMultiString("a\xB0", 2, tail), 4u);
    EXPECT_EQ(std::memcmp(tail, "a\xB0\0\0", 4), 0);
    ComRtSetAnsiCodePage(0);
}

TEST_F(ScratchRegistryTest, RefusedProgramChangesNothing)
{
    TestProgram p;
    DWORD probe = p.text("Probe");
    p.op(RegOp::Root).op(RegOp::Key, probe).op(RegOp::StringValue, 0, probe);
    p.words.push_back(0xC0000000);  // undefined opcode
    p.op(RegOp::EndBlock).op(RegOp::End);
    RegistryRunner runner;
    EXPECT_EQ(runner.RunProgram(p.program(), TRUE), E_FAIL);
    p.words[3] = encodeRegWord(RegOp::Key, probe);
    p.words.pop_back();  // no End within the words
    EXPECT_EQ(runner.RunProgram(p.program(), TRUE), E_FAIL);
    p.op(RegOp::End);
    p.words[0] = encodeRegWord(RegOp::Key, probe);  // no Root first
    EXPECT_EQ(runner.RunProgram(p.program(), TRUE), E_FAIL);
    p.words[0] = encodeRegWord(RegOp::Root);
    ASSERT_EQ(runner.RunProgram(p.program(), FALSE), S_OK) << "the program itself is sound";
    EXPECT_FALSE(keyExists(kRoot, "Probe"));
}

TEST_F(ScratchRegistryTest, KeyNameThatExpandsToNothingIsRefused)
{
    ASSERT_TRUE(writeString(kRoot, "Keep\\Child", nullptr, "x"));
    TestProgram p;
    DWORD keep = p.text("Keep"), empty = p.text("%Empty%", true);
    p.op(RegOp::Root).op(RegOp::Key, keep).op(RegOp::BeginBlock).op(RegOp::Key, empty).op(RegOp::BeginBlock);
    p.op(RegOp::EndBlock).op(RegOp::EndBlock).op(RegOp::EndBlock).op(RegOp::End);
    RegistryRunner runner;
    ASSERT_EQ(runner.SetVariableA("Empty", ""), S_OK);
    // Unregistering "Keep\" would otherwise take Keep and everything beneath it.
    EXPECT_EQ(runner.RunProgram(p.program(), FALSE), E_FAIL);
    EXPECT_TRUE(keyExists(kRoot, "Keep\\Child"));
}

TEST_F(ScratchRegistryTest, SeveralRootsAndDeepTreesAreHandled)
{
    // A tree far deeper than any stack-bound recursion would survive well.
    const int kDepth = 3000;
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Deep", 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    for (int i = 0; i < kDepth; ++i) {
        HKEY child = nullptr;
        ASSERT_EQ(RegCreateKeyExA(key, "k", 0, nullptr, 0, KEY_WRITE, nullptr, &child, nullptr), ERROR_SUCCESS) << i;
        RegCloseKey(key);
        key = child;
    }
    RegCloseKey(key);
    ASSERT_TRUE(writeString(HKEY_CURRENT_USER, "Deep\\k\\side", nullptr, "x"));

    TestProgram p;
    DWORD a = p.text("A"), deep = p.text("Deep");
    p.op(RegOp::Root).op(RegOp::Key, a).op(RegOp::Root, 1).op(RegOp::ReplaceKey, deep).op(RegOp::Key, deep);
    p.op(RegOp::EndBlock).op(RegOp::End);
    RegistryRunner runner;
    ASSERT_EQ(runner.RunProgram(p.program(), TRUE), S_OK);
    EXPECT_TRUE(keyExists(kRoot, "A"));
    EXPECT_TRUE(keyExists(HKEY_CURRENT_USER, "Deep"));
    EXPECT_EQ(subKeyNames(HKEY_CURRENT_USER, "Deep").size(), 0u);
}
