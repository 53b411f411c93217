// windows_make_media: the clips and reference frames of the Windows host-level
// tests, made natively before the tests run under the Windows build.
//
//   windows_make_media DIR
//       writes the clips into DIR, each with FFmpeg's own first frame beside it
//       (<clip>.bgr: BGR24, top row first, rows packed), and DIR/media.txt with
//       one line per clip: "<clip> <width> <height> <reference>".
//   windows_make_media --compare IMAGE REFERENCE.bgr WIDTH HEIGHT MAXDIFF
//       decodes IMAGE with FFmpeg and fails unless it has that size and its mean
//       difference per byte from the reference is at most MAXDIFF.
#include "tests/support/TestMedia.h"

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

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
    return 0;
}

int compareImage(const std::string& image, const std::string& reference, int width, int height, double maxDiff)
{
    std::ifstream in(reference, std::ios::binary);
    testmedia::Frame expected;
    expected.width = width;
    expected.height = height;
    expected.pixels.assign(std::istreambuf_iterator<char>(in), {});
    if (expected.pixels.size() != static_cast<size_t>(width) * height * 3)
        throw std::runtime_error(reference + " is not a " + std::to_string(width) + "x" + std::to_string(height) +
                                 " BGR24 frame");
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

} // namespace

int main(int argc, char** argv)
{
    try {
        if (argc == 2 && argv[1][0] != '-')
            return makeMedia(argv[1]);
        if (argc == 7 && std::string(argv[1]) == "--compare")
            return compareImage(argv[2], argv[3], std::atoi(argv[4]), std::atoi(argv[5]), std::atof(argv[6]));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "windows_make_media: %s\n", e.what());
        return 1;
    }
    std::fprintf(stderr, "usage: windows_make_media DIR\n"
                         "       windows_make_media --compare IMAGE REFERENCE.bgr WIDTH HEIGHT MAXDIFF\n");
    return 2;
}
