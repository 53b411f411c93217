// CoGetClassObject and CoCreateInstance: built-in classes first, then the
// in-process server registered under HKEY_CLASSES_ROOT\CLSID\{...}\InprocServer32.
#include "platform/linux/BuiltinClasses.h"
#include "platform/linux/com/Apartment.h"
#include "platform/linux/com/BuiltinClassObject.h"
#include "platform/linux/com/RegisteredClasses.h"
#include "platform/linux/com/ServerModules.h"

HRESULT STDAPICALLTYPE CoGetClassObject(REFCLSID rclsid, DWORD dwClsContext, LPVOID /*pvReserved*/, REFIID riid,
                                        LPVOID* ppv)
{
    if (!ppv)
        return E_INVALIDARG;
    *ppv = nullptr;
    if (!comrt::comUsableOnThisThread())
        return CO_E_NOTINITIALIZED;
    // Only in-process servers exist here.
    if ((dwClsContext & CLSCTX_INPROC_SERVER) == 0)
        return REGDB_E_CLASSNOTREG;
    if (const comrt::BuiltinClass* builtin = comrt::findBuiltinClass(rclsid))
        return comrt::getBuiltinClassObject(*builtin, riid, ppv);
    std::string path;
    HRESULT hr = comrt::findInprocServer(rclsid, path);
    if (FAILED(hr))
        return hr;
    hr = comrt::getServerClassObject(path, rclsid, riid, ppv);
    if (FAILED(hr) && *ppv)
        *ppv = nullptr; // a failing server must not leave a pointer behind
    return hr;
}

HRESULT STDAPICALLTYPE CoCreateInstance(REFCLSID rclsid, IUnknown* pUnkOuter, DWORD dwClsContext, REFIID riid,
                                        LPVOID* ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    IClassFactory* factory = nullptr;
    HRESULT hr = CoGetClassObject(rclsid, dwClsContext, nullptr, IID_IClassFactory, reinterpret_cast<void**>(&factory));
    if (FAILED(hr))
        return hr;
    if (!factory)
        return E_UNEXPECTED;
    hr = factory->CreateInstance(pUnkOuter, riid, ppv);
    factory->Release();
    if (FAILED(hr))
        *ppv = nullptr;
    return hr;
}
