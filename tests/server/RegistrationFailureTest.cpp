// DllRegisterServer and DllUnregisterServer when one registry call fails part
// way, each call of a clean run in turn: the failure is reported, what was done
// before it stays done, and a clean run afterwards leaves the registry exactly
// as a clean run from the same start does.
#include "capture/MORVEN.h"
#include "platform/Kernel.h"
#include "platform/Registry.h"
#include "platform/TypeLib.h"
#include "platform/linux/ComRtExtensions.h"
#include "tests/support/RegistryReads.h"
#include "tests/support/RegistrySnapshot.h"
#include "tests/support/ScratchRegistry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using testkit::registrySnapshot;
using testkit::ScratchRegistry;
using Snapshot = std::vector<std::string>;
using EntryPoint = HRESULT (*)();

// A code that none of these calls answers of itself.
constexpr LONG kInjectedError = ERROR_WRITE_FAULT;

struct CallName {
    ComRtRegistryCall call;
    const char* name;
};

const CallName kCalls[] = {
    {COMRT_REG_OPEN_KEY, "RegOpenKeyExA"},       {COMRT_REG_CREATE_KEY, "RegCreateKeyExA"},
    {COMRT_REG_SET_VALUE, "RegSetValueExA"},     {COMRT_REG_QUERY_VALUE, "RegQueryValueExA"},
    {COMRT_REG_DELETE_KEY, "RegDeleteKeyA"},     {COMRT_REG_DELETE_TREE, "RegDeleteTreeA"},
    {COMRT_REG_DELETE_VALUE, "RegDeleteValueA"}, {COMRT_REG_ENUM_KEY, "RegEnumKeyExA"},
    {COMRT_REG_ENUM_VALUE, "RegEnumValueA"},     {COMRT_REG_QUERY_INFO_KEY, "RegQueryInfoKeyA"},
};

bool isWrite(ComRtRegistryCall call)
{
    return call == COMRT_REG_CREATE_KEY || call == COMRT_REG_SET_VALUE || call == COMRT_REG_DELETE_KEY ||
           call == COMRT_REG_DELETE_TREE || call == COMRT_REG_DELETE_VALUE;
}

// MORVEN.ocx, loaded once: nothing of a registration stays in the module.
class Module {
public:
    Module() : m_hModule(LoadLibraryA(MORVEN_OCX_PATH))
    {
        if (m_hModule == nullptr)
            throw std::runtime_error("MORVEN.ocx did not load");
        registerServer = reinterpret_cast<EntryPoint>(GetProcAddress(m_hModule, "DllRegisterServer"));
        unregisterServer = reinterpret_cast<EntryPoint>(GetProcAddress(m_hModule, "DllUnregisterServer"));
        if (registerServer == nullptr || unregisterServer == nullptr)
            throw std::runtime_error("MORVEN.ocx lacks its registration exports");
    }
    ~Module() { FreeLibrary(m_hModule); }
    Module(const Module&) = delete;
    Module& operator=(const Module&) = delete;

    EntryPoint registerServer = nullptr;
    EntryPoint unregisterServer = nullptr;

private:
    HMODULE m_hModule;
};

std::u16string wide(const std::string& text)
{
    return std::u16string(text.begin(), text.end());
}

// The platform's part of registration, called as the module calls it.
HRESULT registerTypeLibrary()
{
    const std::string path = MORVEN_OCX_PATH;
    std::u16string widePath = wide(path);
    std::u16string helpDirectory = wide(path.substr(0, path.find_last_of('/') + 1));
    ITypeLib* pTypeLib = nullptr;
    HRESULT hr = LoadTypeLib(widePath.c_str(), &pTypeLib);
    if (FAILED(hr))
        return hr;
    hr = RegisterTypeLib(pTypeLib, widePath.data(), helpDirectory.data());
    pTypeLib->Release();
    return hr;
}

HRESULT unregisterTypeLibrary()
{
    HRESULT hr = UnRegisterTypeLib(LIBID_MORVEN, 1, 0, 0x409, SYS_WIN32);
    return FAILED(hr) ? hr : S_OK;
}

using CallCounts = std::array<LONG, COMRT_REG_CALL_COUNT>;

template <class Run>
CallCounts countCalls(Run run)
{
    ComRtResetRegistryHooks();
    EXPECT_EQ(run(), S_OK);
    CallCounts counts{};
    for (const CallName& call : kCalls)
        counts[call.call] = ComRtRegistryCallsMade(call.call);
    ComRtResetRegistryHooks();
    return counts;
}

// Runs `run` with call number `index` (from 0) of its kind failing.
template <class Run>
HRESULT runFailing(ComRtRegistryCall call, LONG index, Run run)
{
    ComRtResetRegistryHooks();
    ComRtFailRegistryCall(call, index, kInjectedError);
    HRESULT hr = run();
    EXPECT_GT(ComRtRegistryCallsMade(call), index) << "the failing call was never made";
    ComRtResetRegistryHooks();
    return hr;
}

// Things another program keeps in the registry, which no run may touch.
void addUnrelatedEntries()
{
    ASSERT_TRUE(testkit::writeString(HKEY_CLASSES_ROOT, "CLSID\\{00000000-1111-2222-3333-444444444444}", nullptr,
                                     "another class"));
    ASSERT_TRUE(testkit::writeString(HKEY_CLASSES_ROOT, "TypeLib\\{00000000-5555-6666-7777-888888888888}\\1.0", nullptr,
                                     "another library"));
    ASSERT_TRUE(testkit::writeString(HKEY_CURRENT_USER, "Software\\Another", "Setting", "kept"));
}

// How the registry changes from one failing call to the next of the same kind.
enum class Progress {
    Grows,   // only additions: each call that went through adds something
    Shrinks, // only removals
    Mixed,   // removals and additions (a repeated registration)
};

bool strictlyIncludes(const Snapshot& larger, const Snapshot& smaller)
{
    return larger.size() > smaller.size() &&
           std::includes(larger.begin(), larger.end(), smaller.begin(), smaller.end());
}

class RegistrationFailure : public ::testing::Test {
protected:
    struct Scenario {
        std::function<void()> prepare; // the state the runs start from, in an empty registry
        EntryPoint run;
        HRESULT (*typeLibraryStep)(); // the platform's part of the run, last
        bool registering;
        Progress progress;
    };

    // Fails each registry call the clean run makes, one per run.
    void failEachCall(const Scenario& scenario)
    {
        Snapshot start;
        Snapshot finished;
        HRESULT afterwards = S_OK; // a clean run's answer after a clean run
        CallCounts total{};
        CallCounts typeLibrary{};
        {
            ScratchRegistry registry;
            scenario.prepare();
            start = registrySnapshot();
            total = countCalls(scenario.run);
            finished = registrySnapshot();
            // Unregistering twice: the second finds no type library to unregister.
            afterwards = scenario.run();
            ASSERT_EQ(registrySnapshot(), finished);
        }
        {
            ScratchRegistry registry;
            scenario.prepare();
            typeLibrary = countCalls(scenario.typeLibraryStep);
        }

        LONG failuresTried = 0;
        for (const CallName& call : kCalls) {
            Snapshot previous = start;
            const LONG programCalls = total[call.call] - typeLibrary[call.call];
            ASSERT_GE(programCalls, 0) << call.name;
            for (LONG index = 0; index < total[call.call]; ++index, ++failuresTried) {
                SCOPED_TRACE(std::string(call.name) + " number " + std::to_string(index + 1) + " of " +
                             std::to_string(total[call.call]));
                const bool inProgram = index < programCalls;
                HRESULT expected =
                    inProgram ? programAnswer(call.call) : platformAnswer(scenario, call.call, index - programCalls);

                ScratchRegistry registry;
                scenario.prepare();
                HRESULT hr = runFailing(call.call, index, scenario.run);
                Snapshot failed = registrySnapshot();

                if (SUCCEEDED(hr)) {
                    // The caller may go on without this call; then the run is whole.
                    EXPECT_TRUE(mayGoOn(scenario, call.call, inProgram, expected)) << std::hex << hr;
                    EXPECT_EQ(failed, finished);
                } else {
                    EXPECT_EQ(hr, expected);
                }

                // Nothing is undone: one call later, the calls before it have all taken effect.
                if (isWrite(call.call) && scenario.progress == Progress::Grows) {
                    EXPECT_TRUE(std::includes(failed.begin(), failed.end(), previous.begin(), previous.end()));
                    EXPECT_TRUE(index == 0 || strictlyIncludes(failed, previous));
                    EXPECT_TRUE(strictlyIncludes(finished, failed)) << "a failed run did all there was to do";
                } else if (isWrite(call.call) && scenario.progress == Progress::Shrinks) {
                    EXPECT_TRUE(std::includes(previous.begin(), previous.end(), failed.begin(), failed.end()));
                    EXPECT_TRUE(index == 0 || strictlyIncludes(previous, failed));
                    EXPECT_TRUE(strictlyIncludes(failed, finished)) << "a failed run did all there was to do";
                }
                previous = failed;

                // A clean run repairs whatever the failed one left.
                EXPECT_EQ(scenario.run(), SUCCEEDED(hr) ? afterwards : S_OK);
                EXPECT_EQ(registrySnapshot(), finished);
            }
        }
        EXPECT_GT(failuresTried, 0);
    }

    // What the module answers when a call of its own registry program fails.
    static HRESULT programAnswer(ComRtRegistryCall call)
    {
        // Deleting a key tree ends when listing the subkeys fails, and the key,
        // still holding them, cannot be deleted.
        if (call == COMRT_REG_ENUM_KEY)
            return HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED);
        return HRESULT_FROM_WIN32(kInjectedError);
    }

    // What the platform's type library step answers for the same failing call
    // from the same start; the module passes it on.
    static HRESULT platformAnswer(const Scenario& scenario, ComRtRegistryCall call, LONG index)
    {
        ScratchRegistry registry;
        scenario.prepare();
        return runFailing(call, index, scenario.typeLibraryStep);
    }

    // Whether a run may succeed when this call fails.
    static bool mayGoOn(const Scenario& scenario, ComRtRegistryCall call, bool inProgram, HRESULT platformAnswer)
    {
        if (!inProgram)
            return SUCCEEDED(platformAnswer);
        // A key that cannot be opened is created (registration); listing fails
        // at a key without subkeys as when there are none.
        return (call == COMRT_REG_OPEN_KEY && scenario.registering) || call == COMRT_REG_ENUM_KEY;
    }

    Module m_module;
};

TEST_F(RegistrationFailure, EachCallOfAFirstRegistration)
{
    failEachCall({[] { addUnrelatedEntries(); }, m_module.registerServer, registerTypeLibrary, true, Progress::Grows});
}

// The class key and its Programmable key are deleted and made afresh.
TEST_F(RegistrationFailure, EachCallOfARepeatedRegistration)
{
    const EntryPoint registerServer = m_module.registerServer;
    failEachCall({[registerServer] {
                      addUnrelatedEntries();
                      ASSERT_EQ(registerServer(), S_OK);
                  },
                  registerServer, registerTypeLibrary, true, Progress::Mixed});
}

TEST_F(RegistrationFailure, EachCallOfAnUnregistration)
{
    const EntryPoint registerServer = m_module.registerServer;
    Snapshot beforeRegistration;
    {
        ScratchRegistry registry;
        addUnrelatedEntries();
        beforeRegistration = registrySnapshot();
        ASSERT_EQ(registerServer(), S_OK);
        ASSERT_EQ(m_module.unregisterServer(), S_OK);
        // A clean unregistration leaves what there was before registration.
        ASSERT_EQ(registrySnapshot(), beforeRegistration);
    }
    failEachCall({[registerServer] {
                      addUnrelatedEntries();
                      ASSERT_EQ(registerServer(), S_OK);
                  },
                  m_module.unregisterServer, unregisterTypeLibrary, false, Progress::Shrinks});
}

} // namespace
