// Turns a decoded picture into the pipeline's 24-bit layout (packed BGR,
// rows a given pitch apart, bottom row first or top row first) in one
// pass, giving the very pixels FFmpeg's own command line gives for it
// (`ffmpeg -i FILE -pix_fmt bgr24`): libswscale set up as the scale filter
// that command inserts sets it up (bicubic, its chroma siting, the frame's
// matrix and range), whatever the picture's format.
#pragma once

#include "platform/DirectShow.h"

#include <cstddef>
#include <cstdint>

struct AVFrame;
struct SwsContext;

namespace comrt::media {

// Bytes the converter may store past the last row of a buffer.
constexpr size_t kConversionSlack = 64;

// What a scaler context is set up for.
struct ScalerSetUp {
    int format = -1;
    int srcWidth = 0, srcHeight = 0, dstWidth = 0, dstHeight = 0;
    int range = -1;
    int colorspace = -1;
    bool operator==(const ScalerSetUp&) const = default;
};

class PictureConverter {
public:
    PictureConverter() = default;
    ~PictureConverter();
    PictureConverter(const PictureConverter&) = delete;
    PictureConverter& operator=(const PictureConverter&) = delete;

    // Writes `frame`, scaled to `width` x `height` if it has another size,
    // into `buffer`: rows `pitch` bytes apart, bottom row first when
    // `bottomUp`, with kConversionSlack writable bytes after the last row.
    // The padding at the end of each row is left as it was.
    HRESULT convert(const AVFrame& frame, uint8_t* buffer, int width, int height, size_t pitch, bool bottomUp);

    // Whether any band of rows of `frame` that starts and ends on an even
    // row, converted at its own size as a picture of its own, gives exactly
    // those rows of the whole picture's conversion.
    static bool convertsInBands(const AVFrame& frame);

private:
    // A scaler context; put aside for the next converter when this one goes.
    struct Scaler {
        SwsContext* sws = nullptr;
        ScalerSetUp setUp;
        ~Scaler();
        SwsContext* prepare(const AVFrame& frame, int srcWidth, int dstWidth, int dstHeight);
    };

    Scaler m_picture;
    Scaler m_lastColumns;
};

} // namespace comrt::media
