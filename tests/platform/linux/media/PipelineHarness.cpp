#include "tests/platform/linux/media/PipelineHarness.h"

#include "tests/support/TestMedia.h"

#include <cstring>

namespace mediatest {

HRESULT STDMETHODCALLTYPE RecordingCallback::QueryInterface(REFIID riid, void** ppv)
{
    if (riid == IID_IUnknown || riid == IID_ISampleGrabberCB) {
        *ppv = static_cast<ISampleGrabberCB*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

HRESULT STDMETHODCALLTYPE RecordingCallback::SampleCB(double time, IMediaSample* sample)
{
    inCallback = true;
    BYTE* p = nullptr;
    sample->GetPointer(&p);
    {
        std::lock_guard g(lock);
        threads.push_back(std::this_thread::get_id());
        pointers.push_back(p);
        lengths.push_back(sample->GetActualDataLength());
        times.push_back(time);
    }
    if (onSample)
        onSample(sample);
    ++samples;
    inCallback = false;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE RecordingCallback::BufferCB(double time, BYTE* buffer, LONG length)
{
    {
        std::lock_guard g(lock);
        threads.push_back(std::this_thread::get_id());
        pointers.push_back(buffer);
        lengths.push_back(length);
        times.push_back(time);
    }
    ++buffers;
    return S_OK;
}

IPin* firstPin(IBaseFilter* filter, PIN_DIRECTION direction)
{
    Ref<IEnumPins> pins;
    if (!filter || FAILED(filter->EnumPins(pins.out())))
        return nullptr;
    IPin* pin = nullptr;
    while (pins->Next(1, &pin, nullptr) == S_OK) {
        PIN_DIRECTION dir;
        if (SUCCEEDED(pin->QueryDirection(&dir)) && dir == direction)
            return pin;
        pin->Release();
    }
    return nullptr;
}

void ensureComInitialized()
{
    static bool done = [] {
        CoInitialize(nullptr);
        return true;
    }();
    (void)done;
}

Chain::~Chain()
{
    if (control)
        control->Stop();
    if (connected.pbFormat)
        CoTaskMemFree(connected.pbFormat);
}

HRESULT Chain::build(const std::string& path)
{
    return build(testmedia::toUtf16(path));
}

HRESULT Chain::build(const std::u16string& path)
{
    ensureComInitialized();
    HRESULT hr = CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder, graph.outVoid());
    if (FAILED(hr))
        return hr;
    if (FAILED(hr = graph->QueryInterface(IID_IMediaControl, control.outVoid())))
        return hr;
    if (FAILED(hr = graph->QueryInterface(IID_IMediaEvent, events.outVoid())))
        return hr;
    addSourceResult = graph->AddSourceFilter(path.c_str(), u"Source", source.out());
    if (FAILED(addSourceResult))
        return addSourceResult;
    hr = CoCreateInstance(CLSID_SampleGrabber, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                          grabberFilter.outVoid());
    if (FAILED(hr))
        return hr;
    if (FAILED(hr = grabberFilter->QueryInterface(IID_ISampleGrabber, grabber.outVoid())))
        return hr;
    graph->AddFilter(grabberFilter.get(), u"Grabber");
    AM_MEDIA_TYPE wanted{};
    wanted.majortype = MEDIATYPE_Video;
    wanted.subtype = MEDIASUBTYPE_RGB24;
    grabber->SetMediaType(&wanted);
    *sourceOut.out() = firstPin(source.get(), PINDIR_OUTPUT);
    *grabberIn.out() = firstPin(grabberFilter.get(), PINDIR_INPUT);
    connectResult = graph->Connect(sourceOut.get(), grabberIn.get());
    if (FAILED(connectResult))
        return connectResult;
    *grabberOut.out() = firstPin(grabberFilter.get(), PINDIR_OUTPUT);
    renderResult = graph->Render(grabberOut.get());
    if (FAILED(renderResult))
        return renderResult;
    return grabber->GetConnectedMediaType(&connected);
}

void Chain::listen(RecordingCallback& cb, bool oneShot, LONG which)
{
    grabber->SetCallback(&cb, which);
    grabber->SetBufferSamples(FALSE);
    grabber->SetOneShot(oneShot ? TRUE : FALSE);
}

LONG Chain::runToCompletion(LONG msTimeout)
{
    if (FAILED(control->Run()))
        return 0;
    LONG code = 0;
    events->WaitForCompletion(msTimeout, &code);
    return code;
}

::testing::AssertionResult Chain::grabOne(RecordingCallback& cb)
{
    listen(cb);
    const LONG code = runToCompletion();
    if (code != EC_COMPLETE)
        return ::testing::AssertionFailure() << "the run ended with event " << code << ", not EC_COMPLETE";
    if (cb.samples != 1)
        return ::testing::AssertionFailure() << cb.samples << " samples arrived, not 1";
    return ::testing::AssertionSuccess();
}

const VIDEOINFOHEADER& Chain::videoInfo() const
{
    return *reinterpret_cast<const VIDEOINFOHEADER*>(connected.pbFormat);
}

} // namespace mediatest
