// Shared helpers of the Windows host-level tests: where the module and the
// media are, wide registry text, child processes, and the kit's holders and readers.
#pragma once

#include <windows.h>
#include <objbase.h>
#include <oleauto.h>
#include <ocidl.h>

#include "capture/MORVEN.h"
#include "tests/support/ComHolders.h"
#include "tests/support/Frames.h"
#include "tests/support/RegistryReads.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace wintest {

// Full path of MORVEN.ocx: $MORVEN_OCX, or the file beside this program.
std::string modulePath();
// The test media folder with a trailing backslash, from $MORVEN_TEST_MEDIA (a
// Unix path is reached through drive Z:); empty when the variable is unset.
std::string mediaDirectory();

// ANSI (the process code page) to wide and back.
std::wstring widen(const std::string& ansi);
// "{FB82882C-A2F5-...}", the registry's text form of a GUID.
std::string guidText(const GUID& guid);
// Wide text of bytes stored in code page `codePage`, the way a host decodes them.
std::wstring fromCodePage(const char* bytes, UINT codePage);

// Runs a command line, waits at most `timeoutMs`; the exit code, or nullopt
// (with the reason in `error`) when it could not start or did not end in time.
std::optional<DWORD> runProcess(const std::string& commandLine, DWORD timeoutMs, std::string& error);
// regsvr32 /s [/u] "<module>": the exit code; nullopt when it did not run.
std::optional<DWORD> regsvr32(bool unregister, std::string& error);

// Registered once for the whole program by the test environment.
bool moduleRegistered();
const std::string& registrationProblem();
void setRegistrationState(bool registered, const std::string& problem);

// An export of a loaded module as the function type it has.
template <class F>
F moduleExport(HMODULE module, const char* name)
{
    return module ? reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
}

// Text values are read wide, the way a host decodes them; nullopt when missing.
std::optional<std::wstring> readText(HKEY root, const std::string& path, const char* valueName = nullptr);

using testkit::Bstr;
using testkit::keyExists;
using testkit::Ref;
using testkit::subKeyNames;

// A single-threaded apartment for the test's thread.
class Apartment {
public:
    Apartment() : m_hr(CoInitialize(nullptr)) {}
    ~Apartment()
    {
        if (SUCCEEDED(m_hr))
            CoUninitialize();
    }
    HRESULT result() const { return m_hr; }

private:
    HRESULT m_hr;
};

using testmedia::Frame;
using testmedia::frameFromBuffer;
using testmedia::meanAbsDifference;

// One clip of the media folder and FFmpeg's own first frame of it.
struct Clip {
    std::string name;
    std::string path; // Windows path
    int width = 0;
    int height = 0;
    Frame reference;
};
// The clips listed in the media folder's media.txt; empty with `error` set
// when the folder or a file in it cannot be read.
std::vector<Clip> loadClips(std::string& error);

} // namespace wintest

// The tests that need the registered class stop with the reason when it is not.
#define WINTEST_REQUIRE_REGISTRATION()                                                                   \
    do {                                                                                                 \
        if (!::wintest::moduleRegistered())                                                              \
            FAIL() << "MORVEN.ocx is not registered: " << ::wintest::registrationProblem();              \
    } while (0)
