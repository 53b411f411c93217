// The class object of CCMORVENProc. The class table keeps one reference for the
// life of the module; every reference beyond that one locks the module.
#pragma once

#include "helpers/CriticalSectionInit.h"
#include "server/ClassTable.h"
#include "server/InterfaceTable.h"

class CCachedClassFactory : public IClassFactory {
public:
    // Raises CAtlException when one of its locks cannot be created.
    CCachedClassFactory();

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppv) override;
    HRESULT STDMETHODCALLTYPE LockServer(BOOL fLock) override;
    virtual ~CCachedClassFactory();

    LONG volatile m_nRefCount;
    // Created and deleted with the object, never entered.
    CSafeCriticalSection m_csObject;
    InstanceCreator m_pfnCreateInstance;
    // Held around every count change, so that the 1<->2 transitions and the
    // module lock move together.
    CSafeCriticalSection m_csCache;

    static const InterfaceEntry s_interfaces[];
};

// The class entry's class-object hook.
HRESULT createClassObject(InstanceCreator pfnCreateInstance, REFIID riid, void** ppv);
