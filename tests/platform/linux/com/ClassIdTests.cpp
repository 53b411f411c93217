// Class identifiers as text, and task memory.
#include "platform/Com.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

constexpr GUID kSample = {0xFB82882C, 0xA2F5, 0x48F3, {0x8A, 0x8D, 0xF3, 0x36, 0x89, 0x03, 0x41, 0xD1}};

} // namespace

TEST(ClassIdText, UpperCaseBracedFormBothWays)
{
    LPOLESTR text = nullptr;
    ASSERT_EQ(S_OK, StringFromCLSID(kSample, &text));
    EXPECT_EQ(std::u16string(u"{FB82882C-A2F5-48F3-8A8D-F336890341D1}"), text);
    CoTaskMemFree(text);

    OLECHAR buffer[CHARS_IN_GUID];
    EXPECT_EQ(0, StringFromGUID2(kSample, buffer, CHARS_IN_GUID - 1)) << "no room for the terminator";
    EXPECT_EQ(CHARS_IN_GUID, StringFromGUID2(kSample, buffer, CHARS_IN_GUID));

    CLSID parsed{};
    EXPECT_EQ(S_OK, CLSIDFromString(u"{fb82882c-a2f5-48f3-8A8D-f336890341d1}", &parsed));
    EXPECT_EQ(kSample, parsed);
    EXPECT_EQ(S_OK, CLSIDFromString(nullptr, &parsed)) << "the platform reads null as the null class";
    EXPECT_EQ(GUID_NULL, parsed);
    EXPECT_EQ(E_INVALIDARG, CLSIDFromString(u"{FB82882C-A2F5-48F3-8A8D-F336890341D1}", nullptr));
}

TEST(ClassIdText, MalformedStringsAreRefused)
{
    for (const char16_t* text : {
             u"FB82882C-A2F5-48F3-8A8D-F336890341D1",    // no braces
             u"{FB82882C-A2F5-48F3-8A8D-F336890341D1",   // no closing brace
             u"{FB82882C-A2F5-48F3-8A8D-F336890341D1}x", // something after it
             u"{FB82882C-A2F5-48F3-8A8D-F336890341DG}",  // not hexadecimal
             u"{FB82882CA-2F5-48F3-8A8D-F336890341D1}",  // a dash out of place
             u"{FB82}",
             u"",
         }) {
        CLSID parsed = kSample;
        EXPECT_EQ(CO_E_CLASSSTRING, CLSIDFromString(text, &parsed)) << std::string(text, text + 1);
    }
}

TEST(TaskMemory, ReallocationKeepsContentsAndZeroSizeFrees)
{
    auto block = static_cast<char*>(CoTaskMemAlloc(4));
    ASSERT_NE(nullptr, block);
    std::memcpy(block, "abc", 4);
    block = static_cast<char*>(CoTaskMemRealloc(block, 4096));
    ASSERT_NE(nullptr, block);
    EXPECT_STREQ("abc", block);
    EXPECT_EQ(nullptr, CoTaskMemRealloc(block, 0));
    void* fresh = CoTaskMemRealloc(nullptr, 8);
    EXPECT_NE(nullptr, fresh);
    CoTaskMemFree(fresh);
    CoTaskMemFree(nullptr);
}
