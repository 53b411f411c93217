// Speed only. Converts the first picture a decoder makes while it makes it:
// the decoder reports each band of rows as it finishes it (FFmpeg's
// draw_horiz_band), and a second thread turns the band into packed BGR,
// bottom row first, in a buffer the size of a sample. When the decoder is
// done only the last rows are left, and the colour converter takes the
// buffer as its sample instead of converting the picture after the decode.
//
// Only where each row converts on its own (PictureConverter's direct code:
// 4:2:0 and 4:2:2 of even height, same size), and only for a whole key
// picture in one frame (no fields) that the decoder reports no damage in:
// there the bands are exactly the rows FFmpeg outputs. Anything else, and
// the picture is converted after the decode as before.
#pragma once

#include "platform/linux/media/PictureConverter.h"
#include "platform/linux/media/StreamingThread.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>

struct AVCodecContext;
struct AVFrame;

namespace comrt::media {

// A picture converted ahead into a buffer of LargeBuffers: packed BGR, rows
// `pitch` apart, bottom row first, with kConversionSlack bytes after them.
struct ConvertedPicture {
    ConvertedPicture() = default;
    ConvertedPicture(const ConvertedPicture&) = delete;
    ConvertedPicture& operator=(const ConvertedPicture&) = delete;
    ~ConvertedPicture() { release(); }
    void release();

    uint8_t* buffer = nullptr;
    int width = 0;
    int height = 0;
    size_t pitch = 0;
    size_t bytes() const { return pitch * size_t(height) + kConversionSlack; }
};

class BandConverter {
public:
    BandConverter() = default;
    ~BandConverter();
    BandConverter(const BandConverter&) = delete;
    BandConverter& operator=(const BandConverter&) = delete;

    // Makes `codec` report its bands to this converter while the calling
    // thread decodes with it, up to finish() or abandon().
    void listen(AVCodecContext* codec);
    // The decode gave `frame`: the rest of it is converted here, and the
    // picture handed to `out` when every row of it was converted from this
    // very picture. False (nothing handed over) otherwise.
    bool finish(const AVFrame& frame, ConvertedPicture& out);
    // Stops converting and forgets what was converted.
    void abandon();

private:
    static void drawBand(AVCodecContext* codec, const AVFrame* src, int offset[], int y, int type, int height);
    void band(const AVFrame& src, const AVCodecContext& codec, int top, int bottom, bool wholeFrame);
    bool startOn(const AVFrame& src, const AVCodecContext& codec);
    void helper();
    // Converts rows [m_converted, upTo), holding m_converting; false on a failure.
    bool convertUpTo(int upTo);
    void stopHelper();

    StreamingThread m_thread;
    PictureConverter m_converter;
    ConvertedPicture m_picture;
    // The picture being converted: its planes and what it was at the first
    // band, at the size it is shown (the decoder's size, rows at the bottom
    // of its planes being cut off).
    AVFrame* m_source = nullptr;
    bool m_failed = false;       // (decoding thread) not convertible band by band
    std::atomic<int> m_ready{0}; // rows the decoder has finished; -1: stop
    std::mutex m_converting;     // the converter and the two below
    int m_converted = 0;         // rows converted so far, from the top
    bool m_conversionFailed = false;
};

} // namespace comrt::media
