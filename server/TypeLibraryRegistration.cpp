#include "server/TypeLibraryRegistration.h"

#include "helpers/ConversionCodePage.h"
#include "helpers/Win32Result.h"
#include "platform/Kernel.h"
#include "platform/Shell.h"

namespace {

const WCHAR kTypeLibraryExtension[] = {'.', 't', 'l', 'b', 0};

// The text of the path up to and including its last separator, or nothing.
void helpDirectoryOf(LPCWSTR path, WCHAR (&directory)[MAX_PATH])
{
    int length = 0;
    while (length < MAX_PATH - 1 && path[length] != 0) {
        directory[length] = path[length];
        ++length;
    }
    directory[length] = 0;
    int cut = 0;
    for (int i = 0; i < length; ++i) {
        if (directory[i] == '\\' || directory[i] == '/' || directory[i] == ':')
            cut = i + 1;
    }
    directory[cut] = 0;
}

void releaseLoaded(BSTR bstrPath, ITypeLib* pTypeLib)
{
    if (pTypeLib != nullptr)
        pTypeLib->Release();
    SysFreeString(bstrPath);
}

} // namespace

HRESULT loadTypeLibrary(HMODULE hModule, BSTR* pbstrPath, ITypeLib** ppTypeLib)
{
    *pbstrPath = nullptr;
    *ppTypeLib = nullptr;

    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(hModule, path, MAX_PATH);
    if (length == 0)
        return hresultFromLastError();
    if (length == MAX_PATH) // the path may have been cut
        return hresultFromWin32(ERROR_INSUFFICIENT_BUFFER);

    LPSTR extension = PathFindExtensionA(path);
    WCHAR widePath[MAX_PATH];
    if (ansiToWide(widePath, path, MAX_PATH) == nullptr)
        return E_OUTOFMEMORY;

    HRESULT hr = LoadTypeLib(widePath, ppTypeLib);
    if (FAILED(hr)) {
        // No type library in the module itself: try the ".tlb" file of the same name.
        ptrdiff_t position = extension - path;
        if (position + 5 > MAX_PATH)
            return E_FAIL;
        for (int i = 0; i < 5; ++i)
            extension[i] = static_cast<char>(kTypeLibraryExtension[i]);
        if (ansiToWide(widePath, path, MAX_PATH) == nullptr)
            return E_OUTOFMEMORY;
        hr = LoadTypeLib(widePath, ppTypeLib);
        if (FAILED(hr))
            return hr;
    }

    *pbstrPath = SysAllocString(widePath);
    if (*pbstrPath == nullptr)
        hr = E_OUTOFMEMORY;
    return hr;
}

HRESULT registerTypeLibrary(HMODULE hModule)
{
    BSTR bstrPath = nullptr;
    ITypeLib* pTypeLib = nullptr;
    HRESULT hr = loadTypeLibrary(hModule, &bstrPath, &pTypeLib);
    if (SUCCEEDED(hr)) {
        WCHAR helpDirectory[MAX_PATH];
        helpDirectoryOf(bstrPath, helpDirectory);
        hr = RegisterTypeLib(pTypeLib, bstrPath, helpDirectory);
    }
    releaseLoaded(bstrPath, pTypeLib);
    return hr;
}

HRESULT unregisterTypeLibrary(HMODULE hModule)
{
    BSTR bstrPath = nullptr;
    ITypeLib* pTypeLib = nullptr;
    HRESULT hr = loadTypeLibrary(hModule, &bstrPath, &pTypeLib);
    if (SUCCEEDED(hr)) {
        TLIBATTR* pAttributes = nullptr;
        hr = pTypeLib->GetLibAttr(&pAttributes);
        if (SUCCEEDED(hr)) {
            hr = UnRegisterTypeLib(pAttributes->guid, pAttributes->wMajorVerNum, pAttributes->wMinorVerNum,
                                   pAttributes->lcid, pAttributes->syskind);
            pTypeLib->ReleaseTLibAttr(pAttributes);
        }
    }
    releaseLoaded(bstrPath, pTypeLib);
    return hr;
}
