#include "registry/RegistryRunner.h"

#include "helpers/AtlException.h"
#include "helpers/ConversionCodePage.h"
#include "helpers/Win32Result.h"
#include "platform/Com.h"
#include "platform/Kernel.h"
#include "platform/Shell.h"
#include "registry/ProgramCheck.h"
#include "registry/ProgramRun.h"

#include <cstddef>
#include <cstring>
#include <new>

namespace {

// A wide string converted to narrow text, in an inline area when short.
class NarrowText {
public:
    NarrowText() = default;
    ~NarrowText()
    {
        if (m_pText != m_inline)
            delete[] m_pText;
    }
    NarrowText(const NarrowText&) = delete;
    NarrowText& operator=(const NarrowText&) = delete;

    // Null converts to null. False when the text cannot be converted.
    bool convert(LPCOLESTR source)
    {
        if (source == nullptr)
            return true;
        // Ask for the exact size: a code page may need more than two bytes a character.
        int bytes = WideCharToMultiByte(getConversionCodePage(), 0, source, -1, nullptr, 0, nullptr, nullptr);
        if (bytes <= 0)
            return false;
        LPSTR buffer = static_cast<size_t>(bytes) <= sizeof(m_inline) ? m_inline : new (std::nothrow) char[bytes];
        if (buffer == nullptr)
            return false;
        m_pText = buffer;
        return wideToAnsi(buffer, source, bytes) != nullptr;
    }

    LPCSTR text() const { return m_pText; }

private:
    char m_inline[128];
    LPSTR m_pText = nullptr;
};

// An exception that carries success would turn a failure into success.
HRESULT failureOf(const CAtlException& e)
{
    return FAILED(e.m_hr) ? e.m_hr : E_FAIL;
}

} // namespace

HRESULT STDMETHODCALLTYPE RegistryRunner::QueryInterface(REFIID riid, void** ppvObject)
{
    if (ppvObject == nullptr)
        return E_POINTER;
    *ppvObject = nullptr;
    if (IsEqualGUID(riid, IID_IUnknown) || IsEqualGUID(riid, IID_IRegistryVariables)) {
        *ppvObject = static_cast<IRegistryVariables*>(this);
        return S_OK;
    }
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE RegistryRunner::AddRef()
{
    return 1;
}

ULONG STDMETHODCALLTYPE RegistryRunner::Release()
{
    return 1;
}

HRESULT STDMETHODCALLTYPE RegistryRunner::SetVariable(LPCOLESTR name, LPCOLESTR value)
{
    try {
        NarrowText narrowName;
        NarrowText narrowValue;
        if (!narrowName.convert(name) || !narrowValue.convert(value))
            return E_OUTOFMEMORY;
        return SetVariableA(narrowName.text(), narrowValue.text());
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

HRESULT STDMETHODCALLTYPE RegistryRunner::ClearVariables()
{
    m_replacementMap.clear();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE RegistryRunner::SetVariableA(LPCSTR name, LPCSTR value)
{
    return m_replacementMap.add(name, value);
}

RegistryRunner::~RegistryRunner()
{
    // The replacement map follows the interface table directly.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winvalid-offsetof"
    static_assert(offsetof(RegistryRunner, m_replacementMap) == sizeof(void*));
#pragma GCC diagnostic pop
    m_replacementMap.clear();
}

HRESULT RegistryRunner::RunProgram(const RegistryProgram& program, BOOL bRegister)
{
    try {
        HRESULT hr = checkRegistryProgram(program);
        if (FAILED(hr))
            return hr;
        return runCheckedProgram(m_replacementMap, program, bRegister != FALSE);
    } catch (const CAtlException& e) {
        return failureOf(e);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_FAIL;
    }
}

HRESULT RegistryRunner::AddStandardVariables(const RegistryModule& module)
{
    try {
        HMODULE hInstance = module.moduleHandle();
        char path[MAX_PATH];
        DWORD length = GetModuleFileNameA(hInstance, path, MAX_PATH);
        if (length == 0) {
            HRESULT hr = hresultFromLastError();
            return FAILED(hr) ? hr : E_FAIL;
        }
        if (length == MAX_PATH)
            return hresultFromWin32(ERROR_INSUFFICIENT_BUFFER);

        // An executable's path may hold spaces and is run as a command line.
        char quoted[MAX_PATH + 2];
        LPCSTR modulePath = path;
        if (hInstance == nullptr || hInstance == GetModuleHandleA(nullptr)) {
            quoted[0] = '"';
            std::memcpy(quoted + 1, path, length);
            quoted[length + 1] = '"';
            quoted[length + 2] = '\0';
            modulePath = quoted;
        }
        HRESULT hr = SetVariableA("Module", modulePath);
        if (FAILED(hr))
            return hr;
        hr = SetVariableA("Module_Raw", path);
        if (FAILED(hr))
            return hr;

        LPOLESTR typeLibraryText = nullptr;
        hr = StringFromCLSID(module.typeLibraryId(), &typeLibraryText);
        if (FAILED(hr))
            return hr;
        // The braced text form is 38 characters; any code page may take two bytes for each.
        char typeLibraryId[2 * 39];
        LPSTR narrowId = wideToAnsi(typeLibraryId, typeLibraryText, sizeof(typeLibraryId));
        CoTaskMemFree(typeLibraryText);
        hr = SetVariableA("MODULEGUID", narrowId);
        if (FAILED(hr))
            return hr;

        SHFILEINFOA fileInfo = {};
        bool bExecutable = SHGetFileInfoA(path, 0, &fileInfo, sizeof(fileInfo), SHGFI_EXETYPE) != 0;
        hr = SetVariableA("MODULETYPE", bExecutable ? "LocalServer32" : "InprocServer32");
        if (FAILED(hr))
            return hr;

        return module.addCommonVariables(this);
    } catch (const CAtlException& e) {
        return failureOf(e);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_FAIL;
    }
}
