#include "platform/linux/media/JpegDecoderFilter.h"

#include "platform/linux/media/MediaHooks.h"
#include "platform/linux/media/SourceFilter.h"

extern "C" {
#include <libavformat/avformat.h>
}

#include <turbojpeg.h>

#include <cstring>
#include <new>

namespace comrt::media {

namespace {

// Samples that may be out at one time; a one-shot run needs one.
constexpr int kMaxSamples = 8;

const AVRational kReferenceTimeBase = {1, 10000000};

// Layouts FFmpeg decodes to the picture libjpeg-turbo gives (with chroma
// taken from the nearest sample); others are left to FFmpeg.
bool decodesAsFfmpeg(int subsampling, int colorspace)
{
    const bool layout = subsampling == TJSAMP_420 || subsampling == TJSAMP_422 || subsampling == TJSAMP_444 ||
                        subsampling == TJSAMP_GRAY;
    return layout && (colorspace == TJCS_YCbCr || colorspace == TJCS_GRAY);
}

} // namespace

JpegDecoderFilter::JpegDecoderFilter()
    : MediaFilter(GUID_NULL), m_in(addPin(PINDIR_INPUT, u"XForm In")), m_out(addPin(PINDIR_OUTPUT, u"XForm Out"))
{
}

JpegDecoderFilter::~JpegDecoderFilter()
{
    release();
    if (m_jpeg)
        tjDestroy(m_jpeg);
}

HRESULT JpegDecoderFilter::create(MediaFilter** out)
{
    *out = new (std::nothrow) JpegDecoderFilter();
    return *out ? S_OK : E_OUTOFMEMORY;
}

HRESULT JpegDecoderFilter::checkInputType(MediaPin&, MediaPin& from, const AM_MEDIA_TYPE& mt)
{
    auto* source = dynamic_cast<SourceFilter*>(&from.filter());
    const AVStream* st = source ? source->videoStream() : nullptr;
    if (!st || mt.majortype != MEDIATYPE_Video || st->codecpar->codec_id != AV_CODEC_ID_MJPEG)
        return VFW_E_TYPE_NOT_ACCEPTED;
    return S_OK;
}

HRESULT JpegDecoderFilter::getOutputType(MediaPin&, int index, AM_MEDIA_TYPE& mt)
{
    SourceFilter* src = SourceFilter::feeding(m_in);
    if (index != 0 || !src || readFirstPicture() != S_OK)
        return S_FALSE;
    const AVStream* st = src->videoStream();
    REFERENCE_TIME frameTime = 0;
    if (st->avg_frame_rate.num > 0 && st->avg_frame_rate.den > 0)
        frameTime = av_rescale(10000000, st->avg_frame_rate.den, st->avg_frame_rate.num);
    HRESULT hr = makeVideoInfoType(mt, MEDIASUBTYPE_RGB24, m_width, m_topDown ? -m_height : m_height, 24, BI_RGB,
                                   frameTime);
    return FAILED(hr) ? hr : S_OK;
}

void JpegDecoderFilter::connectionChanged(MediaPin& pin)
{
    // Another source, or none: what was read ahead belongs to the old one.
    if (&pin == &m_in && state() == State_Stopped) {
        release();
        m_readAheadDone = false;
    }
}

HRESULT JpegDecoderFilter::readFirstPicture()
{
    if (m_readAheadDone)
        return m_readAheadResult;
    SourceFilter* src = SourceFilter::feeding(m_in);
    if (!src)
        return VFW_E_NOT_CONNECTED;
    m_readAheadDone = true;
    // On the source's streaming thread, as the decoder of FFmpeg's does it.
    src->onStreamingThread([this, src] { m_readAheadResult = readAhead(*src); }, [] {});
    if (m_readAheadResult != S_OK)
        release();
    return m_readAheadResult;
}

HRESULT JpegDecoderFilter::readAhead(SourceFilter& source)
{
    if (!m_jpeg && !(m_jpeg = tjInitDecompress()))
        return E_OUTOFMEMORY;
    HRESULT hr = source.beginReadAhead(this);
    if (FAILED(hr))
        return hr;
    m_outputStart.setUp(*source.container(), *source.videoStream());
    AVPacket* packet = av_packet_alloc();
    if (!packet)
        return E_OUTOFMEMORY;
    hr = source.readAhead(packet);
    if (hr == S_OK)
        hr = examineFirst(*packet);
    if (hr == S_OK) {
        m_first = decode(*packet);
        hr = m_first ? S_OK : VFW_E_UNSUPPORTED_STREAM;
    }
    av_packet_free(&packet);
    return hr == S_FALSE ? VFW_E_INVALID_FILE_FORMAT : hr;
}

HRESULT JpegDecoderFilter::examineFirst(const AVPacket& packet)
{
    // The start of an edit list, or a picture the command line drops before
    // its output starts: FFmpeg's decoder finds the first picture then.
    if ((packet.flags & AV_PKT_FLAG_DISCARD) || m_outputStart.dropsAsFirst(packet.pts, packet.duration))
        return VFW_E_UNSUPPORTED_STREAM;
    int width = 0, height = 0, subsampling = -1, colorspace = -1;
    if (tjDecompressHeader3(m_jpeg, packet.data, static_cast<unsigned long>(packet.size), &width, &height,
                            &subsampling, &colorspace) != 0 ||
        !decodesAsFfmpeg(subsampling, colorspace))
        return VFW_E_UNSUPPORTED_STREAM;
    // Another size than the container's: the two fields of an interlaced
    // frame, say, which FFmpeg's decoder puts together.
    const AVCodecParameters* par = SourceFilter::feeding(m_in)->videoStream()->codecpar;
    if ((par->width > 0 && par->width != width) || (par->height > 0 && par->height != height) ||
        !frameSizeAcceptable(width, height))
        return VFW_E_UNSUPPORTED_STREAM;
    m_width = width;
    m_height = height;
    m_topDown = hookTopDownOutput();
    m_pitch = (size_t(width) * 3 + 3) & ~size_t(3);
    m_pool = SamplePool::create(LONG(m_pitch * size_t(height)), kMaxSamples);
    return m_pool ? S_OK : E_OUTOFMEMORY;
}

MediaSample* JpegDecoderFilter::decode(const AVPacket& packet)
{
    MediaSample* sample = m_pool ? m_pool->getSample() : nullptr;
    if (!sample)
        return nullptr;
    const int flags = TJFLAG_FASTUPSAMPLE | (m_topDown ? 0 : TJFLAG_BOTTOMUP);
    // A warning means damaged data, which FFmpeg's decoder mends otherwise.
    if (tjDecompress2(m_jpeg, packet.data, static_cast<unsigned long>(packet.size), sample->data(), m_width,
                      int(m_pitch), m_height, TJPF_BGR, flags) != 0) {
        sample->Release();
        return nullptr;
    }
    // The padding at the end of each row is defined: zero.
    const size_t used = size_t(m_width) * 3;
    if (used != m_pitch)
        for (int y = 0; y < m_height; ++y)
            std::memset(sample->data() + m_pitch * size_t(y) + used, 0, m_pitch - used);
    const AVStream* st = SourceFilter::feeding(m_in)->videoStream();
    const int64_t pts = packet.pts != AV_NOPTS_VALUE ? packet.pts : packet.dts;
    if (pts != AV_NOPTS_VALUE) {
        REFERENCE_TIME start = av_rescale_q(pts, st->time_base, kReferenceTimeBase);
        REFERENCE_TIME end = start + av_rescale_q(packet.duration > 0 ? packet.duration : 0, st->time_base,
                                                  kReferenceTimeBase);
        if (end <= start)
            end = start + 1;
        sample->SetTime(&start, &end);
    }
    sample->SetSyncPoint(TRUE);
    return sample;
}

HRESULT JpegDecoderFilter::activate()
{
    SourceFilter* src = SourceFilter::feeding(m_in);
    if (!src)
        return m_in.isConnected() ? VFW_E_NOT_CONNECTED : S_OK;
    m_framesOut = 0;
    m_failed = false;
    // A one-shot run hands on the picture read ahead; any other run decodes
    // from the top.
    if (endsAfterFirstSample() && m_first && src->continueAfterReadAhead(this))
        return S_OK;
    dropFirst();
    if (!m_pool)
        m_pool = SamplePool::create(LONG(m_pitch * size_t(m_height)), kMaxSamples);
    return m_pool ? S_OK : E_OUTOFMEMORY;
}

void JpegDecoderFilter::deactivate()
{
    // The samples' memory stays valid up to here, and goes now.
    release();
}

void JpegDecoderFilter::dropFirst()
{
    if (m_first) {
        m_first->Release();
        m_first = nullptr;
    }
}

void JpegDecoderFilter::release()
{
    dropFirst();
    if (m_pool) {
        m_pool->decommit();
        m_pool.reset();
    }
}

HRESULT JpegDecoderFilter::passOn(MediaSample* sample)
{
    ++m_framesOut;
    StreamItem item;
    item.sample = sample;
    item.syncPoint = true;
    REFERENCE_TIME start = 0, end = 0;
    item.hasTime = sample->GetTime(&start, &end) == S_OK;
    item.start = start;
    item.end = end;
    HRESULT hr = m_out.isConnected() ? m_out.deliver(item) : S_OK;
    sample->Release();
    return hr;
}

HRESULT JpegDecoderFilter::startOfStream(MediaPin& in)
{
    if (m_first && state() != State_Stopped) {
        MediaSample* first = m_first;
        m_first = nullptr;
        HRESULT hr = passOn(first);
        if (hr != S_OK)
            return hr;
    }
    return MediaFilter::startOfStream(in);
}

HRESULT JpegDecoderFilter::receive(MediaPin&, StreamItem& item)
{
    if (state() == State_Stopped)
        return VFW_E_WRONG_STATE;
    if (m_failed)
        return E_FAIL;
    if (!item.packet)
        return E_UNEXPECTED;
    // A picture that does not decode whole is passed over.
    MediaSample* sample = decode(*item.packet);
    return sample ? passOn(sample) : S_OK;
}

void JpegDecoderFilter::endOfStream(MediaPin&)
{
    if (m_failed)
        return;
    // A stream that ends without a single picture is an error, not a completion.
    if (m_framesOut == 0) {
        m_failed = true;
        notifyEvent(EC_ERRORABORT, VFW_E_INVALID_FILE_FORMAT);
        return;
    }
    forwardEndOfStream();
}

} // namespace comrt::media
