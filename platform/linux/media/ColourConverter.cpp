#include "platform/linux/media/ColourConverter.h"

#include "platform/linux/media/MediaHooks.h"

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/imgutils.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

#include <cstdlib>
#include <cstring>
#include <new>

namespace comrt::media {

namespace {

// Samples that may be out at one time; a one-shot run needs one.
constexpr int kMaxSamples = 8;

// The JPEG pixel formats are the plain ones at full range; the scaler wants
// them named so, with the range given apart.
AVPixelFormat withoutJpegAlias(AVPixelFormat fmt, bool& fullRange)
{
    switch (fmt) {
    case AV_PIX_FMT_YUVJ420P:
        fullRange = true;
        return AV_PIX_FMT_YUV420P;
    case AV_PIX_FMT_YUVJ422P:
        fullRange = true;
        return AV_PIX_FMT_YUV422P;
    case AV_PIX_FMT_YUVJ444P:
        fullRange = true;
        return AV_PIX_FMT_YUV444P;
    case AV_PIX_FMT_YUVJ440P:
        fullRange = true;
        return AV_PIX_FMT_YUV440P;
    case AV_PIX_FMT_YUVJ411P:
        fullRange = true;
        return AV_PIX_FMT_YUV411P;
    default:
        return fmt;
    }
}

// Planar YUV the scaler turns into packed RGB of the same size with direct
// code of its own (rows in pairs, hence an even height), which takes the
// chroma of the nearest sample and uses none of the scaler's filters.
bool hasDirectRgbCode(AVPixelFormat fmt, int height)
{
    return (fmt == AV_PIX_FMT_YUV420P || fmt == AV_PIX_FMT_YUV422P || fmt == AV_PIX_FMT_YUVA420P) && height % 2 == 0;
}

// The scaler's vector code for YUV to RGB converts 8 pixels at a time and,
// when a row of the destination is shorter than that, silently leaves the
// last pixels of each row unwritten. Our rows are packed (padded to 4 bytes
// only), so for widths that are not a multiple of 8 the exact path is
// taken, with the same nearest-sample chroma as the vector code. Where the
// direct code converts, the filters the scaler still sets up go unused, and
// the nearest-sample ones cost a third less to set up than the others; the
// picture is the same.
int scalerFlags(AVPixelFormat format, int width, int height, bool sameSize)
{
    if (!sameSize)
        return SWS_BICUBIC | SWS_ACCURATE_RND;
    if (width % 8 != 0)
        return SWS_POINT | SWS_ACCURATE_RND;
    return hasDirectRgbCode(format, height) ? SWS_POINT : SWS_BICUBIC;
}

} // namespace

ColourConverter::ColourConverter()
    : MediaFilter(GUID_NULL), m_in(addPin(PINDIR_INPUT, u"XForm In")), m_out(addPin(PINDIR_OUTPUT, u"XForm Out"))
{
}

ColourConverter::~ColourConverter()
{
    deactivate();
}

HRESULT ColourConverter::create(MediaFilter** out)
{
    *out = new (std::nothrow) ColourConverter();
    return *out ? S_OK : E_OUTOFMEMORY;
}

HRESULT ColourConverter::checkInputType(MediaPin&, MediaPin&, const AM_MEDIA_TYPE& mt)
{
    if (mt.majortype != MEDIATYPE_Video || mt.subtype != MEDIASUBTYPE_DecodedFrame ||
        mt.formattype != FORMAT_VideoInfo || !mt.pbFormat || mt.cbFormat < sizeof(VIDEOINFOHEADER))
        return VFW_E_TYPE_NOT_ACCEPTED;
    const auto* vih = reinterpret_cast<const VIDEOINFOHEADER*>(mt.pbFormat);
    if (!frameSizeAcceptable(vih->bmiHeader.biWidth, vih->bmiHeader.biHeight))
        return VFW_E_TYPE_NOT_ACCEPTED;
    return S_OK;
}

HRESULT ColourConverter::getOutputType(MediaPin&, int index, AM_MEDIA_TYPE& mt)
{
    const VIDEOINFOHEADER* in = m_in.connectionType().videoInfo();
    if (index != 0 || !m_in.isConnected() || !in)
        return S_FALSE;
    LONG height = in->bmiHeader.biHeight;
    if (hookTopDownOutput())
        height = -height;
    HRESULT hr = makeVideoInfoType(mt, MEDIASUBTYPE_RGB24, in->bmiHeader.biWidth, height, 24, BI_RGB,
                                   in->AvgTimePerFrame);
    return FAILED(hr) ? hr : S_OK;
}

HRESULT ColourConverter::activate()
{
    const VIDEOINFOHEADER* out = m_out.connectionType().videoInfo();
    if (!out)
        return S_OK; // nothing downstream: frames are dropped
    m_width = out->bmiHeader.biWidth;
    m_topDown = out->bmiHeader.biHeight < 0;
    m_height = m_topDown ? -out->bmiHeader.biHeight : out->bmiHeader.biHeight;
    if (!frameSizeAcceptable(m_width, m_height))
        return VFW_E_INVALIDMEDIATYPE;
    m_pitch = (size_t(m_width) * 3 + 3) & ~size_t(3);
    m_pool = SamplePool::create(LONG(m_pitch * size_t(m_height)), kMaxSamples);
    if (!m_pool)
        return E_OUTOFMEMORY;
    m_failed = false;
    return S_OK;
}

void ColourConverter::deactivate()
{
    // The samples' memory stays valid up to here, and goes now.
    if (m_pool) {
        m_pool->decommit();
        m_pool.reset();
    }
    sws_freeContext(m_scaler.sws);
    m_scaler.sws = nullptr;
    m_scaler.colorspace = m_scaler.fullRange = -1;
}

HRESULT ColourConverter::fail(HRESULT hr)
{
    if (!m_failed) {
        m_failed = true;
        notifyEvent(EC_ERRORABORT, hr);
    }
    return hr;
}

ColourConverter::Scaler::~Scaler()
{
    sws_freeContext(sws);
}

SwsContext* ColourConverter::Scaler::prepare(int srcWidth, int srcHeight, int srcFormat, int dstWidth, int dstHeight,
                                             int flags, int frameColorspace, bool frameFullRange)
{
    SwsContext* next = sws_getCachedContext(sws, srcWidth, srcHeight, static_cast<AVPixelFormat>(srcFormat), dstWidth,
                                            dstHeight, AV_PIX_FMT_BGR24, flags, nullptr, nullptr, nullptr);
    if (!next) {
        sws = nullptr; // freed by sws_getCachedContext
        return nullptr;
    }
    if (next != sws) {
        sws = next;
        colorspace = fullRange = -1;
    }
    // The frame's matrix and range, as FFmpeg's own scale filter takes them.
    if (frameColorspace != colorspace || int(frameFullRange) != fullRange) {
        if (!(frameColorspace == AVCOL_SPC_UNSPECIFIED && !frameFullRange && colorspace == -1))
            sws_setColorspaceDetails(sws, sws_getCoefficients(frameColorspace), frameFullRange ? 1 : 0,
                                     sws_getCoefficients(SWS_CS_DEFAULT), 1, 0, 1 << 16, 1 << 16);
        colorspace = frameColorspace;
        fullRange = frameFullRange;
    }
    return sws;
}

HRESULT ColourConverter::convert(const AVFrame& frame, MediaSample& sample)
{
    bool fullRange = frame.color_range == AVCOL_RANGE_JPEG;
    AVPixelFormat format = withoutJpegAlias(static_cast<AVPixelFormat>(frame.format), fullRange);
    if (frame.width <= 0 || frame.height <= 0 || !sws_isSupportedInput(format))
        return VFW_E_INVALIDMEDIATYPE;
    const bool sameSize = frame.width == m_width && frame.height == m_height;

    // The buffer is written from its first row on, with its own positive
    // stride: the scaler's vector code may write a little past the end of a
    // row, which the next row then overwrites (and the buffer's slack takes
    // after the last). Bottom row first is had by reading the picture's
    // planes upwards instead.
    const uint8_t* src[4] = {frame.data[0], frame.data[1], frame.data[2], frame.data[3]};
    int srcStride[4] = {frame.linesize[0], frame.linesize[1], frame.linesize[2], frame.linesize[3]};
    if (!m_topDown) {
        ptrdiff_t linesizes[4] = {frame.linesize[0], frame.linesize[1], frame.linesize[2], frame.linesize[3]};
        size_t planeBytes[4] = {0, 0, 0, 0};
        int planes = av_pix_fmt_count_planes(format);
        if (planes <= 0 || av_image_fill_plane_sizes(planeBytes, format, frame.height, linesizes) < 0)
            return VFW_E_INVALIDMEDIATYPE;
        for (int i = 0; i < planes && i < 4; ++i) {
            if (!src[i] || srcStride[i] == 0)
                continue;
            size_t rows = planeBytes[i] / size_t(std::abs(srcStride[i]));
            src[i] += ptrdiff_t(rows - 1) * srcStride[i];
            srcStride[i] = -srcStride[i];
        }
    }
    uint8_t* base = sample.data();
    int dstStride[4] = {int(m_pitch), 0, 0, 0};

    // Exactly one pass, from the decoder's planes into the sample's buffer.
    // A decoder may deliver another size than the container announced; the
    // picture is then scaled to the connected size, which the buffer has.
    SwsContext* sws = m_scaler.prepare(frame.width, frame.height, format, m_width, m_height,
                                       scalerFlags(format, m_width, m_height, sameSize), frame.colorspace, fullRange);
    if (!sws)
        return E_OUTOFMEMORY;
    uint8_t* dst[4] = {base, nullptr, nullptr, nullptr};
    if (sws_scale(sws, src, srcStride, 0, frame.height, dst, dstStride) != m_height)
        return E_FAIL;

    // The padding at the end of each row is defined: zero.
    size_t used = size_t(m_width) * 3;
    if (used != m_pitch)
        for (int y = 0; y < m_height; ++y)
            std::memset(base + m_pitch * size_t(y) + used, 0, m_pitch - used);
    return S_OK;
}

HRESULT ColourConverter::receive(MediaPin&, StreamItem& item)
{
    if (state() == State_Stopped)
        return VFW_E_WRONG_STATE;
    if (m_failed)
        return E_FAIL;
    if (!item.frame)
        return E_UNEXPECTED;
    if (!m_out.isConnected() || !m_pool)
        return S_OK;

    MediaSample* sample = m_pool->getSample();
    if (!sample)
        return fail(E_OUTOFMEMORY);
    HRESULT hr = convert(*item.frame, *sample);
    if (FAILED(hr)) {
        sample->Release();
        return fail(hr);
    }
    if (item.hasTime)
        sample->SetTime(&item.start, &item.end);
    sample->SetSyncPoint(item.syncPoint);
    StreamItem out;
    out.sample = sample;
    out.hasTime = item.hasTime;
    out.start = item.start;
    out.end = item.end;
    out.syncPoint = item.syncPoint;
    hr = m_out.deliver(out);
    sample->Release();
    return hr;
}

} // namespace comrt::media
