#include "tests/support/Frames.h"

#include <cstdlib>
#include <cstring>

namespace testmedia {

Bgr Frame::at(int x, int y) const
{
    const uint8_t* p = &pixels[(static_cast<size_t>(y) * width + x) * 3];
    return Bgr{p[0], p[1], p[2]};
}

size_t paddedRowBytes(int width)
{
    return (static_cast<size_t>(width) * 3 + 3) & ~static_cast<size_t>(3);
}

Frame frameFromBuffer(const uint8_t* buffer, int width, int height, bool bottomUp)
{
    Frame f;
    f.width = width;
    f.height = height;
    f.pixels.resize(static_cast<size_t>(width) * height * 3);
    size_t pitch = paddedRowBytes(width);
    for (int y = 0; y < height; ++y) {
        const uint8_t* row = buffer + pitch * static_cast<size_t>(bottomUp ? height - 1 - y : y);
        std::memcpy(&f.pixels[static_cast<size_t>(y) * width * 3], row, static_cast<size_t>(width) * 3);
    }
    return f;
}

double meanAbsDifference(const Frame& a, const Frame& b)
{
    if (a.width != b.width || a.height != b.height || a.pixels.size() != b.pixels.size() || a.pixels.empty())
        return -1;
    uint64_t sum = 0;
    for (size_t i = 0; i < a.pixels.size(); ++i)
        sum += static_cast<uint64_t>(std::abs(int(a.pixels[i]) - int(b.pixels[i])));
    return static_cast<double>(sum) / static_cast<double>(a.pixels.size());
}

} // namespace testmedia
