// Loading and unloading MORVEN.ocx, and the module lock count as
// DllCanUnloadNow reports it.
#include "platform/linux/ComRtExtensions.h"
#include "tests/server/ServerTestSupport.h"

#include <gtest/gtest.h>

#include <string>

using namespace servertest;

namespace {

struct CriticalSectionFailure {
    LONG skip;
    DWORD status;
    const char* name;
};

void PrintTo(const CriticalSectionFailure& failure, std::ostream* os)
{
    *os << failure.name;
}

class ModuleLoadRefused : public ::testing::TestWithParam<CriticalSectionFailure> {
protected:
    ~ModuleLoadRefused() override { ComRtFailCriticalSections(0, 0, 0); }
};

// The module instance, the class table and the server module each make one
// critical section at load, in that order.
TEST_P(ModuleLoadRefused, WhenAModuleCriticalSectionCannotBeMade)
{
    ComRtFailCriticalSections(GetParam().skip, 1, GetParam().status);
    HMODULE hModule = LoadLibraryA(modulePath().c_str());
    ComRtFailCriticalSections(0, 0, 0);
    EXPECT_EQ(hModule, nullptr);
    if (hModule != nullptr)
        FreeLibrary(hModule);

    // The refused load left nothing behind: the next load starts clean.
    LoadedModule module;
    EXPECT_EQ(module.canUnloadNow(), S_OK);
    Ref<IClassFactory> factory;
    factory.attach(module.classFactory());
    EXPECT_NE(factory.get(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(EachModuleSection, ModuleLoadRefused,
                         ::testing::Values(CriticalSectionFailure{0, STATUS_NO_MEMORY, "ModuleInstance"},
                                           CriticalSectionFailure{1, STATUS_NO_MEMORY, "ClassTable"},
                                           CriticalSectionFailure{2, STATUS_NO_MEMORY, "ServerModule"},
                                           CriticalSectionFailure{2, 0xC0000005u, "ServerModuleOtherFailure"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ModuleLoad, SucceedsWhenOnlyLaterCriticalSectionsFail)
{
    // Sections after the three of the module (the class object's) do not affect the load.
    ComRtFailCriticalSections(3, 1, STATUS_NO_MEMORY);
    HMODULE hModule = LoadLibraryA(modulePath().c_str());
    ComRtFailCriticalSections(0, 0, 0);
    ASSERT_NE(hModule, nullptr);
    FreeLibrary(hModule);
}

TEST(ModuleLoad, ThreadNotificationsAreAccepted)
{
    LoadedModule module;
    auto dllMain = reinterpret_cast<DllMainFn>(GetProcAddress(module.handle(), "DllMain"));
    ASSERT_NE(dllMain, nullptr);
    EXPECT_EQ(dllMain(reinterpret_cast<HINSTANCE>(module.handle()), DLL_THREAD_ATTACH, nullptr), TRUE);
    EXPECT_EQ(dllMain(reinterpret_cast<HINSTANCE>(module.handle()), DLL_THREAD_DETACH, nullptr), TRUE);
}

TEST(ModuleLoad, EachLoadStartsWithFreshRecords)
{
    {
        LoadedModule module;
        Ref<IClassFactory> factory;
        factory.attach(module.classFactory());
        ASSERT_NE(factory.get(), nullptr);
        // A lock that is never given back dies with the module.
        factory->LockServer(TRUE);
        EXPECT_EQ(module.canUnloadNow(), S_FALSE);
    }
    LoadedModule module;
    EXPECT_EQ(module.canUnloadNow(), S_OK);
}

} // namespace
