#include "capture/GrabberCallback.h"

unsigned char* g_pFrameBuffer = nullptr;

CGrabberCallback g_GrabberCallback;

HRESULT STDMETHODCALLTYPE CGrabberCallback::QueryInterface(REFIID riid, void** ppvObject)
{
    if (ppvObject == nullptr)
        return E_POINTER;
    if (IsEqualIID(riid, IID_ISampleGrabberCB) || IsEqualIID(riid, IID_IUnknown)) {
        *ppvObject = static_cast<ISampleGrabberCB*>(this);
        return S_OK;
    }
    *ppvObject = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE CGrabberCallback::AddRef()
{
    return 2;
}

ULONG STDMETHODCALLTYPE CGrabberCallback::Release()
{
    return 1;
}

HRESULT STDMETHODCALLTYPE CGrabberCallback::SampleCB(double, IMediaSample* pSample)
{
    if (pSample == nullptr)
        return S_OK;
    // Only the address is kept: the pixels stay in the pipeline's own sample.
    BYTE* buffer = nullptr;
    pSample->GetPointer(&buffer);
    g_pFrameBuffer = buffer;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CGrabberCallback::BufferCB(double, BYTE*, LONG)
{
    // Registered with selector 0, so the grabber calls SampleCB instead.
    return S_OK;
}
