// The Sample Grabber: a pass-through filter that accepts only the media
// type it was given, shows every sample to a callback on the streaming
// thread, and in one-shot mode ends the stream after the first sample.
#pragma once

#include "platform/SampleGrabber.h"
#include "platform/linux/media/MediaFilter.h"

#include <mutex>
#include <vector>

namespace comrt::media {

class SampleGrabberFilter final : public MediaFilter, public ISampleGrabber {
public:
    static HRESULT create(SampleGrabberFilter** out);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return MediaFilter::AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return MediaFilter::Release(); }

    HRESULT STDMETHODCALLTYPE SetOneShot(BOOL OneShot) override;
    HRESULT STDMETHODCALLTYPE SetMediaType(const AM_MEDIA_TYPE* pType) override;
    HRESULT STDMETHODCALLTYPE GetConnectedMediaType(AM_MEDIA_TYPE* pType) override;
    HRESULT STDMETHODCALLTYPE SetBufferSamples(BOOL BufferThem) override;
    HRESULT STDMETHODCALLTYPE GetCurrentBuffer(LONG* pBufferSize, LONG* pBuffer) override;
    HRESULT STDMETHODCALLTYPE GetCurrentSample(IMediaSample** ppSample) override;
    HRESULT STDMETHODCALLTYPE SetCallback(ISampleGrabberCB* pCallback, LONG WhichMethodToCallback) override;

    HRESULT checkInputType(MediaPin& in, MediaPin& from, const AM_MEDIA_TYPE& mt) override;
    HRESULT getOutputType(MediaPin& out, int index, AM_MEDIA_TYPE& mt) override;
    HRESULT receive(MediaPin& in, StreamItem& item) override;
    void endOfStream(MediaPin& in) override;
    bool endsAfterFirstSample() const override;

protected:
    HRESULT activate() override;

private:
    SampleGrabberFilter();
    ~SampleGrabberFilter() override;
    void endStream();

    MediaPin& m_in;
    MediaPin& m_out;
    std::mutex m_lock; // the settings below, read on the streaming thread
    AM_MEDIA_TYPE m_wanted{};
    ISampleGrabberCB* m_callback = nullptr;
    LONG m_whichCallback = 0;
    bool m_bufferSamples = false;
    std::vector<BYTE> m_buffer;
    bool m_haveBuffer = false;
    std::atomic<bool> m_oneShot{false};
    std::atomic<bool> m_streamEnded{false}; // this run's one shot is spent
};

} // namespace comrt::media
