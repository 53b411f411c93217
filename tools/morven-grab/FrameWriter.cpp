#include "tools/morven-grab/FrameWriter.h"

#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace grab {

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
    try {
        return cv::haveImageWriter(path);
    } catch (const cv::Exception&) {
        return false;
    }
}

bool writeImage(const MORImageStruct& frame, bool topFirst, const std::string& path, std::string& error)
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
