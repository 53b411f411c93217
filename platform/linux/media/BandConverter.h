// Speed only. Converts the first picture a decoder makes while it makes it:
// the decoder, on the streaming thread, reports each band of rows as it
// finishes it (FFmpeg's draw_horiz_band), and the caller, who would only
// wait for the decode, turns the band into packed BGR, bottom row first, in
// a buffer the size of a sample. When the decoder is done only the last rows
// are left, and the colour converter takes the buffer as its sample instead
// of converting the picture after the decode.
//
// Only where each row converts on its own (PictureConverter's direct code:
// 4:2:0 and 4:2:2 of even height, same size), and only for a whole key
// picture in one frame (no fields) whose every row the decoder reported in
// order and in which it reports no damage: there the bands are exactly the
// rows FFmpeg outputs. Anything else, and the picture is converted after the
// decode as before.
#pragma once

#include "platform/linux/media/PictureConverter.h"

#include <atomic>
#include <cstddef>
#include <cstdint>

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
    // Smaller pictures are converted after the decode, as before: there the
    // overlap does not pay for itself. (Measured, in bench-first-frame:
    // 1080p H.264 9% faster with it, 720p MPEG-4 and 480p H.264 no faster.)
    static constexpr int kLeastRows = 1024;

    BandConverter() = default;
    ~BandConverter();
    BandConverter(const BandConverter&) = delete;
    BandConverter& operator=(const BandConverter&) = delete;

    // --- the decoding thread ---
    // Makes `codec` report its bands to this converter while the calling
    // thread decodes with it, up to decoded().
    void listen(AVCodecContext* codec);
    // The decoder gave a picture that is not shown: the bands so far may be
    // its, and its planes may come back for the next one. Nothing is used.
    void pictureDropped();
    // The decode is over; `frame` is its picture, or null when it gave none.
    // To be called once, whatever happened, after listen() or without it.
    void decoded(const AVFrame* frame);

    // --- the waiting thread ---
    // Converts the bands as they come, up to decoded(); true when the whole
    // picture was converted, and it is then handed to `out`.
    bool convertWhileDecoding(ConvertedPicture& out);

private:
    static void drawBand(AVCodecContext* codec, const AVFrame* src, int offset[], int y, int type, int height);
    void band(const AVFrame& src, const AVCodecContext& codec, int top, int bottom, bool wholeFrame);
    bool startOn(const AVFrame& src, const AVCodecContext& codec);
    void publish(int state);
    // Converts rows [m_converted, upTo); false on a failure.
    bool convertUpTo(int upTo);

    // What the waiting thread is told through m_state: rows finished so
    // far (0 and up), or the end of the decode.
    static constexpr int kGivenUp = -1; // nothing of it is to be used
    static constexpr int kWhole = -2;   // every row of the picture is finished

    // Set by the decoding thread before it first publishes rows, then read
    // only: the picture's planes and what it was at its first band, at the
    // size it is shown, and the buffer it goes into.
    AVFrame* m_source = nullptr;
    ConvertedPicture m_picture;
    bool m_failed = false; // (decoding thread) not convertible band by band
    bool m_ended = false;  // (decoding thread) decoded() was called
    std::atomic<int> m_state{0};

    // The waiting thread's own.
    PictureConverter m_converter;
    int m_converted = 0; // rows converted so far, from the top
};

} // namespace comrt::media
