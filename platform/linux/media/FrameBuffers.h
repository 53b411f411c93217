// Speed only. Picture buffers for the decoder (its get_buffer2): all planes of a frame
// in one block of LargeBuffers, pooled, laid out as FFmpeg's own default
// lays them out. The default takes every frame from the ordinary allocator
// and zeroes it, touching every page of a fresh buffer one fault at a time.
#pragma once

#include <cstddef>
#include <mutex>

struct AVBufferPool;
struct AVCodecContext;
struct AVFrame;

namespace comrt::media {

class FrameBuffers {
public:
    FrameBuffers() = default;
    ~FrameBuffers();
    FrameBuffers(const FrameBuffers&) = delete;
    FrameBuffers& operator=(const FrameBuffers&) = delete;

    // Makes `codec` take its pictures from this object, which must outlive
    // the codec context (frames may outlive both).
    void attach(AVCodecContext* codec);

private:
    static int getBuffer(AVCodecContext* codec, AVFrame* frame, int flags);
    int layOut(AVCodecContext* codec, const AVFrame& frame);

    std::mutex m_lock; // frame threads may ask at once
    AVBufferPool* m_pool = nullptr;
    int m_format = -1;
    int m_width = 0;
    int m_height = 0;
    int m_linesize[4] = {};
    size_t m_offset[4] = {};
    int m_planes = 0;
};

} // namespace comrt::media
