// A recipe is a list of steps separated by " ; ". A step is either the
// arguments of an ffmpeg command line (run as "ffmpeg -v error -nostdin -y
// ARGS") or a patch, "@name ARGS", applied by this file. Arguments are split at spaces; in them
// {out} is the case's file and {x.EXT} a scratch file of the case. A case is
// one line of the table below.
#include "tests/conformance/Corpus.h"

#include "tests/support/TestMedia.h"
#include "tests/support/ToolRunner.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <sys/file.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace conformance {

namespace {

// Part of every stamp: bump it when a patch below changes what it writes.
const char* const kGeneratorVersion = "corpus-1";

template <typename... Parts>
std::string R(const Parts&... parts)
{
    std::string out;
    ((out += (out.empty() ? "" : " ") + std::string(parts)), ...);
    return out;
}

std::string dims(int w, int h)
{
    return std::to_string(w) + "x" + std::to_string(h);
}

// FFmpeg's moving test picture: the clock and the bars move every frame, so a
// later frame never passes for the first one. Sources end, so that a file
// with an audio stream ends too.
std::string src(int w, int h)
{
    return "-f lavfi -i testsrc2=size=" + dims(w, h) + ":rate=25:duration=8";
}

std::string srcAlpha(int w, int h)
{
    return "-f lavfi -i testsrc2=size=" + dims(w, h) + ":rate=25:duration=8:alpha=128";
}

std::string mandel(int w, int h)
{
    return "-f lavfi -i mandelbrot=size=" + dims(w, h) + ":rate=25,trim=duration=8";
}

std::string frames(int n)
{
    return "-frames:v " + std::to_string(n);
}

std::string x265(const std::string& params)
{
    return "-c:v libx265 -preset ultrafast -x265-params log-level=error" + (params.empty() ? "" : ":" + params);
}

const std::string kTone = "-f lavfi -i sine=frequency=440:sample_rate=48000:duration=2";
// YUV clips say what they are, so every decoder and converter reads them alike.
const std::string k601 = "-colorspace smpte170m -color_primaries smpte170m -color_trc smpte170m";
const std::string kX264 = "-c:v libx264 -preset veryfast";
const std::string kVp9 = "-c:v libvpx-vp9 -deadline realtime -cpu-used 8";
const std::string kRaw = "-c:v rawvideo -pix_fmt";
const std::string kFfv1 = "-c:v ffv1 -level 3 -pix_fmt";

// A 40-frame H.264 source with a key frame every 12 frames (0.48 s).
const std::string kGopSource = R(src(96, 64), frames(40), kX264, "-g 12 -keyint_min 12 -sc_threshold 0 -bf 2",
                                 "-pix_fmt yuv420p", k601);

std::vector<CorpusCase> makeCorpus()
{
    const Expect none = Expect::NoFrame;
    return {
        // H.264 in MP4 and MOV, with and without edit lists.
        {"h264_mp4", "h264.mp4", R(src(96, 64), frames(10), kX264, "-bf 3 -pix_fmt yuv420p", k601, "{out}")},
        {"h264_mp4_no_editlist", "h264-no-editlist.mp4",
         R(src(96, 64), frames(10), kX264, "-bf 3 -pix_fmt yuv420p", k601, "-use_editlist 0 {out}")},
        {"h264_mov", "h264.mov", R(src(96, 64), frames(10), kX264, "-bf 3 -pix_fmt yuv420p", k601, "{out}")},
        {"h264_mp4_cut_midgop", "h264-cut-midgop.mp4", R(kGopSource, "{a.mp4} ; -ss 0.6 -i {a.mp4} -c copy {out}")},
        {"h264_mov_cut_midgop", "h264-cut-midgop.mov", R(kGopSource, "{a.mov} ; -ss 0.7 -i {a.mov} -c copy {out}")},
        {"h264_mp4_trimmed", "h264-trimmed.mp4", R(kGopSource, "{a.mp4} ; -ss 0.52 -i {a.mp4} -t 0.4 -c copy {out}")},
        // Muxed from finished streams: an encoding run would start the video at 0 again.
        {"h264_mp4_audio_first", "h264-audio-first.mp4",
         R(src(96, 64), frames(10), kX264, "-bf 2 -pix_fmt yuv420p", k601, "{v.mp4} ;", kTone, "-c:a aac {a.m4a} ;",
           "-i {a.m4a} -itsoffset 0.5 -i {v.mp4} -map 0:a -map 1:v -c copy {out}")},
        {"h264_mp4_2x2", "h264-2x2.mp4", R(src(2, 2), frames(4), kX264, "-pix_fmt yuv420p", k601, "{out}")},
        {"h264_10bit_mp4", "h264-10bit.mp4", R(src(96, 64), frames(6), kX264, "-pix_fmt yuv420p10le", k601, "{out}")},
        {"h264_444_mp4", "h264-444.mp4", R(src(96, 64), frames(6), kX264, "-pix_fmt yuv444p", k601, "{out}")},
        {"h264_444_10bit_mkv", "h264-444-10bit.mkv",
         R(src(96, 64), frames(6), kX264, "-pix_fmt yuv444p10le", k601, "{out}")},
        // 4:2:0 widths whose last 8-pixel group does not fit a packed row, even and odd heights.
        {"h264_50x40_mp4", "h264-50x40.mp4", R(src(50, 40), frames(4), kX264, "-pix_fmt yuv420p", k601, "{out}")},
        {"mjpeg_37x21_avi", "mjpeg-37x21.avi", R(src(37, 21), frames(2), "-c:v mjpeg -q:v 3 -pix_fmt yuvj420p", k601, "{out}")},
        {"mjpeg_422_42x30_avi", "mjpeg-422-42x30.avi", R(src(42, 30), frames(2), "-c:v mjpeg -q:v 3 -pix_fmt yuvj422p", k601, "{out}")},
        {"h264_444_33x17_mkv", "h264-444-33x17.mkv", R(src(33, 17), frames(6), kX264, "-pix_fmt yuv444p", k601, "{out}")},
        {"h264_rgb_mkv", "h264-rgb.mkv", R(src(96, 64), frames(6), "-c:v libx264rgb -preset veryfast -pix_fmt bgr0 {out}")},
        // Matroska, WebM and the other containers.
        {"h264_mkv", "h264.mkv", R(src(96, 64), frames(10), kX264, "-bf 3 -pix_fmt yuv420p", k601, "{out}")},
        {"h264_mkv_audio_first", "h264-audio-first.mkv",
         R(kTone, "-itsoffset 0.4", src(96, 64), "-map 0:a -map 1:v", frames(10), "-c:a libvorbis", kX264,
           "-pix_fmt yuv420p", k601, "{out}")},
        {"h264_flv", "h264.flv", R(src(96, 64), frames(10), kX264, "-bf 2 -pix_fmt yuv420p", k601, "{out}")},
        {"flv1_flv", "flv1.flv", R(src(96, 64), frames(8), "-c:v flv -q:v 4", k601, "{out}")},
        {"wmv2_asf", "wmv2.asf", R(src(96, 64), frames(8), "-c:v wmv2 -q:v 4", k601, "{out}")},
        {"msmpeg4_avi", "msmpeg4.avi", R(src(96, 64), frames(8), "-c:v msmpeg4 -q:v 4", k601, "{out}")},
        {"theora_ogv", "theora.ogv", R(src(96, 64), frames(8), "-c:v libtheora -q:v 7", k601, "{out}")},
        {"h263_3gp", "h263.3gp", R(src(128, 96), frames(8), "-c:v h263 -q:v 4", k601, "{out}")},
        {"mpeg4_3gp", "mpeg4.3gp", R(src(96, 64), frames(8), "-c:v mpeg4 -q:v 4", k601, "{out}")},
        {"vp8_webm", "vp8.webm", R(src(96, 64), frames(8), "-c:v libvpx -deadline realtime -cpu-used 8", k601, "{out}")},
        {"vp9_webm", "vp9.webm", R(src(96, 64), frames(8), kVp9, k601, "{out}")},
        {"vp9_alpha_webm", "vp9-alpha.webm", R(srcAlpha(96, 64), frames(8), kVp9, "-pix_fmt yuva420p", k601, "{out}")},
        {"vp9_101x75_webm", "vp9-101x75.webm", R(src(101, 75), frames(8), kVp9, "-pix_fmt yuv420p", k601, "{out}")},
        {"vp9_10bit_mkv", "vp9-10bit.mkv", R(src(96, 64), frames(6), kVp9, "-pix_fmt yuv420p10le", k601, "{out}")},
        {"av1_mp4", "av1.mp4", R(src(96, 64), frames(5), "-c:v libaom-av1 -cpu-used 8 -crf 40 -b:v 0", k601, "{out}")},
        {"av1_mkv_mandelbrot", "av1-mandelbrot.mkv",
         R(mandel(80, 48), frames(5), "-c:v libaom-av1 -cpu-used 8 -crf 40 -b:v 0", k601, "{out}")},
        // HEVC.
        {"hevc_mp4", "hevc.mp4", R(src(96, 64), frames(8), x265(""), "-pix_fmt yuv420p", k601, "{out}")},
        {"hevc_mov", "hevc.mov", R(src(96, 64), frames(8), x265(""), "-pix_fmt yuv420p -tag:v hvc1", k601, "{out}")},
        {"hevc_10bit_mkv", "hevc-10bit.mkv", R(src(96, 64), frames(6), x265(""), "-pix_fmt yuv420p10le", k601, "{out}")},
        {"hevc_gbrp_mkv", "hevc-gbrp.mkv", R(src(96, 64), frames(6), x265(""), "-pix_fmt gbrp {out}")},
        {"hevc_gbrp10_mp4", "hevc-gbrp10.mp4", R(src(96, 64), frames(6), x265(""), "-pix_fmt gbrp10le {out}")},
        // Transport and program streams: cut mid-GOP at a 188-byte packet boundary.
        {"h264_ts_cut_nobframes", "h264-cut-nob.ts",
         R(src(96, 64), frames(36), kX264, "-g 12 -keyint_min 12 -sc_threshold 0 -bf 0 -pix_fmt yuv420p", k601,
           "{a.ts} ; @tscut {a.ts} {out} 1 0.5")},
        {"h264_ts_cut_bframes", "h264-cut-b.ts",
         R(src(96, 64), frames(36), kX264, "-g 12 -keyint_min 12 -sc_threshold 0 -bf 3 -pix_fmt yuv420p", k601,
           "{a.ts} ; @tscut {a.ts} {out} 1 0.5")},
        {"h264_ts_cut_opengop", "h264-cut-open.ts",
         R(src(96, 64), frames(36), kX264, "-g 12 -keyint_min 12 -sc_threshold 0 -bf 3 -x264-params open-gop=1",
           "-pix_fmt yuv420p", k601, "{a.ts} ; @tscut {a.ts} {out} 1 0.5")},
        {"h264_ts_late_keyframe", "h264-late-key.ts",
         R(kTone, src(96, 64), "-map 1:v -map 0:a", frames(100), kX264, "-g 50 -keyint_min 50 -sc_threshold 0 -bf 0",
           "-pix_fmt yuv420p", k601, "-c:a mp2 {a.ts} ; @tscut {a.ts} {out} 1 0.1")},
        {"h264_ts_no_keyframe", "h264-no-key.ts",
         R(src(96, 64), frames(40), kX264, "-g 1000 -sc_threshold 0 -bf 0 -pix_fmt yuv420p", k601,
           "{a.ts} ; @tscut {a.ts} {out} 1 0.3"),
         none}, // no parameter sets and no key frame left
        {"h264_ts_audio_first", "h264-audio-first.ts",
         R(kTone, "-itsoffset 1", src(96, 64), "-map 0:a -map 1:v", frames(10), "-c:a mp2", kX264,
           "-bf 2 -pix_fmt yuv420p", k601, "{out}")},
        {"hevc_ts_cut_closedgop", "hevc-cut-closed.ts",
         R(src(96, 64), frames(36), x265("keyint=12:min-keyint=12:scenecut=0:open-gop=0:bframes=3"),
           "-pix_fmt yuv420p", k601, "{a.ts} ; @tscut {a.ts} {out} 1 0.5")},
        {"hevc_ts_cut_opengop", "hevc-cut-open.ts",
         R(src(96, 64), frames(36), x265("keyint=12:min-keyint=12:scenecut=0:open-gop=1:bframes=3"),
           "-pix_fmt yuv420p", k601, "{a.ts} ; @tscut {a.ts} {out} 1 0.5")},
        {"mpeg2_ts_cut", "mpeg2-cut.ts",
         R(src(96, 64), frames(36), "-c:v mpeg2video -q:v 4 -g 12 -bf 2", k601, "{a.ts} ; @tscut {a.ts} {out} 1 0.5")},
        {"mpeg1_mpg", "mpeg1.mpg", R(src(96, 64), frames(10), "-c:v mpeg1video -q:v 4 -bf 2", k601, "-f mpeg {out}")},
        {"mpeg2_vob", "mpeg2.vob", R(src(96, 64), frames(10), "-c:v mpeg2video -q:v 4 -bf 2", k601, "-f vob {out}")},
        // MXF.
        {"mpeg2_mxf", "mpeg2.mxf", R(src(96, 64), frames(6), "-c:v mpeg2video -q:v 4", k601, "-f mxf {out}")},
        {"dnxhd_1080_mxf", "dnxhd-1080.mxf",
         R(src(1920, 1080), frames(2), "-c:v dnxhd -b:v 36M -pix_fmt yuv422p", k601, "-f mxf {out}")},
        // MPEG-4 part 2 and the intra codecs.
        {"mpeg4_avi", "mpeg4.avi", R(src(96, 64), frames(8), "-c:v mpeg4 -q:v 3 -pix_fmt yuv420p", k601, "{out}")},
        {"mpeg4_avi_bframes", "mpeg4-b.avi",
         R(src(96, 64), frames(8), "-c:v mpeg4 -q:v 3 -bf 2 -pix_fmt yuv420p", k601, "{out}")},
        {"mpeg4_mp4_bframes", "mpeg4-b.mp4",
         R(src(96, 64), frames(8), "-c:v mpeg4 -q:v 3 -bf 2 -pix_fmt yuv420p", k601, "{out}")},
        {"mpeg4_avi_audio_first", "mpeg4-audio-first.avi",
         R(kTone, src(96, 64), "-map 0:a -map 1:v", frames(8), "-c:a pcm_s16le -c:v mpeg4 -q:v 3", k601, "{out}")},
        {"mjpeg_avi", "mjpeg.avi", R(src(96, 64), frames(4), "-c:v mjpeg -q:v 3 -pix_fmt yuvj420p", k601, "{out}")},
        {"mjpeg_422_mov", "mjpeg-422.mov", R(src(96, 64), frames(4), "-c:v mjpeg -q:v 3 -pix_fmt yuvj422p", k601, "{out}")},
        {"prores_422_mov", "prores-422.mov",
         R(src(96, 64), frames(3), "-c:v prores_ks -profile:v 2 -pix_fmt yuv422p10le", k601, "{out}")},
        {"prores_4444_alpha_mov", "prores-4444.mov",
         R(srcAlpha(96, 64), frames(3), "-c:v prores_ks -profile:v 4 -pix_fmt yuva444p10le", k601, "{out}")},
        {"dnxhr_hqx_mov", "dnxhr-hqx.mov",
         R(src(256, 144), frames(2), "-c:v dnxhd -profile:v dnxhr_hqx -pix_fmt yuv422p10le", k601, "{out}")},
        {"ffv1_101x75_mkv", "ffv1-101x75.mkv", R(src(101, 75), frames(4), kFfv1, "yuv420p", k601, "{out}")},
        {"ffv1_yuv10_mkv", "ffv1-yuv10.mkv", R(src(96, 64), frames(4), kFfv1, "yuv422p10le", k601, "{out}")},
        {"ffv1_rgb10_mkv", "ffv1-rgb10.mkv", R(src(96, 64), frames(4), kFfv1, "gbrp10le {out}")},
        {"ffv1_rgb12_mkv", "ffv1-rgb12.mkv", R(src(96, 64), frames(4), kFfv1, "gbrp12le {out}")},
        {"ffv1_gray16_mkv", "ffv1-gray16.mkv", R(src(96, 64), frames(4), kFfv1, "gray16le {out}")},
        {"ffv1_16400x8_mkv", "ffv1-16400x8.mkv", R(src(16400, 8), frames(2), kFfv1, "yuv420p", k601, "{out}")},
        // Raw RGB in AVI, top-down as FFmpeg writes it.
        {"raw_bgr24_avi", "raw-bgr24.avi", R(src(64, 48), frames(3), kRaw, "bgr24 {out}")},
        {"raw_bgr24_33x17_avi", "raw-bgr24-33x17.avi", R(src(33, 17), frames(3), kRaw, "bgr24 {out}")},
        {"raw_bgr24_1x1_avi", "raw-bgr24-1x1.avi",
         R(src(16, 16), "-vf format=bgr24,crop=1:1:7:7", frames(3), kRaw, "bgr24 {out}")},
        {"raw_bgr24_16400x8_avi", "raw-bgr24-16400x8.avi", R(src(16400, 8), frames(2), kRaw, "bgr24 {out}")},
        {"raw_pal8_avi", "raw-pal8.avi", R(src(64, 48), frames(3), kRaw, "pal8 {out}")},
        {"raw_rgb555_avi", "raw-rgb555.avi", R(src(64, 48), frames(3), kRaw, "rgb555le {out}")},
        {"raw_bgra_avi", "raw-bgra.avi", R(src(64, 48), frames(3), kRaw, "bgra {out}")},
        // Raw RGB in AVI bottom-up, as capture tools write it.
        {"raw_bottomup_pal8_avi", "raw-bottomup-pal8.avi",
         R(src(64, 48), frames(3), kRaw, "pal8 {a.avi} ; @bottomup {a.avi} {out}")},
        {"raw_bottomup_rgb555_avi", "raw-bottomup-rgb555.avi",
         R(src(64, 48), frames(3), kRaw, "rgb555le {a.avi} ; @bottomup {a.avi} {out}")},
        {"raw_bottomup_rgb565_avi", "raw-bottomup-rgb565.avi",
         R(src(64, 48), frames(3), kRaw, "rgb565le -tag:v 0x00000003 {a.avi} ; @bottomup {a.avi} {out} masks565")},
        {"raw_bottomup_bgr24_avi", "raw-bottomup-bgr24.avi",
         R(src(64, 48), frames(3), kRaw, "bgr24 {a.avi} ; @bottomup {a.avi} {out}")},
        {"raw_bottomup_bgr24_odd_avi", "raw-bottomup-bgr24-odd.avi",
         R(src(33, 17), frames(3), kRaw, "bgr24 {a.avi} ; @bottomup {a.avi} {out}")},
        {"raw_bottomup_bgra_avi", "raw-bottomup-bgra.avi",
         R(src(64, 48), frames(3), kRaw, "bgra {a.avi} ; @bottomup {a.avi} {out}")},
        // Single images, image sequences and animated GIF.
        {"png_rgb24", "rgb24.png", R(src(64, 48), frames(1), "-c:v png -pix_fmt rgb24 {out}")},
        {"png_rgb48", "rgb48.png", R(src(64, 48), frames(1), "-c:v png -pix_fmt rgb48be {out}")},
        {"png_rgba", "rgba.png", R(srcAlpha(64, 48), frames(1), "-c:v png -pix_fmt rgba {out}")},
        {"png_1x1", "one.png", R(src(16, 16), "-vf format=rgb24,crop=1:1:9:3", frames(1), "-c:v png {out}")},
        {"png_16400x8", "wide.png", R(src(16400, 8), frames(1), "-c:v png -pix_fmt rgb24 {out}")},
        {"gif_single", "single.gif", R(src(64, 48), frames(1), "-c:v gif {out}")},
        {"gif_animated", "animated.gif", R(src(64, 48), frames(8), "-c:v gif {out}")},
        {"dpx_8bit", "rgb24.dpx", R(src(64, 48), frames(1), "-c:v dpx -pix_fmt rgb24 {out}")},
        {"dpx_10bit", "gbrp10.dpx", R(src(64, 48), frames(1), "-c:v dpx -pix_fmt gbrp10le {out}")},
        {"seq_png", "seq-png/img%03d.png", R(src(64, 48), frames(5), "-c:v png {out}")},
        {"seq_jpg", "seq-jpg/img%03d.jpg", R(src(64, 48), frames(5), "-c:v mjpeg -q:v 3 -pix_fmt yuvj420p {out}")},
        // Files in which FFmpeg finds no frame.
        {"audio_only_m4a", "audio-only.m4a", R(kTone, "-c:a aac {out}"), none},
        {"h264_mp4_truncated_moov", "h264-truncated.mp4",
         R(src(96, 64), frames(10), kX264, "-pix_fmt yuv420p", k601, "{a.mp4} ; @truncate {a.mp4} {out} 0.6"), none},
    };
}

// --- running recipes -------------------------------------------------------

std::vector<std::string> splitWords(const std::string& text)
{
    std::istringstream in(text);
    return {std::istream_iterator<std::string>(in), std::istream_iterator<std::string>()};
}

std::vector<std::string> splitSteps(const std::string& recipe)
{
    std::vector<std::string> steps;
    size_t start = 0;
    for (;;) {
        size_t at = recipe.find(" ; ", start);
        steps.push_back(recipe.substr(start, at == std::string::npos ? std::string::npos : at - start));
        if (at == std::string::npos)
            return steps;
        start = at + 3;
    }
}


uint32_t le32(const std::vector<uint8_t>& b, size_t at)
{
    if (at + 4 > b.size())
        throw std::runtime_error("corpus: AVI ends inside a header");
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}

void putLe32(std::vector<uint8_t>& b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

bool tagAt(const std::vector<uint8_t>& b, size_t at, const char* tag)
{
    return at + 4 <= b.size() && std::memcmp(&b[at], tag, 4) == 0;
}

struct Chunk {
    size_t offset; // of the chunk header
    size_t size;   // of the payload
};

// The chunks directly inside the payload [begin, end); a LIST's payload starts with its type.
std::vector<Chunk> chunksIn(const std::vector<uint8_t>& b, size_t begin, size_t end)
{
    std::vector<Chunk> out;
    for (size_t at = begin; at + 8 <= end;) {
        size_t size = le32(b, at + 4);
        out.push_back({at, size});
        at += 8 + size + (size & 1);
    }
    return out;
}

// FFmpeg's raw AVI turned bottom-up: biHeight made positive and the rows of
// every frame of the video stream reversed. "masks565" also gives the format
// the BI_BITFIELDS colour masks of RGB 5:6:5, taken from the JUNK chunk that
// FFmpeg leaves after the format.
void patchBottomUp(const std::string& in, const std::string& out, const std::vector<std::string>& options)
{
    std::vector<uint8_t> b = testmedia::readWholeFile(in);
    if (!tagAt(b, 0, "RIFF") || !tagAt(b, 8, "AVI "))
        throw std::runtime_error("corpus: not an AVI: " + in);
    const bool masks565 = std::find(options.begin(), options.end(), "masks565") != options.end();

    size_t strf = 0, movi = 0, moviEnd = 0;
    for (const Chunk& top : chunksIn(b, 12, b.size())) {
        if (tagAt(b, top.offset, "LIST") && tagAt(b, top.offset + 8, "hdrl")) {
            for (const Chunk& h : chunksIn(b, top.offset + 12, top.offset + 8 + top.size)) {
                if (!tagAt(b, h.offset, "LIST") || !tagAt(b, h.offset + 8, "strl") || strf)
                    continue;
                std::vector<Chunk> strl = chunksIn(b, h.offset + 12, h.offset + 8 + h.size);
                for (size_t i = 0; i < strl.size(); ++i) {
                    if (!tagAt(b, strl[i].offset, "strf"))
                        continue;
                    strf = strl[i].offset;
                    if (masks565) {
                        if (i + 1 >= strl.size() || !tagAt(b, strl[i + 1].offset, "JUNK") || strl[i + 1].size < 12 ||
                            strl[i].size != 40)
                            throw std::runtime_error("corpus: no room for colour masks in " + in);
                        size_t junk = strl[i + 1].offset;
                        size_t junkSize = strl[i + 1].size;
                        putLe32(b, strf + 4, 52);
                        putLe32(b, strf + 8 + 40, 0xF800);
                        putLe32(b, strf + 8 + 44, 0x07E0);
                        putLe32(b, strf + 8 + 48, 0x001F);
                        std::memcpy(&b[junk + 12], "JUNK", 4);
                        putLe32(b, junk + 16, static_cast<uint32_t>(junkSize - 12));
                    }
                }
            }
        } else if (tagAt(b, top.offset, "LIST") && tagAt(b, top.offset + 8, "movi")) {
            movi = top.offset + 12;
            moviEnd = top.offset + 8 + top.size;
        }
    }
    if (!strf || !movi)
        throw std::runtime_error("corpus: no video format or no movi list in " + in);

    const int32_t width = static_cast<int32_t>(le32(b, strf + 8 + 4));
    int32_t height = static_cast<int32_t>(le32(b, strf + 8 + 8));
    const int bits = b[strf + 8 + 14] | b[strf + 8 + 15] << 8;
    height = std::abs(height);
    putLe32(b, strf + 8 + 8, static_cast<uint32_t>(height));

    const size_t stride = ((static_cast<size_t>(width) * bits + 31) / 32) * 4;
    const size_t frameBytes = stride * static_cast<size_t>(height);
    std::vector<uint8_t> row(stride);
    int flipped = 0;
    for (const Chunk& c : chunksIn(b, movi, moviEnd)) {
        // Stream 0's pictures: "00db" or "00dc".
        if (!(tagAt(b, c.offset, "00db") || tagAt(b, c.offset, "00dc")) || c.size != frameBytes)
            continue;
        uint8_t* data = &b[c.offset + 8];
        for (int32_t y = 0; y < height / 2; ++y) {
            uint8_t* top = data + stride * static_cast<size_t>(y);
            uint8_t* bottom = data + stride * static_cast<size_t>(height - 1 - y);
            std::memcpy(row.data(), top, stride);
            std::memcpy(top, bottom, stride);
            std::memcpy(bottom, row.data(), stride);
        }
        ++flipped;
    }
    if (flipped == 0)
        throw std::runtime_error("corpus: no frame of " + std::to_string(frameBytes) + " bytes in " + in);
    testmedia::writeWholeFile(out, b.data(), b.size());
}

// A transport stream cut at a 188-byte packet boundary: from the video packet
// `fraction` of the way from key frame number `key` (1-based; 0 is the last)
// to the next key frame.
void patchTsCut(const std::string& in, const std::string& out, const std::vector<std::string>& args)
{
    if (args.size() < 2)
        throw std::runtime_error("corpus: @tscut IN OUT KEY FRACTION");
    const int key = std::stoi(args[0]);
    const double fraction = std::stod(args[1]);
    std::string listing = testmedia::runTool({"ffprobe", "-v", "error", "-select_streams", "v:0", "-show_entries",
                                              "packet=pos,flags", "-of", "csv=p=0", in},
                                             true);
    std::vector<std::pair<long long, bool>> packets; // position, key
    std::istringstream lines(listing);
    for (std::string line; std::getline(lines, line);) {
        size_t comma = line.find(',');
        if (comma == std::string::npos)
            continue;
        packets.emplace_back(std::stoll(line.substr(0, comma)), line.find('K', comma) != std::string::npos);
    }
    std::vector<size_t> keys;
    for (size_t i = 0; i < packets.size(); ++i)
        if (packets[i].second)
            keys.push_back(i);
    if (keys.empty() || key < 0 || static_cast<size_t>(key) > keys.size())
        throw std::runtime_error("corpus: no key frame " + std::to_string(key) + " in " + in);
    size_t k = key == 0 ? keys.size() - 1 : static_cast<size_t>(key) - 1;
    size_t from = keys[k];
    size_t to = k + 1 < keys.size() ? keys[k + 1] : packets.size();
    size_t pick = from + std::max<size_t>(1, static_cast<size_t>(std::lround(fraction * double(to - from))));
    if (pick >= packets.size())
        throw std::runtime_error("corpus: cut point past the end of " + in);
    long long position = packets[pick].first / 188 * 188;
    std::vector<uint8_t> b = testmedia::readWholeFile(in);
    if (position <= 0 || static_cast<size_t>(position) >= b.size())
        throw std::runtime_error("corpus: bad cut position in " + in);
    testmedia::writeWholeFile(out, b.data() + position, b.size() - static_cast<size_t>(position));
}

// The first `fraction` of a file.
void patchTruncate(const std::string& in, const std::string& out, const std::vector<std::string>& args)
{
    std::vector<uint8_t> b = testmedia::readWholeFile(in);
    double fraction = args.empty() ? 0.5 : std::stod(args[0]);
    testmedia::writeWholeFile(out, b.data(), static_cast<size_t>(double(b.size()) * fraction));
}

std::string expand(const std::string& word, const std::string& out, const fs::path& scratch)
{
    std::string result;
    for (size_t i = 0; i < word.size();) {
        size_t open = word.find('{', i);
        if (open == std::string::npos) {
            result += word.substr(i);
            break;
        }
        size_t close = word.find('}', open);
        if (close == std::string::npos)
            throw std::runtime_error("corpus: unclosed placeholder in " + word);
        result += word.substr(i, open - i);
        std::string key = word.substr(open + 1, close - open - 1);
        result += key == "out" ? out : (scratch / key).string();
        i = close + 1;
    }
    return result;
}

void runRecipe(const CorpusCase& item, const std::string& out, const fs::path& scratch)
{
    for (const std::string& step : splitSteps(item.recipe)) {
        std::vector<std::string> words = splitWords(step);
        for (auto& w : words)
            w = expand(w, out, scratch);
        if (words.empty())
            continue;
        if (words[0][0] != '@') {
            std::vector<std::string> argv = {"ffmpeg", "-v", "error", "-nostdin", "-y"};
            argv.insert(argv.end(), words.begin(), words.end());
            testmedia::runTool(argv);
        } else if (words.size() >= 3) {
            std::vector<std::string> rest(words.begin() + 3, words.end());
            if (words[0] == "@bottomup")
                patchBottomUp(words[1], words[2], rest);
            else if (words[0] == "@tscut")
                patchTsCut(words[1], words[2], rest);
            else if (words[0] == "@truncate")
                patchTruncate(words[1], words[2], rest);
            else
                throw std::runtime_error("corpus: unknown patch " + words[0]);
        } else {
            throw std::runtime_error("corpus: bad step in " + item.name + ": " + step);
        }
    }
}

std::string readText(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A pattern path exists when its first numbered file does.
bool caseFileExists(const std::string& path)
{
    if (path.find('%') == std::string::npos)
        return fs::exists(path);
    char first[4096];
    std::snprintf(first, sizeof first, path.c_str(), 1);
    return fs::exists(first);
}

class FileLock {
public:
    explicit FileLock(const fs::path& path) : m_fd(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644))
    {
        if (m_fd < 0 || flock(m_fd, LOCK_EX) != 0)
            throw std::runtime_error("corpus: cannot lock " + path.string());
    }
    ~FileLock()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

private:
    int m_fd;
};

} // namespace

const std::vector<CorpusCase>& corpus()
{
    static const std::vector<CorpusCase> cases = makeCorpus();
    return cases;
}

void PrintTo(const CorpusCase& item, std::ostream* out)
{
    *out << item.name;
}

const CorpusCase& corpusCase(const std::string& name)
{
    for (const CorpusCase& item : corpus())
        if (item.name == name)
            return item;
    throw std::out_of_range("corpus: no case " + name);
}

std::string corpusFile(const CorpusCase& item)
{
    const fs::path root = MORVEN_CONFORMANCE_CORPUS;
    const fs::path stamps = root / ".stamps";
    fs::create_directories(stamps);
    const std::string out = (root / item.file).string();
    const std::string stampText = std::string(kGeneratorVersion) + "\n" + item.file + "\n" + item.recipe + "\n";
    const fs::path stamp = stamps / (item.name + ".stamp");

    FileLock lock(stamps / (item.name + ".lock"));
    if (caseFileExists(out) && readText(stamp) == stampText)
        return out;

    fs::remove(stamp);
    const fs::path target = fs::path(out);
    if (item.file.find('%') != std::string::npos)
        fs::remove_all(target.parent_path()); // a sequence owns its directory
    else
        fs::remove(target);
    fs::create_directories(target.parent_path());
    const fs::path scratch = root / ".work" / item.name;
    fs::remove_all(scratch);
    fs::create_directories(scratch);
    try {
        runRecipe(item, out, scratch);
    } catch (...) {
        fs::remove_all(scratch);
        throw;
    }
    fs::remove_all(scratch);
    if (!caseFileExists(out))
        throw std::runtime_error("corpus: the recipe of " + item.name + " made no " + out);
    std::ofstream(stamp, std::ios::binary | std::ios::trunc) << stampText;
    return out;
}

} // namespace conformance
