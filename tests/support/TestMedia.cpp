#include "tests/support/TestMedia.h"

#include "tests/support/ToolRunner.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>

namespace fs = std::filesystem;

namespace testmedia {

namespace {

std::string sizeArg(int width, int height)
{
    return std::to_string(width) + "x" + std::to_string(height);
}

std::string joinPath(const std::string& dir, const std::string& name)
{
    return (fs::path(dir) / name).string();
}

// The encoded clips share one picture: FFmpeg's moving test source, tagged
// BT.601 limited range so that every decoder converts it the same way.
std::vector<std::string> testSourceInput(int width, int height, int frames)
{
    return {"-f", "lavfi", "-i",
            "testsrc2=size=" + sizeArg(width, height) + ":rate=25", "-frames:v", std::to_string(frames)};
}

const std::vector<std::string> kBt601Tags = {"-colorspace", "smpte170m", "-color_primaries", "smpte170m",
                                             "-color_trc", "smpte170m"};

std::string encode(const std::string& dir, const std::string& name, int width, int height, int frames,
                   const std::vector<std::string>& codecArgs)
{
    if (width <= 0 || height <= 0 || frames <= 0)
        throw std::runtime_error("testmedia: bad size or frame count for " + name);
    std::string out = joinPath(dir, name);
    std::vector<std::string> args = {"ffmpeg", "-v", "error", "-nostdin", "-y"};
    for (const auto& a : testSourceInput(width, height, frames))
        args.push_back(a);
    for (const auto& a : codecArgs)
        args.push_back(a);
    for (const auto& a : kBt601Tags)
        args.push_back(a);
    args.push_back(out);
    runTool(args);
    return out;
}

void putLe32(std::vector<uint8_t>& bytes, size_t at, int32_t value)
{
    uint32_t v = static_cast<uint32_t>(value);
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

size_t findTag(const std::vector<uint8_t>& bytes, const char* tag)
{
    for (size_t i = 0; i + 4 <= bytes.size(); ++i)
        if (std::memcmp(&bytes[i], tag, 4) == 0)
            return i;
    throw std::runtime_error(std::string("testmedia: no '") + tag + "' chunk in the AVI");
}

} // namespace

Bgr patternPixel(int x, int y, int frame)
{
    int hi = ((x >> 8) & 15) | (((y >> 8) & 15) << 4);
    return Bgr{static_cast<uint8_t>(x & 255), static_cast<uint8_t>(y & 255),
               static_cast<uint8_t>(hi ^ ((frame * 37 + 91) & 255))};
}

Frame patternFrame(int width, int height, int frame)
{
    Frame f;
    f.width = width;
    f.height = height;
    f.pixels.resize(static_cast<size_t>(width) * height * 3);
    uint8_t* p = f.pixels.data();
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            Bgr c = patternPixel(x, y, frame);
            *p++ = c.b;
            *p++ = c.g;
            *p++ = c.r;
        }
    return f;
}

std::string makeRawBgrAvi(const std::string& dir, int width, int height, int frames)
{
    if (width <= 0 || height <= 0 || frames <= 0)
        throw std::runtime_error("testmedia: bad size or frame count for a raw AVI");
    std::string name = "raw-bgr-" + sizeArg(width, height) + "-" + std::to_string(frames) + ".avi";
    std::string rawPath = joinPath(dir, name + ".bgr");
    {
        std::ofstream raw(rawPath, std::ios::binary | std::ios::trunc);
        for (int i = 0; i < frames; ++i) {
            Frame f = patternFrame(width, height, i);
            raw.write(reinterpret_cast<const char*>(f.pixels.data()), static_cast<std::streamsize>(f.pixels.size()));
        }
        if (!raw)
            throw std::runtime_error("testmedia: cannot write " + rawPath);
    }
    std::string out = joinPath(dir, name);
    runTool({"ffmpeg", "-v", "error", "-nostdin", "-y", "-f", "rawvideo", "-pix_fmt", "bgr24", "-s",
             sizeArg(width, height), "-r", "25", "-i", rawPath, "-c:v", "rawvideo", "-pix_fmt", "bgr24", out});
    fs::remove(rawPath);
    return out;
}

std::string makeMjpegAvi(const std::string& dir, int width, int height, int frames)
{
    return encode(dir, "mjpeg-" + sizeArg(width, height) + "-" + std::to_string(frames) + ".avi", width, height,
                  frames, {"-c:v", "mjpeg", "-pix_fmt", "yuvj420p", "-q:v", "3"});
}

std::string makeH264Mp4(const std::string& dir, int width, int height, int frames)
{
    return encode(dir, "h264-" + sizeArg(width, height) + "-" + std::to_string(frames) + ".mp4", width, height,
                  frames, {"-c:v", "libx264", "-preset", "veryfast", "-pix_fmt", "yuv420p", "-bf", "3"});
}

std::string makeMpeg4Avi(const std::string& dir, int width, int height, int frames)
{
    return encode(dir, "mpeg4-" + sizeArg(width, height) + "-" + std::to_string(frames) + ".avi", width, height,
                  frames, {"-c:v", "mpeg4", "-q:v", "3", "-pix_fmt", "yuv420p"});
}

std::string makeAudioOnly(const std::string& dir)
{
    std::string out = joinPath(dir, "audio-only.wav");
    runTool({"ffmpeg", "-v", "error", "-nostdin", "-y", "-f", "lavfi", "-i", "sine=frequency=440:duration=1", "-c:a",
             "pcm_s16le", out});
    return out;
}

std::string makeTruncatedCopy(const std::string& source, const std::string& dir, double keepFraction)
{
    std::vector<uint8_t> bytes = readWholeFile(source);
    if (keepFraction < 0)
        keepFraction = 0;
    if (keepFraction > 1)
        keepFraction = 1;
    size_t keep = static_cast<size_t>(static_cast<double>(bytes.size()) * keepFraction);
    std::string out = joinPath(dir, "truncated-" + fs::path(source).filename().string());
    writeWholeFile(out, bytes.data(), keep);
    return out;
}

std::string makeRandomBytes(const std::string& dir, size_t size, uint32_t seed)
{
    std::mt19937 gen(seed);
    std::vector<uint8_t> bytes(size);
    for (auto& b : bytes)
        b = static_cast<uint8_t>(gen());
    std::string out = joinPath(dir, "random-" + std::to_string(seed) + ".bin");
    writeWholeFile(out, bytes.data(), bytes.size());
    return out;
}

std::string makeEmptyFile(const std::string& dir)
{
    std::string out = joinPath(dir, "empty.avi");
    writeWholeFile(out, nullptr, 0);
    return out;
}

std::string copyAviWithClaimedSize(const std::string& source, const std::string& dir, int32_t claimedWidth,
                                   int32_t claimedHeight)
{
    std::vector<uint8_t> bytes = readWholeFile(source);
    // The main header's dwWidth and dwHeight, and the stream format's biWidth and biHeight.
    size_t avih = findTag(bytes, "avih");
    putLe32(bytes, avih + 8 + 32, claimedWidth);
    putLe32(bytes, avih + 8 + 36, claimedHeight);
    size_t strf = findTag(bytes, "strf");
    putLe32(bytes, strf + 8 + 4, claimedWidth);
    putLe32(bytes, strf + 8 + 8, claimedHeight);
    std::string out = joinPath(dir, "claimed-" + std::to_string(claimedWidth) + "x" + std::to_string(claimedHeight) +
                                        "-" + fs::path(source).filename().string());
    writeWholeFile(out, bytes.data(), bytes.size());
    return out;
}

std::string makeAviWithClaimedSize(const std::string& dir, int32_t claimedWidth, int32_t claimedHeight)
{
    std::string small = makeRawBgrAvi(dir, 16, 16, 1);
    std::string out = copyAviWithClaimedSize(small, dir, claimedWidth, claimedHeight);
    fs::remove(small);
    return out;
}

std::string placeUnderNonAsciiPath(const std::string& file, const std::string& dir)
{
    // Paths are bytes on this system; these literals are UTF-8.
    fs::path sub = fs::path(dir) / "vidéo ελληνικά 映像";
    fs::create_directories(sub);
    fs::path target = sub / ("kopie ü 视频" + fs::path(file).extension().string());
    fs::copy_file(file, target, fs::copy_options::overwrite_existing);
    return target.string();
}

Frame expectedFirstFrame(const std::string& file)
{
    std::string dims = runTool({"ffprobe", "-v", "error", "-select_streams", "v:0", "-show_entries",
                                "stream=width,height", "-of", "csv=p=0:s=x", file},
                               true);
    Frame f;
    if (std::sscanf(dims.c_str(), "%dx%d", &f.width, &f.height) != 2 || f.width <= 0 || f.height <= 0)
        throw std::runtime_error("testmedia: ffprobe gave no size for " + file + ": " + dims);
    std::string raw = runTool({"ffmpeg", "-v", "error", "-nostdin", "-i", file, "-frames:v", "1", "-f", "rawvideo",
                               "-pix_fmt", "bgr24", "-"},
                              true);
    if (raw.size() != static_cast<size_t>(f.width) * f.height * 3)
        throw std::runtime_error("testmedia: ffmpeg gave " + std::to_string(raw.size()) + " bytes for the first frame of " +
                                 file);
    f.pixels.assign(raw.begin(), raw.end());
    return f;
}

std::u16string toUtf16(const std::string& utf8)
{
    std::u16string out;
    size_t i = 0;
    while (i < utf8.size()) {
        unsigned char c = static_cast<unsigned char>(utf8[i]);
        uint32_t cp;
        int extra;
        if (c < 0x80) {
            cp = c;
            extra = 0;
        } else if ((c & 0xE0) == 0xC0) {
            cp = c & 0x1F;
            extra = 1;
        } else if ((c & 0xF0) == 0xE0) {
            cp = c & 0x0F;
            extra = 2;
        } else {
            cp = c & 0x07;
            extra = 3;
        }
        ++i;
        for (int k = 0; k < extra && i < utf8.size(); ++k, ++i)
            cp = (cp << 6) | (static_cast<unsigned char>(utf8[i]) & 0x3F);
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
    }
    return out;
}

} // namespace testmedia
