/*
 * bench-bare-decode FILE OUT.bmp
 *
 * The least a program needs to write the first frame of a video as a BMP with
 * FFmpeg's libraries alone: open, decode the first picture, convert it to
 * BGR24, write it. The whole-process benchmark measures morven-grab against it.
 */
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>

#include <stdint.h>
#include <stdio.h>
#include <string.h>

static void put16(uint8_t *p, uint32_t v)
{
    p[0] = (uint8_t)v;
    p[1] = (uint8_t)(v >> 8);
}

static void put32(uint8_t *p, uint32_t v)
{
    put16(p, v & 0xFFFF);
    put16(p + 2, v >> 16);
}

/* 24-bit BMP, rows bottom first and padded to 4 bytes, as morven-grab writes it. */
static int write_bmp(const char *path, const uint8_t *bgr, int width, int height, int stride)
{
    uint32_t pitch = ((uint32_t)width * 3 + 3) & ~3u;
    uint32_t pixels = pitch * (uint32_t)height;
    uint8_t header[54] = {'B', 'M'};
    static const uint8_t padding[4];
    FILE *f;
    int y, ok;

    put32(header + 2, 54 + pixels);
    put32(header + 10, 54);
    put32(header + 14, 40);
    put32(header + 18, (uint32_t)width);
    put32(header + 22, (uint32_t)height);
    put16(header + 26, 1);
    put16(header + 28, 24);
    put32(header + 34, pixels);
    put32(header + 38, 2835);
    put32(header + 42, 2835);

    f = fopen(path, "wb");
    if (!f)
        return 0;
    ok = fwrite(header, 1, sizeof header, f) == sizeof header;
    for (y = height - 1; y >= 0 && ok; y--)
        ok = fwrite(bgr + (size_t)y * stride, 1, (size_t)width * 3, f) == (size_t)width * 3 &&
             fwrite(padding, 1, pitch - (uint32_t)width * 3, f) == pitch - (uint32_t)width * 3;
    return fclose(f) == 0 && ok;
}

/*
 * Feeds packets of the stream until the decoder gives its first picture. A
 * decoder that reorders holds a key picture back until later ones come; only
 * the first picture is wanted, so it is drained out at once instead.
 */
static int decode_first(AVFormatContext *fmt, AVCodecContext *dec, int index, AVFrame *frame)
{
    AVPacket *pkt = av_packet_alloc();
    int ret = AVERROR(ENOMEM), key, sent;

    while (pkt && av_read_frame(fmt, pkt) >= 0) {
        if (pkt->stream_index != index) {
            av_packet_unref(pkt);
            continue;
        }
        key = pkt->flags & AV_PKT_FLAG_KEY;
        sent = avcodec_send_packet(dec, pkt);
        av_packet_unref(pkt);
        ret = avcodec_receive_frame(dec, frame);
        if (ret == AVERROR(EAGAIN) && sent >= 0 && key) {
            avcodec_send_packet(dec, NULL);
            ret = avcodec_receive_frame(dec, frame);
            if (ret < 0)
                avcodec_flush_buffers(dec);
        }
        if (ret >= 0)
            break;
    }
    if (pkt && ret < 0) {
        /* End of file: drain what the decoder holds back. */
        avcodec_send_packet(dec, NULL);
        ret = avcodec_receive_frame(dec, frame);
    }
    av_packet_free(&pkt);
    return ret;
}

/* The picture as packed BGR24, in the colours its stream is tagged with. */
static uint8_t *to_bgr(const AVFrame *frame, int *stride)
{
    struct SwsContext *sws;
    uint8_t *bgr;
    int *table, in_full, out_full, brightness, contrast, saturation;
    const int *coefficients = sws_getCoefficients(frame->colorspace);

    sws = sws_getContext(frame->width, frame->height, frame->format, frame->width, frame->height,
                         AV_PIX_FMT_BGR24, SWS_BICUBIC, NULL, NULL, NULL);
    if (!sws)
        return NULL;
    if (sws_getColorspaceDetails(sws, &table, &in_full, &table, &out_full, &brightness, &contrast, &saturation) >= 0)
        sws_setColorspaceDetails(sws, coefficients, frame->color_range == AVCOL_RANGE_JPEG || in_full, coefficients,
                                 out_full, brightness, contrast, saturation);
    *stride = frame->width * 3;
    bgr = av_malloc((size_t)*stride * frame->height);
    if (bgr)
        sws_scale(sws, (const uint8_t *const *)frame->data, frame->linesize, 0, frame->height, &bgr, stride);
    sws_freeContext(sws);
    return bgr;
}

int main(int argc, char **argv)
{
    AVFormatContext *fmt = NULL;
    AVCodecContext *dec = NULL;
    const AVCodec *codec = NULL;
    AVFrame *frame = NULL;
    uint8_t *bgr = NULL;
    int index, stride = 0, ret = 1;

    if (argc != 3) {
        fprintf(stderr, "usage: bench-bare-decode FILE OUT.bmp\n");
        return 2;
    }
    if (avformat_open_input(&fmt, argv[1], NULL, NULL) < 0) {
        fprintf(stderr, "cannot open %s\n", argv[1]);
        return 1;
    }
    /* Containers that say nothing of their streams in the header are probed. */
    index = av_find_best_stream(fmt, AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
    if (index < 0 || !fmt->streams[index]->codecpar->width) {
        avformat_find_stream_info(fmt, NULL);
        index = av_find_best_stream(fmt, AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
    }
    if (index < 0) {
        fprintf(stderr, "no video stream in %s\n", argv[1]);
        goto end;
    }
    dec = avcodec_alloc_context3(codec);
    frame = av_frame_alloc();
    if (!dec || !frame || avcodec_parameters_to_context(dec, fmt->streams[index]->codecpar) < 0 ||
        avcodec_open2(dec, codec, NULL) < 0) {
        fprintf(stderr, "cannot open the decoder\n");
        goto end;
    }
    if (decode_first(fmt, dec, index, frame) < 0) {
        fprintf(stderr, "no picture decoded from %s\n", argv[1]);
        goto end;
    }
    bgr = to_bgr(frame, &stride);
    if (!bgr || !write_bmp(argv[2], bgr, frame->width, frame->height, stride)) {
        fprintf(stderr, "cannot write %s\n", argv[2]);
        goto end;
    }
    ret = 0;
end:
    av_free(bgr);
    av_frame_free(&frame);
    avcodec_free_context(&dec);
    avformat_close_input(&fmt);
    return ret;
}
