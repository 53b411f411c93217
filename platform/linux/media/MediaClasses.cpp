#include "platform/linux/media/MediaClasses.h"

#include "platform/linux/media/FilterGraph.h"
#include "platform/linux/media/MediaHooks.h"
#include "platform/linux/media/NullRenderer.h"
#include "platform/linux/media/SampleGrabberFilter.h"

namespace comrt::media {

namespace {

template <class Filter>
HRESULT createFilter(IUnknown* outer, REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (outer)
        return CLASS_E_NOAGGREGATION;
    Filter* f = nullptr;
    HRESULT hr = Filter::create(&f);
    if (FAILED(hr))
        return hr;
    hr = f->QueryInterface(riid, ppv);
    f->Release();
    return hr;
}

} // namespace

HRESULT createFilterGraph(IUnknown* outer, REFIID riid, void** ppv)
{
    return FilterGraph::create(outer, riid, ppv);
}

HRESULT createSampleGrabber(IUnknown* outer, REFIID riid, void** ppv)
{
    HRESULT injected = injectedFailure(COMRT_MEDIA_CREATE_SAMPLE_GRABBER);
    if (FAILED(injected)) {
        if (ppv)
            *ppv = nullptr;
        return injected;
    }
    return createFilter<SampleGrabberFilter>(outer, riid, ppv);
}

HRESULT createNullRenderer(IUnknown* outer, REFIID riid, void** ppv)
{
    return createFilter<NullRenderer>(outer, riid, ppv);
}

} // namespace comrt::media

// The module's one export: an object of one of its classes, with the
// contract of IClassFactory::CreateInstance.
extern "C" __attribute__((visibility("default"))) HRESULT ComRtCreateObject(REFCLSID clsid, IUnknown* outer,
                                                                             REFIID riid, void** ppv)
{
    using namespace comrt::media;
    if (clsid == CLSID_FilterGraph)
        return createFilterGraph(outer, riid, ppv);
    if (clsid == CLSID_SampleGrabber)
        return createSampleGrabber(outer, riid, ppv);
    if (clsid == CLSID_NullRenderer)
        return createNullRenderer(outer, riid, ppv);
    if (ppv)
        *ppv = nullptr;
    return CLASS_E_CLASSNOTAVAILABLE;
}
