#include "platform/linux/media/BandConverter.h"

#include "platform/linux/media/LargeBuffers.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libavutil/pixdesc.h>
}

#include <algorithm>
#include <cstring>

namespace comrt::media {

namespace {

// Rows converted at a time: even, so that no 4:2:0 chroma row is split.
constexpr int kBandRows = 32;
// FFmpeg's picture structure of a whole frame (PICT_FRAME), as draw_horiz_band reports it.
constexpr int kWholeFrame = 3;

// The converter the decoder on this thread reports its bands to: the
// decoder calls back on the thread that decodes.
thread_local BandConverter* t_listening = nullptr;

// Whether `a` has the planes and colours of `b`; the sizes are left aside.
bool samePlanes(const AVFrame& a, const AVFrame& b)
{
    for (int i = 0; i < 4; ++i)
        if (a.data[i] != b.data[i] || a.linesize[i] != b.linesize[i])
            return false;
    return a.format == b.format && a.color_range == b.color_range && a.colorspace == b.colorspace;
}

} // namespace

void ConvertedPicture::release()
{
    freeLargeBuffer(buffer, bytes());
    buffer = nullptr;
}

BandConverter::~BandConverter()
{
    if (t_listening == this)
        t_listening = nullptr;
    av_frame_free(&m_source);
}

void BandConverter::listen(AVCodecContext* codec)
{
    codec->draw_horiz_band = drawBand;
    codec->slice_flags = SLICE_FLAG_CODED_ORDER; // the picture being decoded, not the one shown last
    t_listening = this;
}

void BandConverter::drawBand(AVCodecContext* codec, const AVFrame* src, int*, int y, int type, int height)
{
    if (t_listening && src && codec)
        t_listening->band(*src, *codec, y, y + height, type == kWholeFrame);
}

void BandConverter::publish(int state)
{
    m_state.store(state, std::memory_order_release);
    m_state.notify_one();
}

void BandConverter::band(const AVFrame& src, const AVCodecContext& codec, int top, int bottom, bool wholeFrame)
{
    if (m_failed || m_ended)
        return;
    if (!m_source) {
        if (!wholeFrame || !startOn(src, codec)) {
            m_failed = true;
            publish(kGivenUp);
            return;
        }
    } else if (!wholeFrame || !samePlanes(src, *m_source)) {
        // Another picture (the first one was dropped): converted afterwards.
        m_failed = true;
        publish(kGivenUp);
        return;
    }
    const int ready = m_state.load(std::memory_order_relaxed);
    if (top > ready) {
        // Rows left out: a slice was lost, and what stands in for it is
        // filled in after the decode. Converted afterwards.
        m_failed = true;
        publish(kGivenUp);
        return;
    }
    if (bottom > ready)
        publish(std::min(bottom, m_source->height));
}

bool BandConverter::startOn(const AVFrame& src, const AVCodecContext& codec)
{
    // The picture is shown at the decoder's size: its planes may hold more
    // rows and columns (a 1080-row picture coded in 1088), cut off at the
    // bottom and right. (Cut at the top or left, the picture shown starts
    // elsewhere in the planes, and decoded() turns it down.)
    if (codec.width > src.width || codec.height > src.height || codec.height < kLeastRows)
        return false;
    m_source = av_frame_alloc();
    if (!m_source)
        return false;
    // A view of the decoder's planes, which stay its own.
    m_source->format = src.format;
    m_source->width = codec.width;
    m_source->height = codec.height;
    m_source->color_range = src.color_range;
    m_source->colorspace = src.colorspace;
    for (int i = 0; i < 4; ++i) {
        m_source->data[i] = src.data[i];
        m_source->linesize[i] = src.linesize[i];
    }
    if (!PictureConverter::convertsInBands(*m_source))
        return false;
    m_picture.width = m_source->width;
    m_picture.height = m_source->height;
    m_picture.pitch = (size_t(m_picture.width) * 3 + 3) & ~size_t(3);
    m_picture.buffer = static_cast<uint8_t*>(allocateLargeBuffer(m_picture.bytes()));
    return m_picture.buffer != nullptr;
}

void BandConverter::pictureDropped()
{
    if (m_failed || m_ended)
        return;
    m_failed = true;
    publish(kGivenUp);
}

void BandConverter::decoded(const AVFrame* frame)
{
    if (m_ended)
        return;
    m_ended = true;
    if (t_listening == this)
        t_listening = nullptr;
    // Only a whole key picture the decoder made in one go, undamaged: a
    // damaged one is patched up after its rows were reported.
    const bool whole = frame && !m_failed && m_source && samePlanes(*frame, *m_source) &&
                       frame->width == m_source->width && frame->height == m_source->height &&
                       m_state.load(std::memory_order_relaxed) >= frame->height &&
                       (frame->key_frame || frame->pict_type == AV_PICTURE_TYPE_I) &&
                       frame->decode_error_flags == 0 && !(frame->flags & AV_FRAME_FLAG_CORRUPT);
    publish(whole ? kWhole : kGivenUp);
}

bool BandConverter::convertWhileDecoding(ConvertedPicture& out)
{
    for (int seen = 0;;) {
        m_state.wait(seen, std::memory_order_acquire);
        const int state = m_state.load(std::memory_order_acquire);
        if (state == kGivenUp)
            return false;
        const int upTo = state == kWhole ? m_source->height : state / kBandRows * kBandRows;
        if (!convertUpTo(upTo))
            return false;
        if (state == kWhole) {
            out.release();
            out.buffer = m_picture.buffer;
            out.width = m_picture.width;
            out.height = m_picture.height;
            out.pitch = m_picture.pitch;
            m_picture.buffer = nullptr;
            return true;
        }
        seen = state;
    }
}

bool BandConverter::convertUpTo(int upTo)
{
    const AVPixFmtDescriptor* desc = av_pix_fmt_desc_get(static_cast<AVPixelFormat>(m_source->format));
    const int height = m_source->height;
    AVFrame band = *m_source;
    band.height = kBandRows;
    while (m_converted < upTo) {
        // Every band is kBandRows high, so that one scaler set-up serves all;
        // the last one overlaps the one before it, which converts the same.
        const int top = std::min(m_converted, height - kBandRows);
        for (int i = 0; i < 4; ++i) {
            const int rows = (i == 1 || i == 2) ? top >> desc->log2_chroma_h : top;
            band.data[i] = m_source->data[i] ? m_source->data[i] + ptrdiff_t(rows) * m_source->linesize[i] : nullptr;
        }
        uint8_t* rows = m_picture.buffer + size_t(height - top - kBandRows) * m_picture.pitch;
        // What the conversion may store past its last row belongs to the band
        // above it, converted already: it is kept aside and put back.
        uint8_t* past = rows + size_t(kBandRows) * m_picture.pitch;
        uint8_t kept[kConversionSlack];
        std::memcpy(kept, past, sizeof kept);
        const HRESULT hr = m_converter.convert(band, rows, band.width, kBandRows, m_picture.pitch, true);
        std::memcpy(past, kept, sizeof kept);
        if (FAILED(hr))
            return false;
        m_converted = top + kBandRows;
    }
    return true;
}


} // namespace comrt::media
