#include "platform/linux/media/DecoderFilter.h"

#include "platform/linux/media/HeapThresholds.h"
#include "platform/linux/media/KeyPackets.h"
#include "platform/linux/media/SourceFilter.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <new>

namespace comrt::media {

namespace {

// When only the first picture is wanted it should come as soon as possible:
// each frame thread delays it by one packet, and slice threads only help
// streams cut into several slices, at the cost of starting the threads. A
// stream that is played on gets the decoder's automatic choice.
constexpr int kFirstPictureThreads = 1;

const AVRational kReferenceTimeBase = {1, 10000000};

HRESULT fromAverror(int ret)
{
    return ret == AVERROR(ENOMEM) ? E_OUTOFMEMORY : VFW_E_UNSUPPORTED_STREAM;
}

} // namespace

DecoderFilter::DecoderFilter()
    : MediaFilter(GUID_NULL), m_in(addPin(PINDIR_INPUT, u"XForm In")), m_out(addPin(PINDIR_OUTPUT, u"XForm Out"))
{
}

DecoderFilter::~DecoderFilter()
{
    closeDecoder();
    dropFirstPicture();
}

HRESULT DecoderFilter::create(MediaFilter** out)
{
    *out = new (std::nothrow) DecoderFilter();
    return *out ? S_OK : E_OUTOFMEMORY;
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
    SourceFilter* src = SourceFilter::feeding(m_in);
    if (index != 0 || !src)
        return S_FALSE;
    // No picture, no type: a stream that yields none cannot be connected.
    if (readFirstPicture() != S_OK || !frameSizeAcceptable(m_firstWidth, m_firstHeight))
        return S_FALSE;
    const AVStream* st = src->videoStream();
    REFERENCE_TIME frameTime = 0;
    if (st->avg_frame_rate.num > 0 && st->avg_frame_rate.den > 0)
        frameTime = av_rescale(10000000, st->avg_frame_rate.den, st->avg_frame_rate.num);
    HRESULT hr = makeVideoInfoType(mt, MEDIASUBTYPE_DecodedFrame, m_firstWidth, m_firstHeight, 0, DWORD(0xFFFFFFFF),
                                   frameTime);
    return FAILED(hr) ? hr : S_OK;
}

void DecoderFilter::connectionChanged(MediaPin& pin)
{
    // Another source, or none: what was read ahead belongs to the old one.
    // (A graph let go of from inside a callback drops its connections while
    // this filter is still streaming; it is left alone then.)
    if (&pin == &m_in && state() == State_Stopped) {
        closeDecoder();
        dropFirstPicture();
        m_readAheadDone = false;
    }
}

HRESULT DecoderFilter::openDecoder(bool firstPictureOnly)
{
    closeDecoder();
    SourceFilter* src = SourceFilter::feeding(m_in);
    if (!src)
        return VFW_E_NOT_CONNECTED;
    const AVStream* st = src->videoStream();
    const AVCodec* codec = avcodec_find_decoder(st->codecpar->codec_id);
    if (!codec)
        return VFW_E_UNSUPPORTED_STREAM;
    m_codec = avcodec_alloc_context3(codec);
    m_frame = av_frame_alloc();
    m_buffers.reset(new (std::nothrow) FrameBuffers());
    if (!m_codec || !m_frame || !m_buffers)
        return E_OUTOFMEMORY;
    int ret = avcodec_parameters_to_context(m_codec, st->codecpar);
    if (ret < 0)
        return fromAverror(ret);
    m_codec->pkt_timebase = st->time_base;
    m_outputStart.setUp(*src->container(), *st);
    m_buffers->attach(m_codec);
    m_firstPictureOnly = firstPictureOnly;
    if (firstPictureOnly) {
        m_codec->thread_count = kFirstPictureThreads;
        m_codec->thread_type = FF_THREAD_SLICE;
    } else {
        m_codec->thread_count = 0;
    }
    ret = avcodec_open2(m_codec, codec, nullptr);
    if (ret < 0)
        return fromAverror(ret);
    m_packetsSent = 0;
    return S_OK;
}

void DecoderFilter::closeDecoder()
{
    if (m_codec)
        keepDecoderMemoryForTheNext();
    avcodec_free_context(&m_codec);
    av_frame_free(&m_frame);
    m_buffers.reset();
}

void DecoderFilter::dropFirstPicture()
{
    av_frame_free(&m_first);
    m_firstConverted.release();
}

HRESULT DecoderFilter::readFirstPicture()
{
    if (m_readAheadDone)
        return m_readAheadResult;
    SourceFilter* src = SourceFilter::feeding(m_in);
    if (!src)
        return VFW_E_NOT_CONNECTED;
    m_readAheadDone = true;
    m_keepingFirst = true;
    const int claimedRows = src->videoStream()->codecpar->height;
    if (claimedRows > 0 && claimedRows < BandConverter::kLeastRows) {
        // A small picture is decoded right here: handing it to the streaming
        // thread and back costs more than it saves, its decoder's memory is
        // little, and HeapThresholds.cpp keeps that for the next pipeline.
        // (The size is the container's word; were it wrong, only the speed
        // would be.)
        m_readAheadResult = readAhead(*src);
    } else {
        readAheadOnStreamingThread(*src);
    }
    m_keepingFirst = false;
    if (m_readAheadResult != S_OK) {
        closeDecoder();
        dropFirstPicture();
    }
    return m_readAheadResult;
}

void DecoderFilter::readAheadOnStreamingThread(SourceFilter& source)
{
    // Decoded on the source's streaming thread, which streams the run after
    // it: the decoder's tables and pools come from that thread's heap, and
    // go back there at teardown, so that the next pipeline finds them again
    // whatever the host's own thread does with its heap meanwhile (2160p
    // H.264 in a process that also decodes pictures of its own: 20 ms a
    // first frame against 36 ms on the caller's thread). The caller, waiting
    // for it, converts the picture meanwhile, band by band.
    m_bands.reset(new (std::nothrow) BandConverter());
    source.onStreamingThread(
        [this, &source] {
            m_readAheadResult = readAhead(source);
            if (m_bands)
                m_bands->decoded(m_first);
        },
        [this] {
            if (m_bands)
                m_bands->convertWhileDecoding(m_firstConverted);
        });
    m_bands.reset();
}

HRESULT DecoderFilter::readAhead(SourceFilter& source)
{
    // The file is rewound first: that may open it again, and the decoder is
    // set up from the stream as it will then be read.
    HRESULT hr = source.beginReadAhead(this);
    if (SUCCEEDED(hr))
        hr = openDecoder(true);
    if (FAILED(hr))
        return hr;
    AVPacket* packet = av_packet_alloc();
    if (!packet)
        return E_OUTOFMEMORY;
    if (m_bands)
        m_bands->listen(m_codec);
    // As far as it takes: no budget may stop short of a picture FFmpeg finds.
    while (hr == S_OK && !m_first) {
        hr = source.readAhead(packet);
        if (hr == S_OK) {
            hr = decode(packet);
            av_packet_unref(packet);
        } else if (hr == S_FALSE) {
            hr = decode(nullptr);
            break;
        }
    }
    av_packet_free(&packet);
    if (m_codec)
        m_codec->draw_horiz_band = nullptr; // the run's pictures are converted as they come
    if (m_first) {
        m_firstWidth = m_first->width;
        m_firstHeight = m_first->height;
        return S_OK;
    }
    return FAILED(hr) ? hr : VFW_E_INVALID_FILE_FORMAT;
}

HRESULT DecoderFilter::activate()
{
    SourceFilter* src = SourceFilter::feeding(m_in);
    if (!src)
        return m_in.isConnected() ? VFW_E_NOT_CONNECTED : S_OK;
    m_framesOut = 0;
    m_failed = false;
    const bool oneShot = endsAfterFirstSample();
    // A one-shot run carries on from the read-ahead: the kept picture goes
    // out first, and the decoder goes on with the packets after it.
    if (oneShot && m_first && m_codec && src->continueAfterReadAhead(this))
        return S_OK;
    // Any other run decodes from the top, with a decoder of its own.
    dropFirstPicture();
    return openDecoder(oneShot);
}

void DecoderFilter::deactivate()
{
    closeDecoder();
    dropFirstPicture();
}

HRESULT DecoderFilter::fail(HRESULT hr)
{
    // While reading ahead there is no run to abort: the caller hears of it.
    if (!m_failed && !m_keepingFirst) {
        m_failed = true;
        notifyEvent(EC_ERRORABORT, hr);
    }
    return hr;
}

HRESULT DecoderFilter::passOn(AVFrame* frame)
{
    ++m_framesOut;
    StreamItem item;
    item.frame = frame;
    if (frame == m_first && m_firstConverted.buffer)
        item.converted = &m_firstConverted;
    int64_t pts = frame->best_effort_timestamp;
    if (pts != AV_NOPTS_VALUE && m_codec && m_codec->pkt_timebase.num > 0) {
        item.hasTime = true;
        item.start = av_rescale_q(pts, m_codec->pkt_timebase, kReferenceTimeBase);
        int64_t duration = frame->pkt_duration > 0 ? frame->pkt_duration : 0;
        item.end = item.start + av_rescale_q(duration, m_codec->pkt_timebase, kReferenceTimeBase);
        if (item.end <= item.start)
            item.end = item.start + 1;
    }
    item.syncPoint = frame->key_frame != 0;
    HRESULT hr = m_out.isConnected() ? m_out.deliver(item) : S_OK;
    av_frame_unref(frame);
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
        // Before the first picture goes out, those FFmpeg would drop are passed over.
        if (m_framesOut == 0 && !m_first && m_outputStart.dropsAsFirst(*m_frame)) {
            if (m_bands)
                m_bands->pictureDropped(); // its planes may be the next picture's
            av_frame_unref(m_frame);
            continue;
        }
        got = true;
        if (m_keepingFirst) {
            // Later pictures stay in the decoder for the run to collect.
            m_first = av_frame_alloc();
            if (!m_first)
                return E_OUTOFMEMORY;
            av_frame_move_ref(m_first, m_frame);
            return S_FALSE;
        }
        HRESULT hr = passOn(m_frame);
        if (hr != S_OK)
            return hr;
    }
}

HRESULT DecoderFilter::send(const AVPacket* packet, bool& got)
{
    ++m_packetsSent;
    int ret = avcodec_send_packet(m_codec, packet);
    if (ret == AVERROR(EAGAIN)) {
        // Pictures left from before (the read-ahead stops at the first) come out first.
        HRESULT hr = passFrames(got);
        if (hr != S_OK)
            return hr;
        ret = avcodec_send_packet(m_codec, packet);
    }
    if (ret == AVERROR(ENOMEM))
        return fail(E_OUTOFMEMORY);
    // A packet the decoder refuses is passed over, as FFmpeg's own tools do.
    return passFrames(got);
}

HRESULT DecoderFilter::decode(const AVPacket* packet)
{
    // A decoder that reorders pictures holds the first one back until later
    // packets arrive. When only the first picture is wanted and this packet's
    // picture is sure to be it, the decoder is drained for it at once.
    const bool firstPacket = packet && m_firstPictureOnly && m_packetsSent == 0;
    const SourceFilter* src = firstPacket ? SourceFilter::feeding(m_in) : nullptr;
    const bool drainForIt = src && showsFirstWhenDecodedFirst(*src->videoStream()->codecpar, *packet);
    bool got = false;
    HRESULT hr = send(packet, got);
    if (hr != S_OK || got || !drainForIt)
        return hr;
    if (avcodec_send_packet(m_codec, nullptr) >= 0) {
        hr = passFrames(got);
        if (hr != S_OK || got)
            return hr;
    }
    // Drained without a picture. A drained decoder takes nothing more, and
    // flushing it would lose the pictures later packets refer to: a fresh
    // one starts over with this packet and decodes on normally.
    hr = openDecoder(m_firstPictureOnly);
    if (FAILED(hr))
        return fail(hr);
    return send(packet, got);
}

HRESULT DecoderFilter::startOfStream(MediaPin& in)
{
    // The picture read ahead goes out first.
    if (m_first && state() != State_Stopped) {
        HRESULT hr = passOn(m_first);
        dropFirstPicture();
        if (hr != S_OK)
            return hr;
    }
    return MediaFilter::startOfStream(in);
}

HRESULT DecoderFilter::receive(MediaPin&, StreamItem& item)
{
    if (!m_codec || state() == State_Stopped)
        return VFW_E_WRONG_STATE;
    if (m_failed)
        return E_FAIL;
    if (!item.packet)
        return E_UNEXPECTED;
    return decode(item.packet);
}

void DecoderFilter::endOfStream(MediaPin&)
{
    if (!m_codec || m_failed)
        return;
    // Pictures still held by the decoder come out now.
    HRESULT hr = decode(nullptr);
    if (FAILED(hr))
        fail(hr);
    if (hr != S_OK)
        return;
    // A stream that ends without a single picture is an error, not a completion.
    if (m_framesOut == 0) {
        fail(VFW_E_INVALID_FILE_FORMAT);
        return;
    }
    forwardEndOfStream();
}

} // namespace comrt::media
