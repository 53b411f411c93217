// What a user would otherwise pick: OpenCV's VideoCapture on FFmpeg.
#include "bench/FirstFrame.h"

#include <opencv2/core.hpp>
#include <opencv2/videoio.hpp>

#include <chrono>

namespace bench {

bool opencvFirstFrame(const std::string& path, double& ms)
{
    auto start = std::chrono::steady_clock::now();
    cv::VideoCapture capture(path, cv::CAP_FFMPEG);
    cv::Mat frame;
    bool ok = capture.isOpened() && capture.read(frame) && !frame.empty();
    ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    return ok;
}

} // namespace bench
