// Registered type libraries: RegisterTypeLib, UnRegisterTypeLib, and finding a
// registered library again (LoadRegTypeLib, QueryPathOfRegTypeLib).
//
// HKCR\TypeLib\{libid}\<major>.<minor>          default: the library's help string
//                                  \<lcid>\<syskind>   default: the file's path
//                                  \FLAGS              default: the library flags
//                                  \HELPDIR            default: the help directory
// HKCR\Interface\{iid} for each automation-compatible interface of the library.
// Versions and locales are written in lower-case hexadecimal.
#include "platform/Kernel.h"
#include "platform/Registry.h"
#include "platform/TypeLib.h"

#include "platform/linux/registry/KeyHandle.h"
#include "platform/linux/typelib/TypeLibText.h"

#include <cstdio>
#include <initializer_list>
#include <new>
#include <optional>
#include <string>
#include <vector>

namespace comrt::typelib {
namespace {

using registry::KeyHandle;

// The standard marshaler of automation-compatible interfaces.
constexpr char kAutomationProxy[] = "{00020424-0000-0000-C000-000000000046}";

std::string hex(DWORD value)
{
    char text[16];
    std::snprintf(text, sizeof text, "%x", value);
    return text;
}

std::string versionName(WORD major, WORD minor)
{
    return hex(major) + "." + hex(minor);
}

const char* syskindName(SYSKIND syskind)
{
    switch (syskind) {
    case SYS_WIN16:
        return "win16";
    case SYS_WIN32:
        return "win32";
    case SYS_MAC:
        return "mac";
    case SYS_WIN64:
        return "win64";
    }
    return nullptr;
}

std::string libraryKeyPath(REFGUID libid)
{
    return "TypeLib\\" + guidText(libid);
}

// "<major>.<minor>" in hexadecimal, as registration writes it.
bool parseVersion(const std::string& name, WORD& major, WORD& minor)
{
    unsigned long parts[2] = {0, 0};
    size_t part = 0;
    size_t digits = 0;
    for (char c : name) {
        int value = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
        if (c == '.' && part == 0 && digits > 0) {
            part = 1;
            digits = 0;
        } else if (value >= 0 && digits < 4) {
            parts[part] = parts[part] * 16 + value;
            ++digits;
        } else {
            return false;
        }
    }
    if (part != 1 || digits == 0)
        return false;
    major = static_cast<WORD>(parts[0]);
    minor = static_cast<WORD>(parts[1]);
    return true;
}

// The registered version with this major number and the highest minor number
// not below the one asked for.
std::optional<std::string> findVersion(const KeyHandle& libraryKey, WORD major, WORD minor)
{
    std::optional<std::string> best;
    WORD bestMinor = 0;
    for (const std::string& name : libraryKey.subkeyNames().value_or(std::vector<std::string>())) {
        WORD foundMajor = 0;
        WORD foundMinor = 0;
        if (!parseVersion(name, foundMajor, foundMinor) || foundMajor != major || foundMinor < minor)
            continue;
        if (!best || foundMinor > bestMinor) {
            best = name;
            bestMinor = foundMinor;
        }
    }
    return best;
}

// The path registered for a library: the exact locale first, then its primary
// language with the neutral sublanguage, then the neutral locale. A library
// registered under 0x409 is therefore not found for locale 0.
std::optional<std::u16string> registeredPath(REFGUID libid, WORD major, WORD minor, LCID lcid)
{
    KeyHandle libraryKey;
    if (!libraryKey.open(HKEY_CLASSES_ROOT, libraryKeyPath(libid), KEY_READ))
        return std::nullopt;
    std::optional<std::string> version = findVersion(libraryKey, major, minor);
    KeyHandle versionKey;
    if (!version || !versionKey.open(libraryKey.get(), *version, KEY_READ))
        return std::nullopt;
    LANGID language = static_cast<LANGID>(lcid & 0xFFFF);
    LCID candidates[] = {lcid, LCID(MAKELANGID(language & 0x3FF, SUBLANG_NEUTRAL)), LOCALE_NEUTRAL};
    for (size_t i = 0; i < 3; ++i) {
        if ((i == 1 && candidates[1] == candidates[0]) || (i == 2 && candidates[2] == candidates[1]))
            continue;
        for (const char* system : {"win32", "win64"}) {
            KeyHandle pathKey;
            if (!pathKey.open(versionKey.get(), hex(candidates[i]) + "\\" + system, KEY_READ))
                continue;
            std::optional<std::string> path = pathKey.text();
            if (path && !path->empty())
                return wideFromAnsi(*path);
        }
    }
    return std::nullopt;
}

// Interfaces the registry describes so that the standard marshaler can reach them.
bool needsInterfaceKey(const TYPEATTR& attr)
{
    return attr.typekind == TKIND_DISPATCH ||
           (attr.typekind == TKIND_INTERFACE && (attr.wTypeFlags & (TYPEFLAG_FOLEAUTOMATION | TYPEFLAG_FDUAL)));
}

// Calls `visit(attr, info)` for each type of the library that gets an Interface key.
template <typename Visit>
HRESULT forEachRegisteredInterface(ITypeLib* lib, Visit visit)
{
    UINT count = lib->GetTypeInfoCount();
    for (UINT i = 0; i < count; ++i) {
        ITypeInfo* info = nullptr;
        HRESULT hr = lib->GetTypeInfo(i, &info);
        if (FAILED(hr))
            return hr;
        TYPEATTR* attr = nullptr;
        hr = info->GetTypeAttr(&attr);
        if (SUCCEEDED(hr)) {
            if (needsInterfaceKey(*attr))
                hr = visit(*attr, info);
            info->ReleaseTypeAttr(attr);
        }
        info->Release();
        if (FAILED(hr))
            return hr;
    }
    return S_OK;
}

HRESULT registerInterface(const TYPEATTR& attr, ITypeInfo* info, const std::string& libid, const std::string& version)
{
    BSTR name = nullptr;
    HRESULT hr = info->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr);
    if (FAILED(hr))
        return hr;
    std::optional<std::string> ansiName = ansiFromWide(name ? std::u16string(name, SysStringLen(name)) : u"");
    SysFreeString(name);
    KeyHandle key;
    KeyHandle typeLibKey;
    bool written = ansiName && key.create(HKEY_CLASSES_ROOT, "Interface\\" + guidText(attr.guid)) &&
                   key.setText(nullptr, *ansiName) && key.createWithText("ProxyStubClsid", kAutomationProxy) &&
                   key.createWithText("ProxyStubClsid32", kAutomationProxy) &&
                   typeLibKey.create(key.get(), "TypeLib") && typeLibKey.setText(nullptr, libid) &&
                   typeLibKey.setText("Version", version);
    return written ? S_OK : TYPE_E_REGISTRYACCESS;
}

// An Interface key goes only when it still names this library.
HRESULT unregisterInterface(const TYPEATTR& attr, const std::string& libid)
{
    std::string path = "Interface\\" + guidText(attr.guid);
    {
        KeyHandle typeLibKey;
        if (!typeLibKey.open(HKEY_CLASSES_ROOT, path + "\\TypeLib", KEY_READ))
            return S_OK;
        std::optional<std::string> owner = typeLibKey.text();
        if (!owner || lstrcmpiA(owner->c_str(), libid.c_str()) != 0)
            return S_OK;
    }
    return RegDeleteTreeA(HKEY_CLASSES_ROOT, path.c_str()) == ERROR_SUCCESS ? S_OK : TYPE_E_REGISTRYACCESS;
}

std::string directoryOf(const std::u16string& path)
{
    size_t cut = path.find_last_of(u"/\\");
    if (cut == std::u16string::npos)
        return {};
    return ansiFromWide(path.substr(0, cut)).value_or(std::string());
}

HRESULT registerLibrary(ITypeLib* lib, const OLECHAR* fullPath, const OLECHAR* helpDir)
{
    TLIBATTR* attr = nullptr;
    HRESULT hr = lib->GetLibAttr(&attr);
    if (FAILED(hr))
        return hr;
    TLIBATTR libAttr = *attr;
    lib->ReleaseTLibAttr(attr);
    const char* system = syskindName(libAttr.syskind);
    if (system == nullptr)
        return E_INVALIDARG;

    BSTR doc = nullptr;
    hr = lib->GetDocumentation(-1, nullptr, &doc, nullptr, nullptr);
    if (FAILED(hr))
        return hr;
    std::optional<std::string> ansiDoc;
    if (doc != nullptr)
        ansiDoc = ansiFromWide(std::u16string(doc, SysStringLen(doc)));
    SysFreeString(doc);

    std::u16string path(fullPath);
    std::optional<std::string> ansiPath = ansiFromWide(path);
    if (!ansiPath)
        return E_INVALIDARG;
    std::optional<std::string> ansiHelpDir;
    if (helpDir != nullptr)
        ansiHelpDir = ansiFromWide(std::u16string(helpDir));

    std::string libid = guidText(libAttr.guid);
    std::string version = versionName(libAttr.wMajorVerNum, libAttr.wMinorVerNum);
    KeyHandle versionKey;
    if (!versionKey.create(HKEY_CLASSES_ROOT, libraryKeyPath(libAttr.guid) + "\\" + version))
        return TYPE_E_REGISTRYACCESS;
    if (ansiDoc && !versionKey.setText(nullptr, *ansiDoc))
        return TYPE_E_REGISTRYACCESS;
    if (!versionKey.createWithText(hex(libAttr.lcid) + "\\" + system, *ansiPath) ||
        !versionKey.createWithText("FLAGS", std::to_string(libAttr.wLibFlags)))
        return TYPE_E_REGISTRYACCESS;
    // Without a help directory a new registration names the library's own
    // directory; an existing one keeps what it has.
    KeyHandle helpKey;
    DWORD disposition = 0;
    if (!helpKey.create(versionKey.get(), "HELPDIR", &disposition))
        return TYPE_E_REGISTRYACCESS;
    if (helpDir == nullptr && disposition == REG_CREATED_NEW_KEY)
        ansiHelpDir = directoryOf(path);
    if (ansiHelpDir && !helpKey.setText(nullptr, *ansiHelpDir))
        return TYPE_E_REGISTRYACCESS;

    return forEachRegisteredInterface(lib, [&](const TYPEATTR& typeAttr, ITypeInfo* info) {
        return registerInterface(typeAttr, info, libid, version);
    });
}

// Whether every name is one of `allowed`, ignoring case.
bool holdsOnly(const std::vector<std::string>& names, std::initializer_list<const char*> allowed)
{
    for (const std::string& name : names) {
        bool found = false;
        for (const char* other : allowed)
            found = found || lstrcmpiA(name.c_str(), other) == 0;
        if (!found)
            return false;
    }
    return true;
}

HRESULT unregisterLibrary(REFGUID libid, WORD major, WORD minor, LCID lcid, SYSKIND syskind)
{
    const char* system = syskindName(syskind);
    if (system == nullptr)
        return E_INVALIDARG;
    std::string libidText = guidText(libid);
    std::string version = versionName(major, minor);
    std::string locale = hex(lcid);

    KeyHandle libraryKey;
    KeyHandle versionKey;
    KeyHandle localeKey;
    KeyHandle pathKey;
    if (!libraryKey.open(HKEY_CLASSES_ROOT, libraryKeyPath(libid), KEY_ALL_ACCESS) ||
        !versionKey.open(libraryKey.get(), version, KEY_ALL_ACCESS) ||
        !localeKey.open(versionKey.get(), locale, KEY_ALL_ACCESS) || !pathKey.open(localeKey.get(), system, KEY_READ))
        return E_INVALIDARG;
    std::optional<std::string> ansiPath = pathKey.text();
    pathKey.close();
    if (!ansiPath)
        return E_INVALIDARG;

    // The Interface keys are found through the library itself; one whose file
    // is gone can still have its own keys removed.
    std::optional<std::u16string> path = wideFromAnsi(*ansiPath);
    ITypeLib* lib = nullptr;
    if (path && SUCCEEDED(LoadTypeLib(path->c_str(), &lib))) {
        HRESULT hr = forEachRegisteredInterface(
            lib, [&](const TYPEATTR& attr, ITypeInfo*) { return unregisterInterface(attr, libidText); });
        lib->Release();
        if (FAILED(hr))
            return hr;
    }

    // One removal, of the widest key that holds nothing but this registration:
    // a failure then leaves the registration whole, and a second call finds it.
    std::optional<std::vector<std::string>> inLocale = localeKey.subkeyNames();
    std::optional<std::vector<std::string>> inVersion = versionKey.subkeyNames();
    std::optional<std::vector<std::string>> inLibrary = libraryKey.subkeyNames();
    if (!inLocale || !inVersion || !inLibrary)
        return TYPE_E_REGISTRYACCESS;
    const bool localeGoes = holdsOnly(*inLocale, {system});
    const bool versionGoes = localeGoes && holdsOnly(*inVersion, {locale.c_str(), "FLAGS", "HELPDIR"});
    const bool libraryGoes = versionGoes && holdsOnly(*inLibrary, {version.c_str()});
    LONG rc = ERROR_SUCCESS;
    if (!localeGoes) {
        rc = RegDeleteKeyA(localeKey.get(), system);
    } else if (!versionGoes) {
        localeKey.close();
        rc = RegDeleteTreeA(versionKey.get(), locale.c_str());
    } else if (!libraryGoes) {
        localeKey.close();
        versionKey.close();
        rc = RegDeleteTreeA(libraryKey.get(), version.c_str());
    } else {
        localeKey.close();
        versionKey.close();
        libraryKey.close();
        rc = RegDeleteTreeA(HKEY_CLASSES_ROOT, libraryKeyPath(libid).c_str());
    }
    if (rc != ERROR_SUCCESS)
        return TYPE_E_REGISTRYACCESS;
    return S_OK;
}

} // namespace
} // namespace comrt::typelib

using namespace comrt::typelib;

HRESULT STDAPICALLTYPE RegisterTypeLib(ITypeLib* ptlib, OLECHAR* szFullPath, OLECHAR* szHelpDir)
{
    if (ptlib == nullptr || szFullPath == nullptr || szFullPath[0] == 0)
        return E_INVALIDARG;
    try {
        return registerLibrary(ptlib, szFullPath, szHelpDir);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

HRESULT STDAPICALLTYPE UnRegisterTypeLib(REFGUID libID, WORD wVerMajor, WORD wVerMinor, LCID lcid, SYSKIND syskind)
{
    try {
        return unregisterLibrary(libID, wVerMajor, wVerMinor, lcid, syskind);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

HRESULT STDAPICALLTYPE QueryPathOfRegTypeLib(REFGUID guid, WORD wMaj, WORD wMin, LCID lcid, BSTR* lpbstrPath)
{
    if (lpbstrPath == nullptr)
        return E_INVALIDARG;
    *lpbstrPath = nullptr;
    try {
        std::optional<std::u16string> path = registeredPath(guid, wMaj, wMin, lcid);
        if (!path)
            return TYPE_E_LIBNOTREGISTERED;
        *lpbstrPath = SysAllocStringLen(path->data(), static_cast<UINT>(path->size()));
        return *lpbstrPath != nullptr ? S_OK : E_OUTOFMEMORY;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

HRESULT STDAPICALLTYPE LoadRegTypeLib(REFGUID rguid, WORD wVerMajor, WORD wVerMinor, LCID lcid, ITypeLib** pptlib)
{
    if (pptlib == nullptr)
        return E_INVALIDARG;
    *pptlib = nullptr;
    try {
        std::optional<std::u16string> path = registeredPath(rguid, wVerMajor, wVerMinor, lcid);
        if (!path)
            return TYPE_E_LIBNOTREGISTERED;
        HRESULT hr = LoadTypeLib(path->c_str(), pptlib);
        if (FAILED(hr))
            return hr;
        // The file may since have been replaced by another version of the library.
        TLIBATTR* attr = nullptr;
        hr = (*pptlib)->GetLibAttr(&attr);
        if (SUCCEEDED(hr)) {
            bool matches = attr->guid == rguid && attr->wMajorVerNum == wVerMajor && attr->wMinorVerNum >= wVerMinor;
            (*pptlib)->ReleaseTLibAttr(attr);
            if (!matches)
                hr = TYPE_E_LIBNOTREGISTERED;
        }
        if (FAILED(hr)) {
            (*pptlib)->Release();
            *pptlib = nullptr;
        }
        return hr;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}
