// CCMORVENProc made inside an outer object. The outer object alone sees the
// inner IUnknown, which counts the references; the contained object's
// interfaces hand everything to the outer object.
#pragma once

#include "server/CMORVENProcObject.h"

// Laid out like CStandaloneInstance, with the outer IUnknown in the counting word.
class CContainedObject final : public CCMORVENProcObject {
public:
    explicit CContainedObject(IUnknown* pUnkOuter);
    ~CContainedObject() override = default;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // The table walk over this object's own interfaces, for the inner IUnknown.
    HRESULT internalQueryInterface(REFIID riid, void** ppv);
};

class CAggregatedInstance final : public IUnknown {
public:
    explicit CAggregatedInstance(IUnknown* pUnkOuter);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // Makes an instance inside pUnkOuter and hands out riid on the inner
    // IUnknown; nothing is left behind on failure.
    static HRESULT create(IUnknown* pUnkOuter, REFIID riid, void** ppv);

private:
    virtual ~CAggregatedInstance() = default;
    void destroy();

    LONG m_nInnerRefCount;
    CContainedObject m_contained;
};
