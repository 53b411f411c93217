// Where FFmpeg's command line starts its output of a file. It counts every
// timestamp from the file's start time and, writing at a fixed frame rate,
// drops a picture that ends more than 1.1 frames before that start: at a cut
// in the middle of an open GOP, say, pictures decoded from before the cut.
// Such a picture is never the first one; the first frame is the first
// picture that is not dropped so.
#pragma once

#include <cstdint>

struct AVFormatContext;
struct AVFrame;
struct AVStream;

namespace comrt::media {

class OutputStart {
public:
    // For pictures of `stream` in `container`.
    void setUp(const AVFormatContext& container, const AVStream& stream);
    // Whether the command line drops this picture before writing any other.
    // A picture without a timestamp is never dropped here.
    bool dropsAsFirst(const AVFrame& picture) const;
    // The same for a picture decoded from one packet of these timestamp and duration.
    bool dropsAsFirst(int64_t pts, int64_t duration) const;

private:
    int64_t m_start = 0;         // the file's start, in the stream's time base
    double m_frameInterval = 0;  // one frame, in the stream's time base
    bool m_known = false;
};

} // namespace comrt::media
