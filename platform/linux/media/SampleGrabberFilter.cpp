#include "platform/linux/media/SampleGrabberFilter.h"

#include "platform/linux/media/MediaHooks.h"

#include <cstring>
#include <new>

namespace comrt::media {

SampleGrabberFilter::SampleGrabberFilter()
    : MediaFilter(CLSID_SampleGrabber), m_in(addPin(PINDIR_INPUT, u"Input")), m_out(addPin(PINDIR_OUTPUT, u"Output"))
{
}

SampleGrabberFilter::~SampleGrabberFilter()
{
    if (m_callback)
        m_callback->Release();
}

HRESULT SampleGrabberFilter::create(SampleGrabberFilter** out)
{
    *out = new (std::nothrow) SampleGrabberFilter();
    return *out ? S_OK : E_OUTOFMEMORY;
}

HRESULT STDMETHODCALLTYPE SampleGrabberFilter::QueryInterface(REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    if (riid == IID_ISampleGrabber) {
        HRESULT injected = injectedFailure(COMRT_MEDIA_QUERY_SAMPLE_GRABBER);
        if (FAILED(injected)) {
            *ppv = nullptr;
            return injected;
        }
        *ppv = static_cast<ISampleGrabber*>(this);
        AddRef();
        return S_OK;
    }
    return MediaFilter::QueryInterface(riid, ppv);
}

HRESULT STDMETHODCALLTYPE SampleGrabberFilter::SetOneShot(BOOL OneShot)
{
    m_oneShot = OneShot != FALSE;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE SampleGrabberFilter::SetMediaType(const AM_MEDIA_TYPE* pType)
{
    if (!pType)
        return E_POINTER;
    std::lock_guard lock(m_lock);
    // Only the three type GUIDs restrict a connection; no format block is kept.
    std::memset(&m_wanted, 0, sizeof m_wanted);
    m_wanted.majortype = pType->majortype;
    m_wanted.subtype = pType->subtype;
    m_wanted.formattype = pType->formattype;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE SampleGrabberFilter::GetConnectedMediaType(AM_MEDIA_TYPE* pType)
{
    HRESULT injected = injectedFailure(COMRT_MEDIA_GET_CONNECTED_MEDIA_TYPE);
    if (FAILED(injected))
        return injected;
    if (!pType)
        return E_POINTER;
    if (!m_in.isConnected())
        return VFW_E_NOT_CONNECTED;
    return m_in.ConnectionMediaType(pType);
}

HRESULT STDMETHODCALLTYPE SampleGrabberFilter::SetBufferSamples(BOOL BufferThem)
{
    std::lock_guard lock(m_lock);
    m_bufferSamples = BufferThem != FALSE;
    if (!m_bufferSamples) {
        m_buffer.clear();
        m_buffer.shrink_to_fit();
        m_haveBuffer = false;
    }
    return S_OK;
}

HRESULT STDMETHODCALLTYPE SampleGrabberFilter::GetCurrentBuffer(LONG* pBufferSize, LONG* pBuffer)
{
    if (!pBufferSize)
        return E_POINTER;
    std::lock_guard lock(m_lock);
    if (!m_bufferSamples)
        return E_INVALIDARG;
    if (!m_haveBuffer)
        return VFW_E_WRONG_STATE;
    LONG size = LONG(m_buffer.size());
    if (!pBuffer) {
        *pBufferSize = size;
        return S_OK;
    }
    if (*pBufferSize < size)
        return E_OUTOFMEMORY;
    std::memcpy(pBuffer, m_buffer.data(), m_buffer.size());
    *pBufferSize = size;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE SampleGrabberFilter::GetCurrentSample(IMediaSample** ppSample)
{
    if (ppSample)
        *ppSample = nullptr;
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE SampleGrabberFilter::SetCallback(ISampleGrabberCB* pCallback, LONG WhichMethodToCallback)
{
    if (pCallback && WhichMethodToCallback != 0 && WhichMethodToCallback != 1)
        return E_INVALIDARG;
    if (pCallback)
        pCallback->AddRef();
    ISampleGrabberCB* old;
    {
        std::lock_guard lock(m_lock);
        old = m_callback;
        m_callback = pCallback;
        m_whichCallback = WhichMethodToCallback;
    }
    if (old)
        old->Release();
    return S_OK;
}

HRESULT SampleGrabberFilter::checkInputType(MediaPin&, MediaPin&, const AM_MEDIA_TYPE& mt)
{
    std::lock_guard lock(m_lock);
    return mediaTypeMatches(m_wanted, mt) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT SampleGrabberFilter::getOutputType(MediaPin&, int index, AM_MEDIA_TYPE& mt)
{
    // Whatever came in goes out; nothing before the input is connected.
    if (index != 0 || !m_in.isConnected())
        return S_FALSE;
    HRESULT hr = copyMediaType(mt, m_in.connectionType().get());
    return FAILED(hr) ? hr : S_OK;
}

bool SampleGrabberFilter::endsAfterFirstSample() const
{
    return m_oneShot.load() || MediaFilter::endsAfterFirstSample();
}

HRESULT SampleGrabberFilter::activate()
{
    m_streamEnded = false;
    return S_OK;
}

void SampleGrabberFilter::endStream()
{
    m_streamEnded = true;
    forwardEndOfStream();
}

HRESULT SampleGrabberFilter::receive(MediaPin&, StreamItem& item)
{
    if (state() == State_Stopped)
        return VFW_E_WRONG_STATE;
    if (m_streamEnded)
        return S_FALSE;
    IMediaSample* sample = item.sample;
    if (!sample)
        return E_UNEXPECTED;

    if (hookDeliverNoSample()) {
        endStream();
        return S_FALSE;
    }
    if (const HRESULT abort = hookAbortRun(); FAILED(abort)) {
        notifyEvent(EC_ERRORABORT, abort);
        return abort;
    }

    ISampleGrabberCB* callback;
    LONG which;
    {
        std::lock_guard lock(m_lock);
        callback = m_callback;
        which = m_whichCallback;
        if (callback)
            callback->AddRef();
        if (m_bufferSamples) {
            BYTE* p = nullptr;
            sample->GetPointer(&p);
            LONG n = sample->GetActualDataLength();
            try {
                m_buffer.assign(p, p + (n > 0 ? n : 0));
                m_haveBuffer = true;
            } catch (const std::bad_alloc&) {
                m_haveBuffer = false;
            }
        }
    }
    if (callback) {
        double time = item.hasTime ? double(item.start) / 1e7 : 0.0;
        if (which == 0) {
            callback->SampleCB(time, sample);
        } else {
            BYTE* p = nullptr;
            sample->GetPointer(&p);
            callback->BufferCB(time, p, sample->GetActualDataLength());
        }
        callback->Release();
    }

    HRESULT hr = m_out.isConnected() ? m_out.deliver(item) : S_OK;
    if (m_oneShot) {
        endStream();
        return S_FALSE;
    }
    return hr;
}

void SampleGrabberFilter::endOfStream(MediaPin&)
{
    if (m_streamEnded.exchange(true))
        return;
    forwardEndOfStream();
}

} // namespace comrt::media
