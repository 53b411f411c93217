#include "tools/morven-grab/FrameWriter.h"

#include "tools/morven-grab/ImageFiles.h"

#ifndef _WIN32
#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>
#endif

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace grab {

namespace {

// The frame upright as packed B, G, R: one channel is spread to grey, a fourth dropped.
BgrImage uprightBgr(const MORImageStruct& frame, bool topFirst)
{
    BgrImage image;
    image.width = frame.width;
    image.height = frame.height;
    image.pixels.resize(static_cast<std::size_t>(frame.width) * static_cast<std::size_t>(frame.height) * 3);
    const std::size_t pitch = rowPitch(frame);
    std::uint8_t* out = image.pixels.data();
    for (int row = 0; row < frame.height; ++row) {
        const int source = topFirst ? row : frame.height - 1 - row;
        const unsigned char* in = frame.data + static_cast<std::size_t>(source) * pitch;
        for (int x = 0; x < frame.width; ++x, in += frame.channels) {
            *out++ = in[0];
            *out++ = frame.channels >= 3 ? in[1] : in[0];
            *out++ = frame.channels >= 3 ? in[2] : in[0];
        }
    }
    return image;
}

#ifndef _WIN32
// Formats beyond our own writers go through the image library.
bool writeWithImageLibrary(const MORImageStruct& frame, bool topFirst, const std::string& path, std::string& error)
{
    const std::size_t pitch = rowPitch(frame);
    const std::size_t rowBytes = static_cast<std::size_t>(frame.width) * static_cast<std::size_t>(frame.channels);
    try {
        cv::Mat image(frame.height, frame.width, CV_8UC(frame.channels));
        for (int row = 0; row < frame.height; ++row) {
            const int source = topFirst ? row : frame.height - 1 - row;
            std::memcpy(image.ptr(row), frame.data + static_cast<std::size_t>(source) * pitch, rowBytes);
        }
        if (!cv::imwrite(path, image)) {
            error = "the image could not be written to " + path;
            return false;
        }
    } catch (const cv::Exception& e) {
        error = "the image could not be written to " + path + ": " + e.err;
        return false;
    }
    return true;
}
#endif

} // namespace

std::size_t rowPitch(const MORImageStruct& frame)
{
    return (static_cast<std::size_t>(frame.width) * static_cast<std::size_t>(frame.channels) + 3) & ~std::size_t{3};
}

bool writableFrame(const MORImageStruct& frame)
{
    const bool channelsOk = frame.channels == 1 || frame.channels == 3 || frame.channels == 4;
    return frame.width > 0 && frame.height > 0 && frame.depth == 8 && channelsOk && frame.data;
}

bool canWriteImageAs(const std::string& path)
{
    const ImageFormat format = imageFormatOf(path);
    if (format == ImageFormat::Bmp || format == ImageFormat::Ppm)
        return true;
#ifdef _WIN32
    return format == ImageFormat::Png;
#else
    try {
        return cv::haveImageWriter(path);
    } catch (const cv::Exception&) {
        return false;
    }
#endif
}

bool writeImage(const MORImageStruct& frame, bool topFirst, const std::string& path, std::string& error)
{
    switch (imageFormatOf(path)) {
    case ImageFormat::Bmp:
        return writeBmp(uprightBgr(frame, topFirst), path, error);
    case ImageFormat::Ppm:
        return writePpm(uprightBgr(frame, topFirst), path, error);
#ifdef _WIN32
    case ImageFormat::Png:
        return writePng(uprightBgr(frame, topFirst), path, error);
    default:
        error = "no image format is known for " + path;
        return false;
#else
    default:
        return writeWithImageLibrary(frame, topFirst, path, error);
#endif
    }
}

bool writeRaw(const MORImageStruct& frame, const std::string& path, std::string& error)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        error = "cannot create " + path + ": " + std::strerror(errno);
        return false;
    }
    const std::size_t size = rowPitch(frame) * static_cast<std::size_t>(frame.height);
    const bool written = std::fwrite(frame.data, 1, size, file) == size;
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed) {
        error = "cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

} // namespace grab
