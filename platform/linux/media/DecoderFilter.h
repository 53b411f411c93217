// The video decoder the graph inserts after a file source: compressed
// packets in, decoded frames (in the decoder's own layout) out.
#pragma once

#include "platform/linux/media/FrameBuffers.h"
#include "platform/linux/media/MediaFilter.h"

#include <memory>

struct AVCodecContext;
struct AVStream;
struct AVFrame;

namespace comrt::media {

class DecoderFilter final : public MediaFilter {
public:
    static HRESULT create(MediaFilter** out);

    HRESULT checkInputType(MediaPin& in, MediaPin& from, const AM_MEDIA_TYPE& mt) override;
    HRESULT getOutputType(MediaPin& out, int index, AM_MEDIA_TYPE& mt) override;
    HRESULT receive(MediaPin& in, StreamItem& item) override;
    void endOfStream(MediaPin& in) override;

protected:
    HRESULT activate() override;
    void deactivate() override;

private:
    DecoderFilter();
    ~DecoderFilter() override;
    const AVStream* sourceStream() const;
    // Passes on every frame the decoder has ready; `got` tells whether any came.
    HRESULT passFrames(bool& got);
    HRESULT fail(HRESULT hr);

    MediaPin& m_in;
    MediaPin& m_out;
    std::unique_ptr<FrameBuffers> m_buffers;
    AVCodecContext* m_codec = nullptr;
    AVFrame* m_frame = nullptr;
    bool m_firstFrameOnly = false;
    int64_t m_framesOut = 0;
    int m_packetsWithoutFrame = 0;
    bool m_failed = false;
};

} // namespace comrt::media
