// Type libraries: loading failures, registration and removal, and which
// versions and locales LoadRegTypeLib finds.
#include "tests/platform/api/ApiEnvironment.h"

#include <string>

using namespace apitest;

namespace {

ITypeLib* const kSentinelLibrary = reinterpret_cast<ITypeLib*>(static_cast<ULONG_PTR>(0xdeadbeef));
const GUID kUnknownLibrary = {0x6e2a4b1d, 0x13f0, 0x4c8e, {0x9d, 0x4a, 0x1b, 0x7f, 0x2c, 0x55, 0x03, 0xe2}};

std::string hr(HRESULT value)
{
    return hex(static_cast<ULONG>(value));
}

// The library's key under HKEY_CLASSES_ROOT, as text.
std::string libraryKey(const GUID& id)
{
    OLECHAR text[CHARS_IN_GUID];
    StringFromGUID2(id, text, CHARS_IN_GUID);
    return "TypeLib\\" + apitest::text(text);
}

TEST(TypeLib, LoadFailures)
{
    ITypeLib* lib = kSentinelLibrary;
    HRESULT result = LoadTypeLib(OLESTR("no-such-library.tlb"), &lib);
    ok(result == TYPE_E_CANTLOADLIBRARY) << hr(result);
    ok(lib == nullptr) << lib;

    lib = kSentinelLibrary;
    const OleString plain = plainFile();
    result = LoadTypeLib(plain.c_str(), &lib);
    ok(result == TYPE_E_CANTLOADLIBRARY) << "a module without a library: " << hr(result);
    ok(lib == nullptr) << lib;

    lib = kSentinelLibrary;
    result = LoadTypeLib(nullptr, &lib);
    ok(result == E_INVALIDARG) << hr(result);
    const OleString module = typeLibraryModule();
    result = LoadTypeLib(module.c_str(), nullptr);
    ok(result == E_INVALIDARG) << hr(result);

    lib = kSentinelLibrary;
    result = LoadRegTypeLib(kUnknownLibrary, 1, 0, 0x409, &lib);
    ok(result == TYPE_E_LIBNOTREGISTERED) << hr(result);
    ok(lib == nullptr) << lib;
}

TEST(TypeLib, RegistrationVersionsAndLocales)
{
    CoInitialize(nullptr);
    OleString module = typeLibraryModule();
    ITypeLib* lib = kSentinelLibrary;
    HRESULT result = LoadTypeLib(module.c_str(), &lib);
    ok(result == S_OK) << text(module.c_str()) << ": " << hr(result);
    if (result != S_OK) {
        CoUninitialize();
        return;
    }
    TLIBATTR* attr = nullptr;
    ok(lib->GetLibAttr(&attr) == S_OK);
    const GUID id = attr->guid;
    const WORD major = attr->wMajorVerNum, minor = attr->wMinorVerNum;
    const LCID lcid = attr->lcid;
    const SYSKIND syskind = attr->syskind;
    const WORD libFlags = attr->wLibFlags;
    lib->ReleaseTLibAttr(attr);
    ok(major == 1 && minor == 0) << major << "." << minor;
    ok(lcid == 0x409) << hex(lcid);

    ok(RegisterTypeLib(nullptr, &module[0], nullptr) == E_INVALIDARG);
    OleString folder = module.substr(0, module.find_last_of(OLESTR("\\/")) + 1);
    result = RegisterTypeLib(lib, &module[0], &folder[0]);
    ok(result == S_OK) << hr(result);
    lib->Release();

    // The keys the platform writes.
    const std::string key = libraryKey(id);
    HKEY version = nullptr;
    LONG rc = RegOpenKeyExA(HKEY_CLASSES_ROOT, (key + "\\1.0").c_str(), 0, KEY_READ, &version);
    ok(rc == ERROR_SUCCESS) << key << ": " << rc;
    char data[MAX_PATH];
    DWORD size = sizeof data;
    rc = RegQueryValueExA(version, "", nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size);
    ok(rc == ERROR_SUCCESS) << "the help string as the default value: " << rc;
    size = sizeof data;
    HKEY flags = nullptr;
    ok(RegOpenKeyExA(version, "FLAGS", 0, KEY_READ, &flags) == ERROR_SUCCESS);
    rc = RegQueryValueExA(flags, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size);
    ok(rc == ERROR_SUCCESS && std::string(data) == std::to_string(libFlags)) << rc << " " << data;
    RegCloseKey(flags);
    HKEY helpDir = nullptr;
    ok(RegOpenKeyExA(version, "HELPDIR", 0, KEY_READ, &helpDir) == ERROR_SUCCESS);
    RegCloseKey(helpDir);
    HKEY locale = nullptr;
    rc = RegOpenKeyExA(version, "409", 0, KEY_READ, &locale);
    ok(rc == ERROR_SUCCESS) << "registered under the library's own locale: " << rc;
    char platform[16];
    DWORD platformSize = sizeof platform;
    rc = RegEnumKeyExA(locale, 0, platform, &platformSize, nullptr, nullptr, nullptr, nullptr);
    ok(rc == ERROR_SUCCESS && (std::string(platform) == "win32" || std::string(platform) == "win64")) << rc;
    RegCloseKey(locale);
    RegCloseKey(version);

    // Found by its major version with a minor as high, and by its locale: a
    // locale falls back to its language and to neutral, never to another locale.
    struct Find {
        WORD major;
        WORD minor;
        LCID lcid;
        HRESULT expected;
    } finds[] = {
        {1, 0, 0x409, S_OK},
        {1, 0, 0, TYPE_E_LIBNOTREGISTERED},
        {1, 0, 0x809, TYPE_E_LIBNOTREGISTERED},
        {1, 0, 0x804, TYPE_E_LIBNOTREGISTERED},
        {1, 1, 0x409, TYPE_E_LIBNOTREGISTERED},
        {2, 0, 0x409, TYPE_E_LIBNOTREGISTERED},
        {0, 0, 0x409, TYPE_E_LIBNOTREGISTERED},
    };
    for (const Find& f : finds) {
        lib = kSentinelLibrary;
        result = LoadRegTypeLib(id, f.major, f.minor, f.lcid, &lib);
        ok(result == f.expected) << f.major << "." << f.minor << " " << hex(f.lcid) << ": " << hr(result);
        if (result == S_OK && lib != kSentinelLibrary && lib)
            lib->Release();
        else
            ok(lib == nullptr) << lib;
    }
    BSTR path = nullptr;
    result = QueryPathOfRegTypeLib(id, 1, 0, 0x409, &path);
    ok(result == S_OK) << hr(result);
    ok(path && OleString(path) == module) << text(path);
    SysFreeString(path);

    result = UnRegisterTypeLib(id, 1, 0, 0x409, syskind);
    ok(result == S_OK) << hr(result);
    version = nullptr;
    rc = RegOpenKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &version);
    ok(rc == ERROR_FILE_NOT_FOUND) << "the whole library key goes: " << rc;
    result = UnRegisterTypeLib(id, 1, 0, 0x409, syskind);
    ok(result == TYPE_E_REGISTRYACCESS || result == E_INVALIDARG) << "a second time: " << hr(result);
    lib = kSentinelLibrary;
    result = LoadRegTypeLib(id, 1, 0, 0x409, &lib);
    ok(result == TYPE_E_LIBNOTREGISTERED) << hr(result);
    ok(lib == nullptr) << lib;
    CoUninitialize();
}

} // namespace
