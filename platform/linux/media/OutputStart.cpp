#include "platform/linux/media/OutputStart.h"

extern "C" {
#include <libavformat/avformat.h>
}

#include <cmath>

namespace comrt::media {

void OutputStart::setUp(const AVFormatContext& container, const AVStream& stream)
{
    m_known = false;
    if (container.start_time == AV_NOPTS_VALUE || stream.time_base.num <= 0 || stream.time_base.den <= 0)
        return;
    // The frame rate the command line's filters run at, else its default 25.
    AVRational rate = av_guess_frame_rate(const_cast<AVFormatContext*>(&container), const_cast<AVStream*>(&stream),
                                          nullptr);
    if (rate.num <= 0 || rate.den <= 0)
        rate = AVRational{25, 1};
    m_start = av_rescale_q(container.start_time, AV_TIME_BASE_Q, stream.time_base);
    m_frameInterval = 1 / (av_q2d(rate) * av_q2d(stream.time_base));
    m_known = m_frameInterval > 0;
}

bool OutputStart::dropsAsFirst(const AVFrame& picture) const
{
    return dropsAsFirst(picture.best_effort_timestamp, picture.pkt_duration);
}

bool OutputStart::dropsAsFirst(int64_t pts, int64_t duration) const
{
    if (!m_known || pts == AV_NOPTS_VALUE)
        return false;
    // Its place and length in output frames; a picture that reaches into
    // the first frame is kept (and clipped to it).
    const double place = double(pts - m_start) / m_frameInterval;
    double length = 1;
    if (duration > 0) {
        const long frames = lrintf(float(double(duration) / m_frameInterval));
        if (frames > 0)
            length = double(frames);
    }
    return place + length < -1.1;
}

} // namespace comrt::media
