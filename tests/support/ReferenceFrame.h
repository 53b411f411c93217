// FFmpeg's own first frame of a file, computed in-process: what
//   ffmpeg -noautorotate -i FILE -frames:v 1 -f rawvideo -pix_fmt bgr24 -
// writes, step for step as that command gets it (its choice of video stream,
// its decoder set-up and timestamps, its filter graph, its frame-rate sync),
// without starting a process per file.
#pragma once

#include "tests/support/Frames.h"

#include <string>

namespace testmedia {

// The first frame, top row first, packed. Throws std::runtime_error when
// FFmpeg finds none (the file does not open, has no video stream it picks,
// no decoder, or no frame comes out).
Frame ffmpegFirstFrame(const std::string& path);

} // namespace testmedia
