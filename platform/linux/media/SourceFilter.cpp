#include "platform/linux/media/SourceFilter.h"


extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <new>

namespace comrt::media {

SourceFilter::SourceFilter() : MediaFilter(GUID_NULL), m_out(addPin(PINDIR_OUTPUT, u"Output")) {}

SourceFilter::~SourceFilter()
{
    requestStop();
    endWaitingThread();
    // The streaming thread holds a reference to this filter while it runs,
    // so the last release comes from it only when it is about to end.
    if (m_thread.joinable()) {
        if (m_thread.isCurrent())
            m_thread.detach();
        else
            m_thread.join();
    }
}

HRESULT SourceFilter::create(const std::u16string& path, SourceFilter** out)
{
    *out = nullptr;
    auto* f = new (std::nothrow) SourceFilter();
    if (!f)
        return E_OUTOFMEMORY;
    HRESULT hr = f->m_file.open(path);
    if (SUCCEEDED(hr))
        hr = f->describeStream();
    if (FAILED(hr)) {
        f->Release();
        return hr;
    }
    *out = f;
    return S_OK;
}

const AVStream* SourceFilter::videoStream() const
{
    return m_file.isVideo() ? m_file.stream() : nullptr;
}

SourceFilter* SourceFilter::feeding(const MediaPin& input)
{
    MediaPin* peer = input.peer();
    auto* source = peer ? dynamic_cast<SourceFilter*>(&peer->filter()) : nullptr;
    return source && source->videoStream() ? source : nullptr;
}

HRESULT SourceFilter::describeStream()
{
    const AVStream* st = m_file.stream();
    const AVCodecParameters* par = st->codecpar;
    AM_MEDIA_TYPE& mt = m_outType.get();
    if (par->codec_type == AVMEDIA_TYPE_VIDEO) {
        // The container's own description: the compressed format's FOURCC and
        // the picture size as the header claims it (checked at Connect).
        REFERENCE_TIME frameTime = 0;
        if (st->avg_frame_rate.num > 0 && st->avg_frame_rate.den > 0)
            frameTime = av_rescale(10000000, st->avg_frame_rate.den, st->avg_frame_rate.num);
        LONG w = par->width > 0 ? par->width : 0;
        LONG h = par->height > 0 ? par->height : 0;
        WORD bits = par->bits_per_coded_sample > 0 && par->bits_per_coded_sample <= 64
                        ? WORD(par->bits_per_coded_sample)
                        : 24;
        return makeVideoInfoType(mt, fourccSubtype(par->codec_tag), w, h, bits,
                                 par->codec_tag ? par->codec_tag : DWORD(0xFFFFFFFF), frameTime);
    }
    mt.majortype = par->codec_type == AVMEDIA_TYPE_AUDIO ? MEDIATYPE_Audio : MEDIATYPE_Stream;
    mt.subtype = fourccSubtype(par->codec_tag);
    mt.formattype = GUID_NULL;
    return S_OK;
}

HRESULT SourceFilter::getOutputType(MediaPin&, int index, AM_MEDIA_TYPE& mt)
{
    if (index != 0)
        return S_FALSE;
    HRESULT hr = copyMediaType(mt, m_outType.get());
    return FAILED(hr) ? hr : S_OK;
}

bool SourceFilter::oneShot() const
{
    MediaPin* peer = m_out.peer();
    return peer && peer->filter().endsAfterFirstSample();
}

void SourceFilter::joinThread()
{
    if (m_thread.joinable() && !m_thread.isCurrent())
        m_thread.join();
}

HRESULT SourceFilter::start()
{
    bool waiting;
    {
        std::lock_guard lock(m_pauseLock);
        waiting = m_waiting == Waiting::ForRun;
    }
    if (!waiting && m_thread.joinable() && !m_thread.isCurrent()) {
        std::lock_guard lock(m_pauseLock);
        if (m_paused && !m_stopRequested) {
            // Paused while running: carry on.
            m_paused = false;
            m_pauseChanged.notify_all();
            return S_OK;
        }
    }
    if (currentStreamingSource() == this)
        return VFW_E_WRONG_STATE;
    // A thread told to stop from its own callback is collected here.
    if (!waiting)
        joinThread();
    if (!m_out.isConnected())
        return S_OK;
    if (m_moved && !m_continueReadAhead) {
        HRESULT hr = m_file.rewind();
        if (FAILED(hr))
            return hr;
        m_moved = false;
    }
    m_continueReadAhead = false;
    m_readAheadBy = nullptr;
    m_stopRequested = false;
    m_paused = false;
    AddRef(); // the thread's reference
    if (waiting) {
        {
            std::lock_guard lock(m_pauseLock);
            m_waiting = Waiting::Run;
        }
        m_pauseChanged.notify_all();
    } else if (!m_thread.start([this] { stream(); }, oneShot())) {
        // In a one-shot run the caller waits for this run's one sample next.
        Release();
        return E_OUTOFMEMORY;
    }
    m_moved = true;
    return S_OK;
}

void SourceFilter::onStreamingThread(const std::function<void()>& job, const std::function<void()>& meanwhile)
{
    bool waiting;
    {
        std::lock_guard lock(m_pauseLock);
        waiting = m_waiting == Waiting::ForRun;
    }
    if (!waiting) {
        joinThread(); // the thread of an ended run
        {
            std::lock_guard lock(m_pauseLock);
            m_waiting = Waiting::ForRun;
        }
        // The caller waits for the job next.
        if (!m_thread.start([this] { waitForRun(); }, true)) {
            std::lock_guard lock(m_pauseLock);
            m_waiting = Waiting::None;
        }
    }
    std::unique_lock lock(m_pauseLock);
    if (m_waiting != Waiting::ForRun) {
        lock.unlock();
        job(); // no thread could be made: here, then
        meanwhile();
        return;
    }
    m_job = &job;
    lock.unlock();
    m_pauseChanged.notify_all();
    meanwhile();
    lock.lock();
    m_pauseChanged.wait(lock, [this] { return m_job == nullptr; });
}

void SourceFilter::waitForRun()
{
    for (;;) {
        std::unique_lock lock(m_pauseLock);
        m_pauseChanged.wait(lock, [this] { return m_job || m_waiting != Waiting::ForRun; });
        if (m_job) {
            const std::function<void()>* job = m_job;
            lock.unlock();
            (*job)();
            lock.lock();
            m_job = nullptr;
            lock.unlock(); // the caller, woken next, need not wait for it
            m_pauseChanged.notify_all();
            continue;
        }
        const bool run = m_waiting == Waiting::Run;
        m_waiting = Waiting::None;
        lock.unlock();
        if (run)
            stream();
        return;
    }
}

void SourceFilter::endWaitingThread()
{
    {
        std::lock_guard lock(m_pauseLock);
        if (m_waiting != Waiting::ForRun)
            return;
        m_waiting = Waiting::End;
    }
    m_pauseChanged.notify_all();
    joinThread();
}

void SourceFilter::pause()
{
    std::lock_guard lock(m_pauseLock);
    m_paused = true;
}

void SourceFilter::requestStop()
{
    m_stopRequested = true;
    {
        std::lock_guard lock(m_pauseLock);
        m_paused = false;
    }
    m_pauseChanged.notify_all();
}

void SourceFilter::deactivate()
{
    requestStop();
    endWaitingThread();
    // Stopped from its own callback, the thread ends once the callback
    // returns; it is joined by the next start or by the destructor.
    joinThread();
}

HRESULT SourceFilter::readPacket(AVPacket* packet)
{
    AVFormatContext* fmt = m_file.format();
    const int index = m_file.streamIndex();
    // Packets of other streams are skipped however many come first: a file
    // may carry long stretches of audio before its first picture.
    for (int retries = 0;;) {
        int ret = av_read_frame(fmt, packet);
        if (ret == AVERROR(EAGAIN) && ++retries < 100)
            continue;
        if (ret == AVERROR(ENOMEM))
            return E_OUTOFMEMORY;
        if (ret == AVERROR(EIO) || (ret < 0 && fmt->pb && fmt->pb->error == AVERROR(EIO)))
            return HRESULT_FROM_WIN32(ERROR_READ_FAULT);
        if (ret < 0)
            return S_FALSE;
        retries = 0;
        if (packet->stream_index == index)
            return S_OK;
        av_packet_unref(packet);
    }
}

HRESULT SourceFilter::beginReadAhead(const void* reader)
{
    if (state() != State_Stopped)
        return VFW_E_NOT_STOPPED;
    // A thread an earlier read-ahead left waiting for the run is ended,
    // unless it is the one reading ahead now.
    if (!m_thread.isCurrent())
        endWaitingThread();
    joinThread();
    if (m_moved) {
        HRESULT hr = m_file.rewind();
        if (FAILED(hr))
            return hr;
    }
    m_moved = true;
    m_readAheadBy = reader;
    m_continueReadAhead = false;
    return S_OK;
}

HRESULT SourceFilter::readAhead(AVPacket* packet)
{
    if (!m_readAheadBy || state() != State_Stopped)
        return E_UNEXPECTED;
    return readPacket(packet);
}

bool SourceFilter::continueAfterReadAhead(const void* reader)
{
    m_continueReadAhead = reader && reader == m_readAheadBy;
    return m_continueReadAhead;
}

void SourceFilter::stream()
{
    setStreamingSource(this);
    // Every filter of the chain stays alive while this thread pushes into
    // it, even if the graph lets go of them from inside a callback.
    std::vector<ComPtr<IBaseFilter>> chain;
    try {
        for (MediaPin* pin = m_out.peer(); pin;) {
            MediaFilter& f = pin->filter();
            chain.emplace_back(static_cast<IBaseFilter*>(&f));
            MediaPin* out = f.firstPin(PINDIR_OUTPUT);
            pin = out ? out->peer() : nullptr;
        }
    } catch (const std::bad_alloc&) {
        notifyEvent(EC_ERRORABORT, E_OUTOFMEMORY);
        Release();
        return;
    }

    // What the chain holds already (a picture decoded while connecting) goes
    // out before anything is read; a one-shot run may need nothing more.
    HRESULT started = m_out.deliverStartOfStream();
    if (FAILED(started))
        notifyEvent(EC_ERRORABORT, started);
    AVPacket* packet = started == S_OK ? av_packet_alloc() : nullptr;
    if (started == S_OK && !packet) {
        notifyEvent(EC_ERRORABORT, E_OUTOFMEMORY);
    } else if (packet) {
        for (;;) {
            if (m_stopRequested.load(std::memory_order_acquire))
                break;
            {
                std::unique_lock lock(m_pauseLock);
                m_pauseChanged.wait(lock, [this] { return !m_paused || m_stopRequested; });
            }
            if (m_stopRequested.load(std::memory_order_acquire))
                break;

            HRESULT hr = readPacket(packet);
            if (hr == S_FALSE) {
                m_out.deliverEndOfStream();
                break;
            }
            if (FAILED(hr)) {
                notifyEvent(EC_ERRORABORT, hr);
                break;
            }
            StreamItem item;
            item.packet = packet;
            hr = m_out.deliver(item);
            av_packet_unref(packet);
            // S_FALSE: downstream wants no more. A failure is reported here
            // too, should the filter that failed not have done so, because a
            // run that ends without an event would leave its waiters waiting
            // (the graph keeps the first ending it hears of).
            if (FAILED(hr))
                notifyEvent(EC_ERRORABORT, hr);
            if (hr != S_OK)
                break;
        }
        av_packet_free(&packet);
    }
    chain.clear();
    Release();
}

} // namespace comrt::media
