#include "tests/e2e/FrameFiles.h"

#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

namespace e2e {

std::optional<testmedia::Frame> readImage(const std::string& path)
{
    const cv::Mat image = cv::imread(path, cv::IMREAD_UNCHANGED);
    if (image.empty() || image.type() != CV_8UC3)
        return std::nullopt;
    testmedia::Frame frame;
    frame.width = image.cols;
    frame.height = image.rows;
    const size_t rowBytes = static_cast<size_t>(image.cols) * 3;
    frame.pixels.resize(rowBytes * static_cast<size_t>(image.rows));
    for (int y = 0; y < image.rows; ++y)
        std::memcpy(frame.pixels.data() + rowBytes * static_cast<size_t>(y), image.ptr(y), rowBytes);
    return frame;
}

std::optional<testmedia::Frame> readRawFrame(const std::string& path, int width, int height, bool topFirst)
{
    std::ifstream file(path, std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    const size_t rowBytes = static_cast<size_t>(width) * 3;
    const size_t pitch = (rowBytes + 3) & ~size_t{3};
    if (bytes.size() != pitch * static_cast<size_t>(height))
        return std::nullopt;
    testmedia::Frame frame;
    frame.width = width;
    frame.height = height;
    frame.pixels.resize(rowBytes * static_cast<size_t>(height));
    for (int y = 0; y < height; ++y) {
        const int stored = topFirst ? y : height - 1 - y;
        std::memcpy(frame.pixels.data() + rowBytes * static_cast<size_t>(y),
                    bytes.data() + pitch * static_cast<size_t>(stored), rowBytes);
    }
    return frame;
}

double meanDifference(const testmedia::Frame& a, const testmedia::Frame& b)
{
    if (a.pixels.size() != b.pixels.size() || a.pixels.empty())
        return 255.0;
    double sum = 0;
    for (size_t i = 0; i < a.pixels.size(); ++i)
        sum += std::abs(int(a.pixels[i]) - int(b.pixels[i]));
    return sum / static_cast<double>(a.pixels.size());
}

std::string fileStart(const std::string& path, size_t count)
{
    std::ifstream file(path, std::ios::binary);
    std::string start(count, '\0');
    file.read(start.data(), static_cast<std::streamsize>(count));
    start.resize(static_cast<size_t>(file.gcount()));
    return start;
}

} // namespace e2e
