// windows_make_media: the clips and reference frames of the Windows host-level
// tests, made natively before the tests run under the Windows build.
//
//   windows_make_media DIR
//       writes the clips into DIR, each with FFmpeg's own first frame beside it
//       (<clip>.bgr: BGR24, top row first, rows packed), and DIR/media.txt with
//       one line per clip: "<clip> <width> <height> <reference>". Beside them, not
//       listed: wmv2-64x48.wmv, an ASF file Wine's pipeline cannot connect.
//   windows_make_media --compare IMAGE REFERENCE.bgr WIDTH HEIGHT MAXDIFF
//       decodes IMAGE with FFmpeg and fails unless it has that size and its mean
//       difference per byte from the reference is at most MAXDIFF.
//   windows_make_media --compare-raw IMAGE RAW.bgr WIDTH HEIGHT MAXDIFF
//       the same against a buffer as Grab hands it out: rows padded to 4 bytes,
//       bottom row first (morven-grab --raw without --flip).
//   windows_make_media --compressed-png IMAGE
//       fails unless IMAGE is a PNG whose pixel data starts with a compressed
//       deflate block rather than a stored one.
#include "tests/support/TestMedia.h"
#include "tests/support/ToolRunner.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// Single-frame clips: some decoders keep writing later frames into the buffer
// that was handed out, so only a clip of one frame has one right answer.
// Odd multiples of 2 pixels in width give rows that need padding to 4 bytes.
struct Clip {
    std::string (*make)(const std::string&, int, int, int);
    int width;
    int height;
};
const Clip kClips[] = {
    {testmedia::makeMjpegAvi, 62, 46},
    {testmedia::makeH264Mp4, 66, 50},
};

void writeReference(const std::string& path, const testmedia::Frame& frame)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(frame.pixels.data()), static_cast<std::streamsize>(frame.pixels.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

int makeMedia(const std::string& dir)
{
    fs::create_directories(dir);
    std::ofstream manifest(fs::path(dir) / "media.txt", std::ios::trunc);
    for (const Clip& clip : kClips) {
        const std::string file = clip.make(dir, clip.width, clip.height, 1);
        const testmedia::Frame frame = testmedia::expectedFirstFrame(file);
        if (frame.width != clip.width || frame.height != clip.height)
            throw std::runtime_error(file + " decodes to another size than it was made with");
        const std::string name = fs::path(file).filename().string();
        writeReference(file + ".bgr", frame);
        manifest << name << ' ' << frame.width << ' ' << frame.height << ' ' << name << ".bgr\n";
        std::printf("%s %dx%d\n", file.c_str(), frame.width, frame.height);
    }
    if (!manifest.flush())
        throw std::runtime_error("cannot write " + dir + "/media.txt");
    // Wine's Connect fails on it, which makes the component show its "Connect" box.
    testmedia::runTool({"ffmpeg", "-v", "error", "-nostdin", "-y", "-f", "lavfi", "-i", "testsrc2=size=64x48:rate=25",
                        "-frames:v", "2", "-c:v", "wmv2", "-f", "asf", (fs::path(dir) / "wmv2-64x48.wmv").string()});
    return 0;
}

std::vector<uint8_t> readBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

int compareImage(const std::string& image, const std::string& reference, int width, int height, double maxDiff,
                 bool raw)
{
    const std::vector<uint8_t> bytes = readBytes(reference);
    const size_t rowBytes = raw ? testmedia::paddedRowBytes(width) : static_cast<size_t>(width) * 3;
    if (width <= 0 || height <= 0 || bytes.size() != rowBytes * static_cast<size_t>(height))
        throw std::runtime_error(reference + " is not a " + std::to_string(width) + "x" + std::to_string(height) +
                                 (raw ? " frame as Grab hands it out" : " BGR24 frame"));
    testmedia::Frame expected;
    if (raw) {
        expected = testmedia::frameFromBuffer(bytes.data(), width, height, true);
    } else {
        expected.width = width;
        expected.height = height;
        expected.pixels = bytes;
    }
    const testmedia::Frame got = testmedia::expectedFirstFrame(image);
    if (got.width != width || got.height != height) {
        std::fprintf(stderr, "%s is %dx%d, expected %dx%d\n", image.c_str(), got.width, got.height, width, height);
        return 1;
    }
    const double diff = testmedia::meanAbsDifference(got, expected);
    std::printf("%s: %dx%d, mean difference %.2f from %s\n", image.c_str(), width, height, diff, reference.c_str());
    if (diff > maxDiff) {
        std::fprintf(stderr, "%s differs from %s by %.2f per byte (at most %.2f allowed)\n", image.c_str(),
                     reference.c_str(), diff, maxDiff);
        return 1;
    }
    return 0;
}

// The old hand-written PNG of morven-grab.exe was stored, not compressed: block type 0.
int checkCompressedPng(const std::string& image)
{
    const std::vector<uint8_t> bytes = readBytes(image);
    std::vector<uint8_t> data;
    for (size_t at = 8; at + 12 <= bytes.size();) {
        const size_t length = size_t(bytes[at]) << 24 | size_t(bytes[at + 1]) << 16 | size_t(bytes[at + 2]) << 8 |
                              bytes[at + 3];
        if (at + 12 + length > bytes.size())
            break;
        if (std::equal(bytes.begin() + long(at) + 4, bytes.begin() + long(at) + 8, "IDAT"))
            data.insert(data.end(), bytes.begin() + long(at) + 8, bytes.begin() + long(at + 8 + length));
        at += 12 + length;
    }
    if (bytes.size() < 8 || bytes[1] != 'P' || data.size() < 3) {
        std::fprintf(stderr, "%s is not a PNG with pixel data\n", image.c_str());
        return 1;
    }
    // After the two bytes of the zlib header: BFINAL in bit 0, the block type in bits 1 and 2.
    const int blockType = (data[2] >> 1) & 3;
    std::printf("%s: %zu bytes, first deflate block of type %d\n", image.c_str(), bytes.size(), blockType);
    if (blockType == 0) {
        std::fprintf(stderr, "%s holds uncompressed (stored) deflate blocks\n", image.c_str());
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    try {
        if (argc == 2 && argv[1][0] != '-')
            return makeMedia(argv[1]);
        if (argc == 7 && (std::string(argv[1]) == "--compare" || std::string(argv[1]) == "--compare-raw"))
            return compareImage(argv[2], argv[3], std::atoi(argv[4]), std::atoi(argv[5]), std::atof(argv[6]),
                                std::string(argv[1]) == "--compare-raw");
        if (argc == 3 && std::string(argv[1]) == "--compressed-png")
            return checkCompressedPng(argv[2]);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "windows_make_media: %s\n", e.what());
        return 1;
    }
    std::fprintf(stderr, "usage: windows_make_media DIR\n"
                         "       windows_make_media --compare IMAGE REFERENCE.bgr WIDTH HEIGHT MAXDIFF\n"
                         "       windows_make_media --compare-raw IMAGE RAW.bgr WIDTH HEIGHT MAXDIFF\n"
                         "       windows_make_media --compressed-png IMAGE\n");
    return 2;
}
