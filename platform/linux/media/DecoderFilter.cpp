#include "platform/linux/media/DecoderFilter.h"

#include "platform/linux/media/SourceFilter.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <new>

namespace comrt::media {

namespace {

// The one-shot case wants the first picture as soon as possible: each
// frame thread delays it by one packet, and slice threads only help streams
// cut into several slices, at the cost of starting the threads. A stream
// that is played on gets the decoder's automatic choice.
constexpr int kFirstFrameThreads = 1;

const AVRational kReferenceTimeBase = {1, 10000000};

} // namespace

DecoderFilter::DecoderFilter()
    : MediaFilter(GUID_NULL), m_in(addPin(PINDIR_INPUT, u"XForm In")), m_out(addPin(PINDIR_OUTPUT, u"XForm Out"))
{
}

DecoderFilter::~DecoderFilter()
{
    deactivate();
}

HRESULT DecoderFilter::create(MediaFilter** out)
{
    *out = new (std::nothrow) DecoderFilter();
    return *out ? S_OK : E_OUTOFMEMORY;
}

const AVStream* DecoderFilter::sourceStream() const
{
    MediaPin* peer = m_in.peer();
    auto* source = peer ? dynamic_cast<SourceFilter*>(&peer->filter()) : nullptr;
    return source ? source->videoStream() : nullptr;
}

HRESULT DecoderFilter::checkInputType(MediaPin&, MediaPin& from, const AM_MEDIA_TYPE& mt)
{
    auto* source = dynamic_cast<SourceFilter*>(&from.filter());
    if (!source || mt.majortype != MEDIATYPE_Video)
        return VFW_E_TYPE_NOT_ACCEPTED;
    const AVStream* st = source->videoStream();
    if (!st || !avcodec_find_decoder(st->codecpar->codec_id))
        return VFW_E_TYPE_NOT_ACCEPTED;
    return S_OK;
}

HRESULT DecoderFilter::getOutputType(MediaPin&, int index, AM_MEDIA_TYPE& mt)
{
    const AVStream* st = sourceStream();
    if (index != 0 || !st)
        return S_FALSE;
    // The size the container gives; nothing is decoded to learn it. A
    // size that could not be held is refused here, so Connect fails.
    const AVCodecParameters* par = st->codecpar;
    if (!frameSizeAcceptable(par->width, par->height))
        return S_FALSE;
    REFERENCE_TIME frameTime = 0;
    if (st->avg_frame_rate.num > 0 && st->avg_frame_rate.den > 0)
        frameTime = av_rescale(10000000, st->avg_frame_rate.den, st->avg_frame_rate.num);
    HRESULT hr = makeVideoInfoType(mt, MEDIASUBTYPE_DecodedFrame, par->width, par->height, 0, DWORD(0xFFFFFFFF),
                                   frameTime);
    return FAILED(hr) ? hr : S_OK;
}

HRESULT DecoderFilter::activate()
{
    const AVStream* st = sourceStream();
    if (!st)
        return m_in.isConnected() ? VFW_E_NOT_CONNECTED : S_OK;
    const AVCodec* codec = avcodec_find_decoder(st->codecpar->codec_id);
    if (!codec)
        return VFW_E_UNSUPPORTED_STREAM;
    m_codec = avcodec_alloc_context3(codec);
    m_frame = av_frame_alloc();
    if (!m_codec || !m_frame)
        return E_OUTOFMEMORY;
    if (avcodec_parameters_to_context(m_codec, st->codecpar) < 0)
        return E_OUTOFMEMORY;
    m_codec->pkt_timebase = st->time_base;
    // The stream itself may claim a larger picture than its container did;
    // the decoder refuses to allocate one beyond what we would ever convert.
    m_codec->max_pixels = kMaxFrameBytes / 3;
    m_buffers.reset(new (std::nothrow) FrameBuffers());
    if (!m_buffers)
        return E_OUTOFMEMORY;
    m_buffers->attach(m_codec);
    m_firstFrameOnly = endsAfterFirstSample();
    if (m_firstFrameOnly) {
        m_codec->thread_count = kFirstFrameThreads;
        m_codec->thread_type = FF_THREAD_SLICE;
    } else {
        m_codec->thread_count = 0;
    }
    int ret = avcodec_open2(m_codec, codec, nullptr);
    if (ret < 0)
        return ret == AVERROR(ENOMEM) ? E_OUTOFMEMORY : VFW_E_UNSUPPORTED_STREAM;
    m_framesOut = 0;
    m_packetsWithoutFrame = 0;
    m_failed = false;
    return S_OK;
}

void DecoderFilter::deactivate()
{
    avcodec_free_context(&m_codec);
    av_frame_free(&m_frame);
    m_buffers.reset();
}

HRESULT DecoderFilter::fail(HRESULT hr)
{
    if (!m_failed) {
        m_failed = true;
        notifyEvent(EC_ERRORABORT, hr);
    }
    return hr;
}

HRESULT DecoderFilter::passFrames(bool& got)
{
    for (;;) {
        int ret = avcodec_receive_frame(m_codec, m_frame);
        if (ret == AVERROR(EAGAIN) || ret == AVERROR_EOF)
            return S_OK;
        if (ret == AVERROR(ENOMEM))
            return fail(E_OUTOFMEMORY);
        if (ret < 0)
            return S_OK; // a broken picture; the next packet may do better
        got = true;
        ++m_framesOut;
        StreamItem item;
        item.frame = m_frame;
        int64_t pts = m_frame->best_effort_timestamp;
        if (pts != AV_NOPTS_VALUE && m_codec->pkt_timebase.num > 0) {
            item.hasTime = true;
            item.start = av_rescale_q(pts, m_codec->pkt_timebase, kReferenceTimeBase);
            int64_t duration = m_frame->pkt_duration > 0 ? m_frame->pkt_duration : 0;
            item.end = item.start + av_rescale_q(duration, m_codec->pkt_timebase, kReferenceTimeBase);
            if (item.end <= item.start)
                item.end = item.start + 1;
        }
        item.syncPoint = m_frame->key_frame != 0;
        HRESULT hr = m_out.isConnected() ? m_out.deliver(item) : S_OK;
        av_frame_unref(m_frame);
        if (hr != S_OK)
            return hr;
    }
}

HRESULT DecoderFilter::receive(MediaPin&, StreamItem& item)
{
    if (!m_codec || state() == State_Stopped)
        return VFW_E_WRONG_STATE;
    if (m_failed)
        return E_FAIL;
    const AVPacket* packet = item.packet;
    if (!packet)
        return E_UNEXPECTED;

    int ret = avcodec_send_packet(m_codec, packet);
    if (ret == AVERROR(ENOMEM))
        return fail(E_OUTOFMEMORY);
    bool got = false;
    HRESULT hr = passFrames(got);
    if (hr != S_OK)
        return hr;

    // A decoder that reorders frames holds the first picture back until
    // later packets arrive. When only the first picture is wanted, a key
    // packet is decoded at once by draining the decoder; should that give
    // nothing, the decoder is reset and decoding goes on with later packets.
    if (!got && m_firstFrameOnly && m_framesOut == 0 && (packet->flags & AV_PKT_FLAG_KEY) && ret >= 0) {
        if (avcodec_send_packet(m_codec, nullptr) >= 0) {
            hr = passFrames(got);
            if (hr != S_OK)
                return hr;
        }
        avcodec_flush_buffers(m_codec);
    }

    if (got) {
        m_packetsWithoutFrame = 0;
    } else if (++m_packetsWithoutFrame > kMaxPacketsWithoutFrame) {
        return fail(VFW_E_INVALID_FILE_FORMAT);
    }
    return S_OK;
}

void DecoderFilter::endOfStream(MediaPin&)
{
    if (!m_codec || m_failed)
        return;
    // Pictures still held by the decoder come out now.
    if (avcodec_send_packet(m_codec, nullptr) >= 0) {
        bool got = false;
        HRESULT hr = passFrames(got);
        if (FAILED(hr))
            fail(hr);
        if (hr != S_OK)
            return;
    }
    // A stream that ends without a single picture is an error, not a completion.
    if (m_framesOut == 0) {
        fail(VFW_E_INVALID_FILE_FORMAT);
        return;
    }
    forwardEndOfStream();
}

} // namespace comrt::media
