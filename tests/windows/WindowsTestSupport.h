// Shared helpers of the Windows host-level tests: where the module and the
// media are, counted references, registry reads, child processes.
#pragma once

#include <windows.h>
#include <objbase.h>
#include <oleauto.h>
#include <ocidl.h>

#include "capture/MORVEN.h"
#include "tests/support/Frames.h"

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

// Registry reads under a root key. Text values are read wide.
bool keyExists(HKEY root, const std::string& path);
std::optional<std::wstring> readText(HKEY root, const std::string& path, const char* valueName = nullptr);
// Sorted names of the direct subkeys; nullopt when the key is missing.
std::optional<std::vector<std::string>> subkeyNames(HKEY root, const std::string& path);

// One counted reference.
template <class T>
class Ref {
public:
    Ref() = default;
    explicit Ref(T* p) : m_p(p) {}
    ~Ref() { reset(); }
    Ref(const Ref&) = delete;
    Ref& operator=(const Ref&) = delete;
    Ref(Ref&& other) noexcept : m_p(other.m_p) { other.m_p = nullptr; }

    T* get() const { return m_p; }
    T* operator->() const { return m_p; }
    explicit operator bool() const { return m_p != nullptr; }
    T** out()
    {
        reset();
        return &m_p;
    }
    void** outVoid() { return reinterpret_cast<void**>(out()); }
    void reset()
    {
        if (m_p)
            m_p->Release();
        m_p = nullptr;
    }

private:
    T* m_p = nullptr;
};

class Bstr {
public:
    Bstr() = default;
    explicit Bstr(const std::wstring& text) : m_b(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
    ~Bstr() { SysFreeString(m_b); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;

    BSTR get() const { return m_b; }
    BSTR* out()
    {
        SysFreeString(m_b);
        m_b = nullptr;
        return &m_b;
    }
    std::wstring str() const { return m_b ? std::wstring(m_b, SysStringLen(m_b)) : std::wstring(); }

private:
    BSTR m_b = nullptr;
};

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
