#include "platform/linux/media/PictureConverter.h"

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <mutex>
#include <utility>

namespace comrt::media {

namespace {

// The JPEG formats are the plain ones at full range. libswscale reads them
// so itself (with a warning on every set-up); named plainly, with the range
// given apart, the picture is the same.
AVPixelFormat withoutJpegAlias(AVPixelFormat format, bool& jpeg)
{
    jpeg = true;
    switch (format) {
    case AV_PIX_FMT_YUVJ420P:
        return AV_PIX_FMT_YUV420P;
    case AV_PIX_FMT_YUVJ422P:
        return AV_PIX_FMT_YUV422P;
    case AV_PIX_FMT_YUVJ444P:
        return AV_PIX_FMT_YUV444P;
    case AV_PIX_FMT_YUVJ440P:
        return AV_PIX_FMT_YUV440P;
    case AV_PIX_FMT_YUVJ411P:
        return AV_PIX_FMT_YUV411P;
    default:
        jpeg = false;
        return format;
    }
}

// Planar YUV that libswscale turns into packed RGB of the same size with
// direct vector code of its own, two rows at a time: each row from its own
// luma row and its chroma row, with no filter at all. Where this code runs,
// the scaler's filter choice changes nothing but the cost of setting it up.
bool convertsDirectly(AVPixelFormat plain, int height)
{
    return (plain == AV_PIX_FMT_YUV420P || plain == AV_PIX_FMT_YUV422P || plain == AV_PIX_FMT_YUVA420P) &&
           height % 2 == 0;
}

// Whether each row of the result comes from the source rows at the same
// height alone, so that reading the planes upwards gives the picture bottom
// row first. Not so where chroma rows are shared and filtered between rows
// of an odd-height picture, or where the picture is scaled.
bool rowsConvertOnTheirOwn(AVPixelFormat plain, const AVPixFmtDescriptor& desc, int height, bool sameSize)
{
    if (!sameSize)
        return false;
    return convertsDirectly(plain, height) || (desc.log2_chroma_w == 0 && desc.log2_chroma_h == 0);
}

// The matrix the scale filter takes for a frame's colour space ("auto"):
// the frame's own, BT.601 where it names none that libswscale knows.
const int* matrixFor(int colorspace)
{
    if (colorspace < 1 || colorspace > 10 || colorspace == AVCOL_SPC_YCGCO)
        colorspace = AVCOL_SPC_BT470BG;
    return sws_getCoefficients(colorspace);
}

void reverseRows(uint8_t* buffer, int height, size_t pitch)
{
    for (int top = 0, bottom = height - 1; top < bottom; ++top, --bottom)
        std::swap_ranges(buffer + pitch * size_t(top), buffer + pitch * size_t(top + 1), buffer + pitch * size_t(bottom));
}

// A scaler set up as the scale filter of FFmpeg's command line sets one up
// for `frame`, from `srcW` of its columns to `dstW` x `dstH`.
SwsContext* newScaler(const AVFrame& frame, int srcW, int dstW, int dstH)
{
    bool jpeg = false;
    const AVPixelFormat plain = withoutJpegAlias(static_cast<AVPixelFormat>(frame.format), jpeg);
    const bool sameSize = srcW == dstW && frame.height == dstH;
    SwsContext* s = sws_alloc_context();
    if (!s)
        return nullptr;
    av_opt_set_int(s, "srcw", srcW, 0);
    av_opt_set_int(s, "srch", frame.height, 0);
    av_opt_set_int(s, "src_format", plain, 0);
    av_opt_set_int(s, "dstw", dstW, 0);
    av_opt_set_int(s, "dsth", dstH, 0);
    av_opt_set_int(s, "dst_format", AV_PIX_FMT_BGR24, 0);
    // The filter's own choice is bicubic; the cheaper nearest-sample set-up
    // gives the same picture where the direct code converts.
    av_opt_set_int(s, "sws_flags", sameSize && convertsDirectly(plain, dstH) ? SWS_POINT : SWS_BICUBIC, 0);
    // The range the frame gives, else the scaler's default (full for JPEG formats).
    const bool rangeGiven = frame.color_range != AVCOL_RANGE_UNSPECIFIED;
    if (rangeGiven || jpeg)
        av_opt_set_int(s, "src_range", rangeGiven ? frame.color_range == AVCOL_RANGE_JPEG : 1, 0);
    // The filter sites 4:2:0 chroma as MPEG-2 does, for that one format by name.
    if (frame.format == AV_PIX_FMT_YUV420P)
        av_opt_set_int(s, "src_v_chr_pos", 128, 0);
    if (sws_init_context(s, nullptr, nullptr) < 0) {
        sws_freeContext(s);
        return nullptr;
    }
    int *inverse = nullptr, *table = nullptr;
    int inFull = 0, outFull = 0, brightness = 0, contrast = 0, saturation = 0;
    if (sws_getColorspaceDetails(s, &inverse, &inFull, &table, &outFull, &brightness, &contrast, &saturation) >= 0) {
        const int* matrix = matrixFor(frame.colorspace);
        if (rangeGiven)
            inFull = frame.color_range == AVCOL_RANGE_JPEG;
        sws_setColorspaceDetails(s, matrix, inFull, matrix, outFull, brightness, contrast, saturation);
    }
    return s;
}

// Speed only. Setting a scaler up (its tables and filters) costs 0.06 to
// 0.15 ms, as much as converting a small picture, and a host that grabs file
// after file mostly wants the same set-up again. A converter's scalers are
// put aside as it goes and taken up by the next converter that wants one of
// the same set-up. Four are kept at most; past that, one is freed in turn.
class KeptScalers {
public:
    SwsContext* take(const ScalerSetUp& setUp)
    {
        std::lock_guard guard(m_lock);
        for (Kept& kept : m_kept)
            if (kept.sws && kept.setUp == setUp)
                return std::exchange(kept.sws, nullptr);
        return nullptr;
    }

    void keep(SwsContext* sws, const ScalerSetUp& setUp)
    {
        if (!sws)
            return;
        std::lock_guard guard(m_lock);
        Kept* place = std::find_if(std::begin(m_kept), std::end(m_kept), [](const Kept& k) { return !k.sws; });
        if (place == std::end(m_kept)) {
            place = &m_kept[m_oldest];
            m_oldest = (m_oldest + 1) % kKept;
            sws_freeContext(place->sws);
        }
        *place = {sws, setUp};
    }

private:
    // Three serve a picture of a width that is no multiple of 8 (its
    // picture, its last columns, its bands) and another format at once.
    static constexpr size_t kKept = 4;
    struct Kept {
        SwsContext* sws = nullptr;
        ScalerSetUp setUp;
    };
    std::mutex m_lock;
    Kept m_kept[kKept];
    size_t m_oldest = 0;
};

KeptScalers& keptScalers()
{
    static auto* kept = new KeptScalers; // never destroyed: converters may go as the process ends
    return *kept;
}

} // namespace

PictureConverter::~PictureConverter() = default;

PictureConverter::Scaler::~Scaler()
{
    keptScalers().keep(sws, setUp);
}

SwsContext* PictureConverter::Scaler::prepare(const AVFrame& frame, int srcW, int dstW, int dstH)
{
    const ScalerSetUp wanted{frame.format, srcW, frame.height, dstW, dstH, frame.color_range, frame.colorspace};
    if (sws && setUp == wanted)
        return sws;
    keptScalers().keep(sws, setUp);
    setUp = wanted;
    sws = keptScalers().take(wanted);
    if (!sws)
        sws = newScaler(frame, srcW, dstW, dstH);
    return sws;
}

bool PictureConverter::convertsInBands(const AVFrame& frame)
{
    bool jpeg = false;
    return convertsDirectly(withoutJpegAlias(static_cast<AVPixelFormat>(frame.format), jpeg), frame.height);
}

HRESULT PictureConverter::convert(const AVFrame& frame, uint8_t* buffer, int width, int height, size_t pitch,
                                  bool bottomUp)
{
    bool jpeg = false;
    const AVPixelFormat plain = withoutJpegAlias(static_cast<AVPixelFormat>(frame.format), jpeg);
    const AVPixFmtDescriptor* desc = av_pix_fmt_desc_get(plain);
    if (frame.width <= 0 || frame.height <= 0 || !desc || !sws_isSupportedInput(plain))
        return VFW_E_INVALIDMEDIATYPE;
    const bool sameSize = frame.width == width && frame.height == height;
    const bool readUpwards = bottomUp && rowsConvertOnTheirOwn(plain, *desc, height, sameSize);

    // Bottom row first, where rows convert on their own, by reading the
    // planes upwards; a negative line size (a bottom-up source) is read the
    // other way round just the same.
    const uint8_t* src[4] = {frame.data[0], frame.data[1], frame.data[2], frame.data[3]};
    int srcStride[4] = {frame.linesize[0], frame.linesize[1], frame.linesize[2], frame.linesize[3]};
    if (readUpwards) {
        const int planes = av_pix_fmt_count_planes(plain);
        for (int i = 0; i < planes && i < 4; ++i) {
            const int rows = i == 1 || i == 2 ? AV_CEIL_RSHIFT(frame.height, desc->log2_chroma_h) : frame.height;
            src[i] += ptrdiff_t(rows - 1) * srcStride[i];
            srcStride[i] = -srcStride[i];
        }
    }
    const int dstStride[4] = {int(pitch), 0, 0, 0};

    // The direct code converts groups of 8 pixels and leaves out the last
    // group of each row where a row of the buffer is too short to take all
    // of it, as our packed rows are. Those last columns are converted first
    // on their own, by the same code; their group runs over into the next
    // row (or the slack), which the pass over the whole picture then writes.
    const int groups = (width + 7) & ~7;
    if (sameSize && convertsDirectly(plain, height) && size_t(groups) * 3 > pitch && width > 8) {
        const int first = groups - 8;
        SwsContext* sws = m_lastColumns.prepare(frame, width - first, width - first, height);
        if (!sws)
            return E_OUTOFMEMORY;
        const int chromaFirst = first >> desc->log2_chroma_w;
        const uint8_t* lastSrc[4] = {src[0] + first, src[1] + chromaFirst, src[2] + chromaFirst,
                                     src[3] ? src[3] + first : nullptr};
        uint8_t* lastDst[4] = {buffer + size_t(first) * 3, nullptr, nullptr, nullptr};
        if (sws_scale(sws, lastSrc, srcStride, 0, frame.height, lastDst, dstStride) != height)
            return E_FAIL;
    }

    // A picture of another size than the connected one (a stream that
    // changes size as it plays) is scaled to it.
    SwsContext* sws = m_picture.prepare(frame, frame.width, width, height);
    if (!sws)
        return E_OUTOFMEMORY;
    uint8_t* dst[4] = {buffer, nullptr, nullptr, nullptr};
    if (sws_scale(sws, src, srcStride, 0, frame.height, dst, dstStride) != height)
        return E_FAIL;
    if (bottomUp && !readUpwards)
        reverseRows(buffer, height, pitch);
    return S_OK;
}

} // namespace comrt::media
