// The replacement map and the expansion of %NAME% references.
#include "platform/linux/ComRtExtensions.h"
#include "registry/ReplacementMap.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class Expansion : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(m_map.add("Module", "C:\\m.ocx"), S_OK);
        ASSERT_EQ(m_map.add("APPID", ""), S_OK);
        ASSERT_EQ(m_map.add("Twice", "first"), S_OK);
        ASSERT_EQ(m_map.add("twice", "second"), S_OK);
        ASSERT_EQ(m_map.add("Nested", "%Module%"), S_OK);
        ASSERT_EQ(m_map.add(std::string(31, 'N').c_str(), "n31"), S_OK);
        ASSERT_EQ(m_map.add(std::string(32, 'N').c_str(), "n32"), S_OK);
    }
    void TearDown() override { ComRtSetAnsiCodePage(0); }

    // The expansion of text, or "<hr>" on failure.
    std::string expand(const char* text, bool expandFlag = true)
    {
        RegStringEntry table[] = {{text, static_cast<BYTE>(expandFlag)}, {nullptr, 0}};
        LPCSTR out = reinterpret_cast<LPCSTR>(1);
        HRESULT hr = m_map.ExpandString(table, 0, m_scratch, &out);
        if (FAILED(hr)) {
            EXPECT_EQ(out, nullptr);
            char code[16];
            std::snprintf(code, sizeof(code), "<%08X>", static_cast<unsigned>(hr));
            return code;
        }
        EXPECT_EQ(hr, S_OK);
        if (!expandFlag) {
            EXPECT_EQ(out, text) << "unexpanded texts are used in place";
        }
        return out != nullptr ? out : m_scratch.data();
    }

    ReplacementMap m_map;
    ScratchBuffer m_scratch;
};

const std::string kFail = "<80004005>";

} // namespace

TEST_F(Expansion, ResolvesReferences)
{
    EXPECT_EQ(expand("%Module%"), "C:\\m.ocx");
    EXPECT_EQ(expand("[%module%|%MODULE%]"), "[C:\\m.ocx|C:\\m.ocx]");
    EXPECT_EQ(expand("%APPID%"), "");
    EXPECT_EQ(expand("x%APPID%y"), "xy");
    EXPECT_EQ(expand("%TWICE%"), "first");
    // Values go in as they stand; percent signs inside them are not expanded again.
    EXPECT_EQ(expand("%Nested%"), "%Module%");
    EXPECT_EQ(expand("100%%"), "100%");
    EXPECT_EQ(expand("%%%%Module%%"), "%%Module%");
    EXPECT_EQ(expand("plain"), "plain");
    EXPECT_EQ(expand(""), "");
    EXPECT_EQ(expand("50% %Module%", false), "50% %Module%");
    // The scratch buffer starts at one byte and doubles.
    EXPECT_EQ(expand("%Module%"), "C:\\m.ocx");
    EXPECT_EQ(m_scratch.capacity(), 16u);
}

TEST_F(Expansion, FailsOnBadReferences)
{
    EXPECT_EQ(expand("%"), kFail);
    EXPECT_EQ(expand("abc%"), kFail);
    EXPECT_EQ(expand("%Module"), kFail);
    EXPECT_EQ(expand("%Unknown%"), kFail);
    EXPECT_EQ(expand(("%" + std::string(31, 'n') + "%").c_str()), "n31");
    // A variable of that name exists, but names stop at 31 bytes.
    EXPECT_EQ(expand(("%" + std::string(32, 'N') + "%").c_str()), kFail);
}

TEST_F(Expansion, EntryWithoutTextGivesNoText)
{
    RegStringEntry table[] = {{nullptr, 1}};
    LPCSTR out = "x";
    EXPECT_EQ(m_map.ExpandString(table, 0, m_scratch, &out), S_FALSE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(m_map.ExpandString(table, 0, m_scratch, nullptr), E_INVALIDARG);
}

TEST_F(Expansion, KeepsDoubleByteCharactersWhole)
{
    ComRtSetAnsiCodePage(936);
    // A reference name holding a double-byte character, and a value of them.
    ASSERT_EQ(m_map.add("\xB0\xA1name", "v\xC4\xE3"), S_OK);
    EXPECT_EQ(expand("\xD6\xD0%\xB0\xA1name%\xCE\xC4"), "\xD6\xD0v\xC4\xE3\xCE\xC4");
    EXPECT_EQ(expand("%\xB0\xA1NAME%"), "v\xC4\xE3");
    // A lead byte with nothing after it is copied alone, without reading past the end.
    EXPECT_EQ(expand("ab\xB0"), "ab\xB0");
}

TEST(ReplacementMapPairs, AddLookupAndClear)
{
    ReplacementMap map;
    EXPECT_EQ(map.add(nullptr, "v"), E_INVALIDARG);
    EXPECT_EQ(map.add("n", nullptr), E_INVALIDARG);
    EXPECT_EQ(map.count(), 0);

    std::string name = "Name";
    std::string value = "value";
    ASSERT_EQ(map.add(name.c_str(), value.c_str()), S_OK);
    ASSERT_EQ(map.add("NAME", "other"), S_OK);
    // The map keeps its own copies.
    name[0] = 'X';
    value[0] = 'X';
    EXPECT_STREQ(map.lookup("name"), "value");
    EXPECT_EQ(map.lookup("Nam"), nullptr);
    EXPECT_EQ(map.count(), 2);

    map.clear();
    EXPECT_EQ(map.count(), 0);
    EXPECT_EQ(map.lookup("name"), nullptr);
    ASSERT_EQ(map.add("again", "1"), S_OK);
    EXPECT_STREQ(map.lookup("AGAIN"), "1");
}
