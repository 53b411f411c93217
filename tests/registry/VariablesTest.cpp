// The runner's IRegistryVariables face and the standard variables.
#include "platform/Kernel.h"
#include "platform/linux/ComRtExtensions.h"
#include "registry/RegistryRunner.h"
#include "tests/registry/RegistryTestSupport.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::u16string wide(const char* text)
{
    return std::u16string(text, text + std::char_traits<char>::length(text));
}

} // namespace

TEST(RegistryVariables, InterfaceIdentityAndLifetime)
{
    RegistryRunner runner;
    IRegistryVariables* variables = &runner;
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(variables->QueryInterface(IID_IUnknown, nullptr), E_POINTER);
    EXPECT_EQ(variables->QueryInterface(IID_IRegistryVariables, &out), S_OK);
    EXPECT_EQ(out, variables);
    EXPECT_EQ(variables->QueryInterface(IID_IUnknown, &out), S_OK);
    EXPECT_EQ(out, variables);
    EXPECT_EQ(variables->QueryInterface(IID_IClassFactory, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(variables->AddRef(), 1u);
    EXPECT_EQ(variables->Release(), 1u);
    EXPECT_EQ(variables->Release(), 1u);  // and it is still alive
    EXPECT_EQ(variables->SetVariableA("Name", "v"), S_OK);
}

TEST(RegistryVariables, SetAndClear)
{
    RegistryRunner runner;
    IRegistryVariables* variables = &runner;
    EXPECT_EQ(variables->SetVariable(nullptr, u"v"), E_INVALIDARG);
    EXPECT_EQ(variables->SetVariable(u"n", nullptr), E_INVALIDARG);
    EXPECT_EQ(variables->SetVariableA(nullptr, "v"), E_INVALIDARG);
    EXPECT_EQ(runner.variables().count(), 0);

    ASSERT_EQ(variables->SetVariable(u"Name", u"value"), S_OK);
    EXPECT_STREQ(runner.variables().lookup("NAME"), "value");
    // Long strings leave the inline conversion area.
    std::string longText(300, 'x');
    ASSERT_EQ(variables->SetVariable(u"Long", wide(longText.c_str()).c_str()), S_OK);
    EXPECT_EQ(runner.variables().lookup("Long"), longText);
    EXPECT_EQ(variables->ClearVariables(), S_OK);
    EXPECT_EQ(runner.variables().count(), 0);
}

TEST(RegistryVariables, ConvertsWithTheCodePagesOwnWidth)
{
    // Under UTF-8 a character of this script needs three bytes: a buffer of two
    // bytes a character would not hold it.
    ComRtSetAnsiCodePage(65001);
    RegistryRunner runner;
    ASSERT_EQ(runner.SetVariable(u"\u540D", u"\u4E2D\u6587"), S_OK);
    EXPECT_STREQ(runner.variables().lookup("\xE5\x90\x8D"), "\xE4\xB8\xAD\xE6\x96\x87");
    ComRtSetAnsiCodePage(0);
}

TEST(RegistryVariables, StandardVariablesDescribeTheModule)
{
    FakeModule module;
    RegistryRunner runner;
    ASSERT_EQ(runner.AddStandardVariables(module), S_OK);
    const ReplacementMap& map = runner.variables();

    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    ASSERT_GT(length, 0u);
    // The running program is an executable: its path is quoted.
    EXPECT_EQ(std::string(map.lookup("Module")), "\"" + std::string(path) + "\"");
    EXPECT_STREQ(map.lookup("MODULE_RAW"), path);
    EXPECT_STREQ(map.lookup("MODULEGUID"), "{52BA1FC6-03A4-409D-9C95-EFB369E2B531}");
    EXPECT_STREQ(map.lookup("MODULETYPE"), "LocalServer32");
    EXPECT_STREQ(map.lookup("APPID"), "");
    EXPECT_EQ(map.count(), 5);
    EXPECT_EQ(module.commonCalls, 1);
}

TEST(RegistryVariables, ModuleOfALibraryIsUnquotedAndInprocess)
{
    FakeModule module;
    ASSERT_TRUE(GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                   reinterpret_cast<LPCSTR>(&lstrcmpiA), &module.handle));
    ASSERT_NE(module.handle, GetModuleHandleA(nullptr));
    RegistryRunner runner;
    ASSERT_EQ(runner.AddStandardVariables(module), S_OK);
    char path[MAX_PATH];
    ASSERT_GT(GetModuleFileNameA(module.handle, path, MAX_PATH), 0u);
    EXPECT_STREQ(runner.variables().lookup("Module"), path);
    EXPECT_STREQ(runner.variables().lookup("MODULETYPE"), "InprocServer32");

    // A module handle the system does not know: a failure, never success.
    module.handle = reinterpret_cast<HMODULE>(0x10);
    RegistryRunner unknown;
    EXPECT_TRUE(FAILED(unknown.AddStandardVariables(module)));
    EXPECT_EQ(unknown.variables().count(), 0);
}

TEST(RegistryVariables, TheModulesOwnFailureIsReturned)
{
    FakeModule module;
    module.commonResult = E_UNEXPECTED;
    RegistryRunner runner;
    EXPECT_EQ(runner.AddStandardVariables(module), E_UNEXPECTED);
    // The standard variables before it stay.
    EXPECT_EQ(runner.variables().count(), 4);
}
