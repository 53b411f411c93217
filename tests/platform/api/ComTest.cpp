// COM basics: apartment counts, class creation failures, GUID text, task memory.
#include "tests/platform/api/Conformance.h"

#include <cstring>

using namespace apitest;

namespace {

// A class nobody registers.
const CLSID kUnknownClass = {0x6e2a4b1d, 0x13f0, 0x4c8e, {0x9d, 0x4a, 0x1b, 0x7f, 0x2c, 0x55, 0x03, 0xe1}};
const GUID kSample = {0xFB82882C, 0xA2F5, 0x48F3, {0x8A, 0x8D, 0xF3, 0x36, 0x89, 0x03, 0x41, 0xD1}};
const CLSID kSentinelClass = {0xdeadbeef, 0xdead, 0xbeef, {1, 2, 3, 4, 5, 6, 7, 8}};
void* const kSentinelPointer = reinterpret_cast<void*>(static_cast<ULONG_PTR>(0xdeadbeef));

TEST(Com, ApartmentCounts)
{
    onNewThread([] {
        HRESULT hr = CoInitialize(nullptr);
        ok(hr == S_OK) << hex(static_cast<ULONG>(hr));
        hr = CoInitialize(nullptr);
        ok(hr == S_FALSE) << "counted again: " << hex(static_cast<ULONG>(hr));
        hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        ok(hr == S_FALSE) << hex(static_cast<ULONG>(hr));
        hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        ok(hr == RPC_E_CHANGED_MODE) << "another model, not counted: " << hex(static_cast<ULONG>(hr));
        CoUninitialize();
        CoUninitialize();
        CoUninitialize();
        // Fully uninitialised, the thread may choose the other model.
        hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        ok(hr == S_OK) << hex(static_cast<ULONG>(hr));
        hr = CoInitialize(nullptr);
        ok(hr == RPC_E_CHANGED_MODE) << hex(static_cast<ULONG>(hr));
        CoUninitialize();
        hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
        ok(hr == S_OK) << hex(static_cast<ULONG>(hr));
        CoUninitialize();
        // One uninitialise too many does nothing.
        CoUninitialize();
        hr = CoInitialize(nullptr);
        ok(hr == S_OK) << hex(static_cast<ULONG>(hr));
        CoUninitialize();
    });
}

TEST(Com, CreationFailures)
{
    // Without COM on the thread.
    onNewThread([] {
        IUnknown* object = static_cast<IUnknown*>(kSentinelPointer);
        HRESULT hr = CoCreateInstance(kUnknownClass, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                      reinterpret_cast<void**>(&object));
        ok(hr == CO_E_NOTINITIALIZED) << hex(static_cast<ULONG>(hr));
        ok(object == nullptr) << object;
        object = static_cast<IUnknown*>(kSentinelPointer);
        hr = CoGetClassObject(kUnknownClass, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                              reinterpret_cast<void**>(&object));
        ok(hr == CO_E_NOTINITIALIZED) << hex(static_cast<ULONG>(hr));
    });

    onNewThread([] {
        CoInitialize(nullptr);
        IUnknown* object = static_cast<IUnknown*>(kSentinelPointer);
        HRESULT hr = CoCreateInstance(kUnknownClass, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                      reinterpret_cast<void**>(&object));
        ok(hr == REGDB_E_CLASSNOTREG) << hex(static_cast<ULONG>(hr));
        ok(object == nullptr) << object;

        object = static_cast<IUnknown*>(kSentinelPointer);
        hr = CoGetClassObject(kUnknownClass, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                              reinterpret_cast<void**>(&object));
        ok(hr == REGDB_E_CLASSNOTREG) << hex(static_cast<ULONG>(hr));
        ok(object == nullptr) << object;

        hr = CoCreateInstance(kUnknownClass, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, nullptr);
        ok(hr == E_POINTER) << hex(static_cast<ULONG>(hr));
        hr = CoGetClassObject(kUnknownClass, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory, nullptr);
        ok(hr == E_INVALIDARG) << hex(static_cast<ULONG>(hr));
        CoUninitialize();
    });
}

TEST(Com, GuidText)
{
    OLECHAR buffer[CHARS_IN_GUID + 2];
    for (OLECHAR& c : buffer)
        c = 0x2323;
    int written = StringFromGUID2(kSample, buffer, CHARS_IN_GUID - 1);
    ok(written == 0) << "no room for the terminator: " << written;
    written = StringFromGUID2(kSample, buffer, CHARS_IN_GUID);
    ok(written == CHARS_IN_GUID) << written;
    ok(OleString(buffer) == OLESTR("{FB82882C-A2F5-48F3-8A8D-F336890341D1}")) << text(buffer);
    ok(buffer[CHARS_IN_GUID] == 0x2323) << "nothing past the terminator";
    written = StringFromGUID2(kSample, buffer, CHARS_IN_GUID + 2);
    ok(written == CHARS_IN_GUID) << written;
    written = StringFromGUID2(kSample, buffer, 0);
    ok(written == 0) << written;

    LPOLESTR allocated = static_cast<LPOLESTR>(kSentinelPointer);
    HRESULT hr = StringFromCLSID(kSample, &allocated);
    ok(hr == S_OK) << hex(static_cast<ULONG>(hr));
    ok(allocated != nullptr && allocated != kSentinelPointer);
    if (hr == S_OK) {
        ok(OleString(allocated) == OLESTR("{FB82882C-A2F5-48F3-8A8D-F336890341D1}")) << text(allocated);
        CoTaskMemFree(allocated);
    }

    // Parsing: either case, the null class for null, exact refusals.
    CLSID parsed = kSentinelClass;
    hr = CLSIDFromString(OLESTR("{fb82882c-a2f5-48f3-8A8D-f336890341d1}"), &parsed);
    ok(hr == S_OK) << hex(static_cast<ULONG>(hr));
    ok(IsEqualGUID(parsed, kSample));
    parsed = kSentinelClass;
    hr = CLSIDFromString(nullptr, &parsed);
    ok(hr == S_OK) << hex(static_cast<ULONG>(hr));
    ok(IsEqualGUID(parsed, GUID_NULL));
    parsed = kSentinelClass;
    hr = CLSIDFromString(OLESTR(""), &parsed);
    ok(hr == CO_E_CLASSSTRING) << hex(static_cast<ULONG>(hr));
    hr = CLSIDFromString(OLESTR("{FB82882C-A2F5-48F3-8A8D-F336890341D1}"), nullptr);
    ok(hr == E_INVALIDARG) << hex(static_cast<ULONG>(hr));
    for (const OLECHAR* malformed : {
             OLESTR("FB82882C-A2F5-48F3-8A8D-F336890341D1"),
             OLESTR("{FB82882C-A2F5-48F3-8A8D-F336890341D1"),
             OLESTR("{FB82882C-A2F5-48F3-8A8D-F336890341DG}"),
             OLESTR("{FB82882CA-2F5-48F3-8A8D-F336890341D1}"),
             OLESTR("{FB82}"),
         }) {
        parsed = kSentinelClass;
        hr = CLSIDFromString(malformed, &parsed);
        ok(hr == CO_E_CLASSSTRING) << text(malformed) << ": " << hex(static_cast<ULONG>(hr));
    }
}

TEST(Com, ProgIds)
{
    onNewThread([] {
        CoInitialize(nullptr);
        CLSID found = kSentinelClass;
        HRESULT hr = CLSIDFromProgID(OLESTR("Morven.NoSuchProgId.1"), &found);
        ok(hr == CO_E_CLASSSTRING) << hex(static_cast<ULONG>(hr));
        ok(IsEqualGUID(found, GUID_NULL)) << "a failed lookup writes the null class";
        hr = CLSIDFromProgID(nullptr, &found);
        ok(hr == E_INVALIDARG) << hex(static_cast<ULONG>(hr));
        hr = CLSIDFromProgID(OLESTR("Morven.NoSuchProgId.1"), nullptr);
        ok(hr == E_INVALIDARG) << hex(static_cast<ULONG>(hr));

        // A ProgID the tests register for themselves.
        HKEY key = nullptr;
        ok(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Classes\\Morven.ApiTest\\CLSID", 0, nullptr, 0,
                           KEY_ALL_ACCESS, nullptr, &key, nullptr) == ERROR_SUCCESS);
        const char text[] = "{FB82882C-A2F5-48F3-8A8D-F336890341D1}";
        ok(RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), sizeof text) ==
           ERROR_SUCCESS);
        RegCloseKey(key);
        found = kSentinelClass;
        hr = CLSIDFromProgID(OLESTR("morven.apitest"), &found);
        ON_LINUX_RUNTIME_DIFFERS("HKEY_CLASSES_ROOT is a root of its own, not a view of the user's and the machine's classes")
        ON_WINE_DIFFERS("Wine's HKEY_CLASSES_ROOT does not show the user's classes")
        ok(hr == S_OK && IsEqualGUID(found, kSample)) << hex(static_cast<ULONG>(hr));
        RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Classes\\Morven.ApiTest");
        CoUninitialize();
    });
}

TEST(Com, TaskMemory)
{
    char* block = static_cast<char*>(CoTaskMemAlloc(16));
    ok(block != nullptr);
    std::memcpy(block, "abc", 4);
    block = static_cast<char*>(CoTaskMemRealloc(block, 4096));
    ok(block != nullptr && std::strcmp(block, "abc") == 0);
    CoTaskMemFree(block);
    void* empty = CoTaskMemAlloc(0);
    ok(empty != nullptr) << "a zero-byte block is a block";
    CoTaskMemFree(empty);
    ok(CoTaskMemAlloc(~static_cast<SIZE_T>(0)) == nullptr);
    CoTaskMemFree(nullptr);
}

} // namespace
