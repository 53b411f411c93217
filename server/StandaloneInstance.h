// CCMORVENProc made without an outer object: it counts its own references.
// Apartment-threaded, so the count is a plain integer.
#pragma once

#include "server/CMORVENProcObject.h"

class CStandaloneInstance final : public CCMORVENProcObject {
public:
    CStandaloneInstance();

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // Makes an instance and hands out riid on it; nothing is left behind on failure.
    static HRESULT create(REFIID riid, void** ppv);

private:
    ~CStandaloneInstance() override = default;
    void destroy();
};
