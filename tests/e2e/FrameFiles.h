// Reads back what morven-grab wrote, as top-first packed frames.
#pragma once

#include "tests/support/TestMedia.h"

#include <optional>
#include <string>

namespace e2e {

// An image file (any format OpenCV reads) with three 8-bit channels; nothing if unreadable.
std::optional<testmedia::Frame> readImage(const std::string& path);

// A --raw dump: `height` rows of (width * 3 + 3) & ~3 bytes, top row first when
// `topFirst`, bottom row first otherwise. Nothing if the file size is not exactly that.
std::optional<testmedia::Frame> readRawFrame(const std::string& path, int width, int height, bool topFirst);

// Mean absolute difference over every byte of two frames of the same size.
double meanDifference(const testmedia::Frame& a, const testmedia::Frame& b);

// The first bytes of a file.
std::string fileStart(const std::string& path, size_t count);

} // namespace e2e
