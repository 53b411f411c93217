// The practical limit: the least FFmpeg code that gets the first picture of
// a file into a bottom-up, 4-byte-padded BGR buffer. No stream probing, a
// single-threaded decoder, one conversion.
#include "bench/FirstFrame.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

#include <chrono>
#include <cstdlib>

namespace bench {

namespace {

struct Decoder {
    AVFormatContext* format = nullptr;
    AVCodecContext* codec = nullptr;
    AVPacket* packet = nullptr;
    AVFrame* frame = nullptr;
    SwsContext* sws = nullptr;
    uint8_t* buffer = nullptr;

    ~Decoder()
    {
        std::free(buffer);
        sws_freeContext(sws);
        av_frame_free(&frame);
        av_packet_free(&packet);
        avcodec_free_context(&codec);
        avformat_close_input(&format);
    }
};

// Reads packets of stream `index` until the decoder gives a picture. A key
// packet that gives none at once is drained out of the decoder, as a
// reordering decoder would hold it back otherwise.
bool decodeFirst(Decoder& d, int index)
{
    while (av_read_frame(d.format, d.packet) >= 0) {
        if (d.packet->stream_index != index) {
            av_packet_unref(d.packet);
            continue;
        }
        bool key = d.packet->flags & AV_PKT_FLAG_KEY;
        int sent = avcodec_send_packet(d.codec, d.packet);
        av_packet_unref(d.packet);
        if (avcodec_receive_frame(d.codec, d.frame) == 0)
            return true;
        if (sent >= 0 && key) {
            avcodec_send_packet(d.codec, nullptr);
            if (avcodec_receive_frame(d.codec, d.frame) == 0)
                return true;
            avcodec_flush_buffers(d.codec);
        }
    }
    avcodec_send_packet(d.codec, nullptr);
    return avcodec_receive_frame(d.codec, d.frame) == 0;
}

// One pass into rows padded to 4 bytes, bottom row first: the picture's
// planes are read upwards and the buffer written downwards.
bool convert(Decoder& d)
{
    AVFrame* f = d.frame;
    auto format = static_cast<AVPixelFormat>(f->format);
    int pitch = (f->width * 3 + 3) & ~3;
    if (posix_memalign(reinterpret_cast<void**>(&d.buffer), 64, size_t(pitch) * f->height + 256) != 0)
        return false;
    // The vector YUV-to-RGB code skips the last pixels of rows shorter than
    // a multiple of 8 pixels; such widths take the exact path.
    int flags = f->width % 8 == 0 ? SWS_BICUBIC : SWS_POINT | SWS_ACCURATE_RND;
    d.sws = sws_getContext(f->width, f->height, format, f->width, f->height, AV_PIX_FMT_BGR24, flags, nullptr,
                           nullptr, nullptr);
    if (!d.sws)
        return false;

    const uint8_t* src[4] = {f->data[0], f->data[1], f->data[2], f->data[3]};
    int srcStride[4] = {f->linesize[0], f->linesize[1], f->linesize[2], f->linesize[3]};
    ptrdiff_t linesizes[4] = {f->linesize[0], f->linesize[1], f->linesize[2], f->linesize[3]};
    size_t planeBytes[4] = {};
    if (av_image_fill_plane_sizes(planeBytes, format, f->height, linesizes) < 0)
        return false;
    for (int i = 0; i < av_pix_fmt_count_planes(format); ++i) {
        size_t rows = planeBytes[i] / size_t(std::abs(srcStride[i]));
        src[i] += ptrdiff_t(rows - 1) * srcStride[i];
        srcStride[i] = -srcStride[i];
    }
    uint8_t* dst[4] = {d.buffer};
    int dstStride[4] = {pitch};
    return sws_scale(d.sws, src, srcStride, 0, f->height, dst, dstStride) == f->height;
}

} // namespace

bool libavFirstFrame(const std::string& path, double& ms)
{
    auto start = std::chrono::steady_clock::now();
    Decoder d;
    bool ok = false;
    const AVCodec* codec = nullptr;
    if (avformat_open_input(&d.format, path.c_str(), nullptr, nullptr) == 0) {
        int index = av_find_best_stream(d.format, AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
        if (index >= 0) {
            for (unsigned i = 0; i < d.format->nb_streams; ++i)
                d.format->streams[i]->discard = int(i) == index ? AVDISCARD_DEFAULT : AVDISCARD_ALL;
            d.codec = avcodec_alloc_context3(codec);
            d.packet = av_packet_alloc();
            d.frame = av_frame_alloc();
            if (d.codec && d.packet && d.frame &&
                avcodec_parameters_to_context(d.codec, d.format->streams[index]->codecpar) >= 0) {
                d.codec->thread_count = 1;
                ok = avcodec_open2(d.codec, codec, nullptr) == 0 && decodeFirst(d, index) && convert(d);
            }
        }
    }
    ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    return ok;
}

} // namespace bench
