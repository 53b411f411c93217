// Building and taking apart the capture session's pipeline.
#include "capture/CaptureSession.h"

#include "capture/GrabberCallback.h"
#include "platform/Kernel.h"
#include "platform/UserInterface.h"

#include <opencv2/core/core_c.h>

#include <new>

namespace {

// Filter names given to the graph, in the platform's wide characters.
const OLECHAR kSourceFilterName[] = {'S', 'o', 'u', 'r', 'c', 'e', 0};
const OLECHAR kGrabberFilterName[] = {'G', 'r', 'a', 'b', 'b', 'e', 'r', 0};

// Failures of pipeline construction are told to the user in an ownerless box.
void notify(const char* text, const char* caption)
{
    MessageBoxA(nullptr, text != nullptr ? text : "", caption, MB_OK);
}

// The slot is written only when the object answers, so a refusal never leaves
// a stray pointer for the release that follows.
template <class T>
bool queryInto(IUnknown* object, REFIID riid, T** slot)
{
    void* found = nullptr;
    if (FAILED(object->QueryInterface(riid, &found)) || found == nullptr)
        return false;
    *slot = static_cast<T*>(found);
    return true;
}

template <class T>
bool createInto(REFCLSID clsid, REFIID riid, T** slot)
{
    void* made = nullptr;
    if (FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, riid, &made)) || made == nullptr)
        return false;
    *slot = static_cast<T*>(made);
    return true;
}

template <class T>
void releaseSlot(T** slot)
{
    if (*slot != nullptr) {
        (*slot)->Release();
        *slot = nullptr;
    }
}

// The path as ANSI text for a message. False only when the buffer cannot be
// allocated; text that does not convert leaves *ansi null (an empty message).
bool convertToAnsi(const OLECHAR* text, char** ansi)
{
    *ansi = nullptr;
    if (text == nullptr)
        return true;
    int size = WideCharToMultiByte(CP_THREAD_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 0)
        return true;
    char* buffer = new (std::nothrow) char[size];
    if (buffer == nullptr)
        return false;
    buffer[0] = '\0';
    if (WideCharToMultiByte(CP_THREAD_ACP, 0, text, -1, buffer, size, nullptr, nullptr) <= 0)
        buffer[0] = '\0';
    *ansi = buffer;
    return true;
}

// The connected type's format block and pipeline reference belong to the caller.
void freeMediaType(AM_MEDIA_TYPE& type)
{
    if (type.pbFormat != nullptr) {
        CoTaskMemFree(type.pbFormat);
        type.pbFormat = nullptr;
    }
    type.cbFormat = 0;
    if (type.pUnk != nullptr) {
        type.pUnk->Release();
        type.pUnk = nullptr;
    }
}

} // namespace

void CCaptureSession::initialize()
{
    m_bComInitialized = SUCCEEDED(CoInitialize(nullptr));
    m_pGraphBuilder = nullptr;
    m_pSourceFilter = nullptr;
    m_pMediaControl = nullptr;
    m_pSampleGrabberFilter = nullptr;
    m_pMediaEvent = nullptr;
    m_pMediaSeeking = nullptr;
    m_pSampleGrabber = nullptr;
    m_pSourceOutputPin = nullptr;
    m_pGrabberInputPin = nullptr;
    m_pGrabberOutputPin = nullptr;
    m_pEnumPins = nullptr;
    m_pVideoWindow = nullptr;
    m_bCreated = false;
    m_bStarted = false;
    m_nWidth = 0;
    m_nHeight = 0;
    m_nDepth = 0;
    m_nChannels = 0;
    m_bFlip = false;
    m_pImageHeader = nullptr;
    m_pFlippedFrame = nullptr;
}

HRESULT CCaptureSession::createCapture(BSTR aviFileString, VARIANT_BOOL bFlipImageHorizontally,
                                       VARIANT_BOOL* bCaptureCreated)
{
    // Without a place for the answer the caller could not tell a session was built.
    if (bCaptureCreated == nullptr)
        return S_FALSE;

    bool initialisedHere = false;
    try {
        // A new file replaces a live session, as if the host had torn it down
        // first; the object keeps its COM initialisation for the new one.
        if (m_bCreated) {
            releasePipeline();
            releaseImageHeader();
            m_bCreated = false;
        }
        // After a teardown the object holds no initialisation: take one again,
        // so that the next teardown's CoUninitialize is matched.
        if (!m_bComInitialized) {
            m_bComInitialized = SUCCEEDED(CoInitialize(nullptr));
            initialisedHere = m_bComInitialized;
        }

        if (buildSession(aviFileString, bFlipImageHorizontally) == S_OK) {
            *bCaptureCreated = 1;
            m_bCreated = true;
            m_pImageHeader = createImageHeader();
            return S_OK;
        }
    } catch (...) {
        // Nothing the pipeline throws may leave the method; it fails like a refused step.
    }

    // Whatever was obtained before the failing step goes back, and an
    // initialisation taken by this call is given back with it.
    releasePipeline();
    if (initialisedHere) {
        CoUninitialize();
        m_bComInitialized = false;
    }
    *bCaptureCreated = 0;
    return S_FALSE;
}

HRESULT CCaptureSession::buildSession(BSTR aviFileString, VARIANT_BOOL bFlipImageHorizontally)
{
    if (!createInto(CLSID_FilterGraph, IID_IGraphBuilder, &m_pGraphBuilder))
        return S_FALSE;
    m_bFlip = bFlipImageHorizontally != 0;

    if (!queryInto(m_pGraphBuilder, IID_IMediaControl, &m_pMediaControl))
        return S_FALSE;
    if (!queryInto(m_pGraphBuilder, IID_IMediaEvent, &m_pMediaEvent))
        return S_FALSE;
    if (!queryInto(m_pGraphBuilder, IID_IMediaSeeking, &m_pMediaSeeking))
        return S_FALSE;

    {
        // The pipeline gets a private copy of the path; the ANSI text is only
        // for the message. Running out of memory here fails the call quietly.
        BSTR path = SysAllocString(aviFileString);
        if (path == nullptr && aviFileString != nullptr)
            return E_OUTOFMEMORY;
        char* ansiPath = nullptr;
        if (!convertToAnsi(aviFileString, &ansiPath)) {
            SysFreeString(path);
            return E_OUTOFMEMORY;
        }
        IBaseFilter* source = nullptr;
        HRESULT hr = m_pGraphBuilder->AddSourceFilter(path, kSourceFilterName, &source);
        if (SUCCEEDED(hr) && source != nullptr) {
            m_pSourceFilter = source;
        } else {
            notify(ansiPath, "0");
            notify("AddSourceFilter", "1");
        }
        delete[] ansiPath;
        SysFreeString(path);
        if (m_pSourceFilter == nullptr)
            return S_FALSE;
    }

    if (!createInto(CLSID_SampleGrabber, IID_IBaseFilter, &m_pSampleGrabberFilter)) {
        notify("m_pSampleGrabberFilter", "2");
        return S_FALSE;
    }
    if (!queryInto(m_pSampleGrabberFilter, IID_ISampleGrabber, &m_pSampleGrabber)) {
        notify("m_pSampleGrabber", "3");
        return S_FALSE;
    }

    m_pGraphBuilder->AddFilter(m_pSampleGrabberFilter, kGrabberFilterName);

    // Only the major type and subtype restrict the connection; any format block will do.
    AM_MEDIA_TYPE requested = {};
    requested.majortype = MEDIATYPE_Video;
    requested.subtype = MEDIASUBTYPE_RGB24;
    m_pSampleGrabber->SetMediaType(&requested);

    m_pSourceOutputPin = getOutputPin(m_pSourceFilter);
    m_pGrabberInputPin = getInputPin(m_pSampleGrabberFilter);
    if (FAILED(m_pGraphBuilder->Connect(m_pSourceOutputPin, m_pGrabberInputPin))) {
        notify("Connect", "5");
        return S_FALSE;
    }

    m_pGrabberOutputPin = getOutputPin(m_pSampleGrabberFilter);
    if (FAILED(m_pGraphBuilder->Render(m_pGrabberOutputPin))) {
        notify("Render", "6");
        return S_FALSE;
    }

    AM_MEDIA_TYPE connected = {};
    HRESULT hr = m_pSampleGrabber->GetConnectedMediaType(&connected);
    // A type without a whole video format block cannot give the geometry.
    if (FAILED(hr) || connected.pbFormat == nullptr || connected.cbFormat < sizeof(VIDEOINFOHEADER)) {
        freeMediaType(connected);
        notify("GetConnectedMediaType", "7");
        return S_FALSE;
    }
    const BITMAPINFOHEADER& bitmap = reinterpret_cast<const VIDEOINFOHEADER*>(connected.pbFormat)->bmiHeader;
    const LONG width = bitmap.biWidth;
    const LONG height = bitmap.biHeight;
    const WORD bitCount = bitmap.biBitCount;
    freeMediaType(connected);

    m_pSampleGrabber->SetCallback(&g_GrabberCallback, 0);
    m_pSampleGrabber->SetBufferSamples(FALSE);
    m_pSampleGrabber->SetOneShot(TRUE);

    if (queryInto(m_pGraphBuilder, IID_IVideoWindow, &m_pVideoWindow))
        m_pVideoWindow->put_AutoShow(OAFALSE);

    m_nWidth = width;
    m_nHeight = height;
    m_nDepth = 8;
    m_nChannels = bitCount / 8;
    return S_OK;
}

HRESULT CCaptureSession::destroyCapture()
{
    if (!m_bCreated)
        return S_OK;
    releasePipeline();
    if (m_bComInitialized) {
        CoUninitialize();
        m_bComInitialized = false;
    }
    releaseImageHeader();
    m_bCreated = false;
    return S_FALSE;
}

// Stops a running graph before anything is released, so that no callback
// arrives afterwards, then releases every reference the session holds.
void CCaptureSession::releasePipeline()
{
    if (m_bStarted) {
        if (m_pMediaControl != nullptr)
            m_pMediaControl->Stop();
        m_bStarted = false;
    }
    releaseSlot(&m_pGraphBuilder);
    releaseSlot(&m_pMediaControl);
    releaseSlot(&m_pSampleGrabberFilter);
    releaseSlot(&m_pSampleGrabber);
    releaseSlot(&m_pGrabberInputPin);
    releaseSlot(&m_pGrabberOutputPin);
    releaseSlot(&m_pMediaEvent);
    releaseSlot(&m_pSourceFilter);
    releaseSlot(&m_pMediaSeeking);
    releaseSlot(&m_pSourceOutputPin);
    releaseSlot(&m_pEnumPins);
    releaseSlot(&m_pVideoWindow);
    m_pFlippedFrame = nullptr;
}

void CCaptureSession::releaseImageHeader()
{
    if (m_pImageHeader != nullptr)
        cvReleaseImageHeader(&m_pImageHeader);
}
