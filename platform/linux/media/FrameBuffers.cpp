#include "platform/linux/media/FrameBuffers.h"

#include "platform/linux/media/LargeBuffers.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/imgutils.h>
#include <libavutil/pixdesc.h>
}

#include <cstring>

namespace comrt::media {

namespace {

// What FFmpeg's default adds after each plane for its vector code, at the
// largest alignment any build of it uses.
constexpr size_t kPlanePadding = 16 + 64 - 1;
constexpr size_t kPlaneAlignment = 64;

void freeBlock(void* opaque, uint8_t* data)
{
    freeLargeBuffer(data, reinterpret_cast<size_t>(opaque));
}

AVBufferRef* allocateBlock(void*, size_t size)
{
    // Zeroed, as FFmpeg's default does when a pool makes a buffer.
    void* p = allocateZeroedLargeBuffer(size);
    if (!p)
        return nullptr;
    AVBufferRef* ref = av_buffer_create(static_cast<uint8_t*>(p), size, freeBlock, reinterpret_cast<void*>(size), 0);
    if (!ref)
        freeLargeBuffer(p, size);
    return ref;
}

} // namespace

FrameBuffers::~FrameBuffers()
{
    // Buffers still out keep the pool alive until they come back.
    av_buffer_pool_uninit(&m_pool);
}

void FrameBuffers::attach(AVCodecContext* codec)
{
    // Only decoders that take buffers from outside, and no hardware frames.
    if (!(codec->codec->capabilities & AV_CODEC_CAP_DR1))
        return;
    codec->opaque = this;
    codec->get_buffer2 = getBuffer;
}

int FrameBuffers::layOut(AVCodecContext* codec, const AVFrame& frame)
{
    auto format = static_cast<AVPixelFormat>(frame.format);
    int w = frame.width;
    int h = frame.height;
    int align[AV_NUM_DATA_POINTERS];
    avcodec_align_dimensions2(codec, &w, &h, align);
    // Widen until every line size meets its alignment, as FFmpeg does; line
    // sizes are not aligned one by one (some decoders rely on their ratios).
    int linesize[4];
    for (int tries = 0;; ++tries) {
        if (av_image_fill_linesizes(linesize, format, w) < 0 || tries > 16)
            return AVERROR(EINVAL);
        bool unaligned = false;
        for (int i = 0; i < 4; ++i)
            unaligned |= align[i] > 0 && linesize[i] % align[i] != 0;
        if (!unaligned)
            break;
        w += w & ~(w - 1);
    }
    ptrdiff_t linesizes[4] = {linesize[0], linesize[1], linesize[2], linesize[3]};
    size_t sizes[4] = {};
    if (av_image_fill_plane_sizes(sizes, format, h, linesizes) < 0)
        return AVERROR(EINVAL);

    size_t total = 0;
    m_planes = 0;
    for (int i = 0; i < 4 && sizes[i]; ++i) {
        m_offset[i] = total;
        m_linesize[i] = linesize[i];
        total += (sizes[i] + kPlanePadding + kPlaneAlignment - 1) & ~(kPlaneAlignment - 1);
        ++m_planes;
    }
    if (m_planes == 0 || total > (size_t(1) << 31))
        return AVERROR(EINVAL);
    av_buffer_pool_uninit(&m_pool);
    m_pool = av_buffer_pool_init2(total, nullptr, allocateBlock, nullptr);
    if (!m_pool)
        return AVERROR(ENOMEM);
    m_format = frame.format;
    m_width = frame.width;
    m_height = frame.height;
    return 0;
}

int FrameBuffers::getBuffer(AVCodecContext* codec, AVFrame* frame, int flags)
{
    auto* self = static_cast<FrameBuffers*>(codec->opaque);
    const AVPixFmtDescriptor* desc = av_pix_fmt_desc_get(static_cast<AVPixelFormat>(frame->format));
    if (!self || !desc || codec->codec_type != AVMEDIA_TYPE_VIDEO || frame->width <= 0 || frame->height <= 0 ||
        (desc->flags & (AV_PIX_FMT_FLAG_PAL | AV_PIX_FMT_FLAG_HWACCEL | AV_PIX_FMT_FLAG_BITSTREAM)) ||
        codec->hw_frames_ctx)
        return avcodec_default_get_buffer2(codec, frame, flags);

    std::lock_guard lock(self->m_lock);
    if (!self->m_pool || frame->format != self->m_format || frame->width != self->m_width ||
        frame->height != self->m_height) {
        int ret = self->layOut(codec, *frame);
        if (ret < 0)
            return ret;
    }
    frame->buf[0] = av_buffer_pool_get(self->m_pool);
    if (!frame->buf[0])
        return AVERROR(ENOMEM);
    for (int i = 0; i < AV_NUM_DATA_POINTERS; ++i) {
        frame->data[i] = i < self->m_planes ? frame->buf[0]->data + self->m_offset[i] : nullptr;
        frame->linesize[i] = i < self->m_planes ? self->m_linesize[i] : 0;
    }
    frame->extended_data = frame->data;
    return 0;
}

} // namespace comrt::media
