// Decoded pictures as the tests compare them: top row first, rows packed
// (width * 3 bytes, BGR). Plain C++ only, so the Windows tests share it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace testmedia {

struct Bgr {
    uint8_t b, g, r;
    bool operator==(const Bgr&) const = default;
};

// A decoded picture, top row first, rows packed without padding (width * 3 bytes).
struct Frame {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels;

    Bgr at(int x, int y) const;
};

// Bytes per row of a 24-bit frame of `width` pixels in the pipeline's
// layout: padded to a multiple of 4.
size_t paddedRowBytes(int width);
// Reads a pipeline buffer (rows padded to 4 bytes; bottom row first when
// `bottomUp`) into a top-down packed frame.
Frame frameFromBuffer(const uint8_t* buffer, int width, int height, bool bottomUp);
// Mean absolute difference per byte of two frames of one size; a negative
// value when the sizes differ.
double meanAbsDifference(const Frame& a, const Frame& b);

} // namespace testmedia
