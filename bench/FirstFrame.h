// One open-to-first-frame cycle of each contender the benchmark compares.
// Each returns whether it got a frame; `ms` is the time from the open to
// the frame being in memory, teardown excluded.
#pragma once

#include <string>

namespace bench {

// The capture component: createCapture + startCapture + Grab.
bool oursFirstFrame(const std::string& path, double& ms);
// A minimal hand-written FFmpeg decode into a bottom-up BGR buffer: the practical limit.
bool libavFirstFrame(const std::string& path, double& ms);
// OpenCV's VideoCapture: open and the first read.
bool opencvFirstFrame(const std::string& path, double& ms);

} // namespace bench
