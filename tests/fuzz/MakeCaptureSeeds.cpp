// capture_fuzz_seeds DIR: the capture fuzzer's first inputs, made with FFmpeg's
// encoders like the other test media: tiny clips of the codecs and containers the
// component meets, and still images, each a few kilobytes.
#include "tests/support/TestMedia.h"
#include "tests/support/ToolRunner.h"

#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: capture_fuzz_seeds DIR\n");
        return 2;
    }
    const std::string dir = argv[1];
    struct Seed {
        const char* name;
        const char* size;
        std::vector<std::string> codec;
    };
    const std::vector<Seed> seeds = {
        {"h264.mp4", "32x24", {"-c:v", "libx264", "-preset", "veryfast", "-bf", "2", "-pix_fmt", "yuv420p"}},
        {"h264.mkv", "30x18", {"-c:v", "libx264", "-preset", "veryfast", "-pix_fmt", "yuv444p"}},
        {"h264.mov", "16x16", {"-c:v", "libx264", "-preset", "veryfast", "-pix_fmt", "yuv420p"}},
        {"mjpeg.avi", "24x16", {"-c:v", "mjpeg", "-pix_fmt", "yuvj422p"}},
        {"mpeg4.avi", "32x32", {"-c:v", "mpeg4", "-q:v", "5"}},
        {"msmpeg4v3.avi", "32x16", {"-c:v", "msmpeg4v3", "-q:v", "5"}},
        {"mpeg2.ts", "32x32", {"-c:v", "mpeg2video", "-q:v", "5"}},
        {"mpeg1.mpg", "32x32", {"-c:v", "mpeg1video", "-q:v", "5"}},
        {"vp8.webm", "32x24", {"-c:v", "libvpx", "-b:v", "50k"}},
        {"vp9.webm", "32x24", {"-c:v", "libvpx-vp9", "-b:v", "50k"}},
        {"flv1.flv", "32x24", {"-c:v", "flv1", "-q:v", "5"}},
        {"ffv1.mkv", "17x11", {"-c:v", "ffv1", "-pix_fmt", "yuv420p10le"}},
        {"wmv2.asf", "32x24", {"-c:v", "wmv2", "-q:v", "5"}},
        {"gif.gif", "20x12", {}},
        {"y4m.y4m", "12x8", {"-pix_fmt", "yuv420p"}},
        {"still.png", "19x7", {"-frames:v", "1", "-update", "1"}},
        {"still.jpg", "16x8", {"-frames:v", "1", "-update", "1"}},
        {"still.bmp", "9x5", {"-frames:v", "1", "-update", "1"}},
    };
    try {
        std::filesystem::create_directories(dir);
        for (const Seed& seed : seeds) {
            std::vector<std::string> args{"ffmpeg", "-v", "error", "-nostdin", "-y", "-f", "lavfi", "-i",
                                          std::string("testsrc2=size=") + seed.size + ":rate=25", "-frames:v", "2"};
            args.insert(args.end(), seed.codec.begin(), seed.codec.end());
            args.push_back(dir + "/" + seed.name);
            testmedia::runTool(args);
        }
        testmedia::makeRawBgrAvi(dir, 7, 5);
        testmedia::makeAviWithClaimedSize(dir, -16, 16);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "capture_fuzz_seeds: %s\n", e.what());
        return 1;
    }
    return 0;
}
