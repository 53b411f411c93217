// What both instance forms of CCMORVENProc share: the two interfaces, the
// counting word and the capture record, laid out the same way in both, so the
// interface methods serve either form.
#pragma once

#include "capture/CaptureSession.h"
#include "capture/MORVEN.h"
#include "server/InterfaceTable.h"

class CCMORVENProcObject : public ICMORVENProc, public IProvideClassInfo {
public:
    // Declared first so that it takes the primary vtable's slot after startCapture.
    virtual ~CCMORVENProcObject() = default;

    HRESULT STDMETHODCALLTYPE createCapture(BSTR aviFileString, VARIANT_BOOL bFlipImageHorizontally,
                                            VARIANT_BOOL* bCaptureCreated) override;
    HRESULT STDMETHODCALLTYPE Grab(MORImageStruct* imageStruct) override;
    HRESULT STDMETHODCALLTYPE destroyCapture() override;
    HRESULT STDMETHODCALLTYPE startCapture() override;
    HRESULT STDMETHODCALLTYPE GetClassInfo(ITypeInfo** ppTI) override;

    // ICMORVENProc at offset 0 (also the IUnknown identity), IProvideClassInfo
    // one pointer further.
    static const InterfaceEntry s_interfaces[];

protected:
    // Runs the capture record's creation step (which initialises COM on this thread).
    CCMORVENProcObject();

    // The standalone form counts here; the contained object of the aggregated
    // form keeps its outer object here, without a reference.
    union {
        LONG m_nRefCount;
        IUnknown* m_pOuterUnknown;
    };
    CCaptureSession m_captureSession;
};
