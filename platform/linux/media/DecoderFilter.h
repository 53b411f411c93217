// The video decoder the graph inserts after a file source: compressed
// packets in, decoded frames (in the decoder's own layout) out.
//
// Its output type carries the size of the first picture it decodes, not the
// size the container claims: the two differ (an MXF descriptor counting the
// coded 1088 rows of a 1080-row picture, a header that lies). The first
// picture is therefore decoded while the type is negotiated, reading ahead
// from the source: on the caller's thread for a small picture, on the
// source's streaming thread for a large one, the caller converting it
// meanwhile (BandConverter). A one-shot run starts by handing on that very
// picture; any other run decodes again from the top.
#pragma once

#include "platform/linux/media/BandConverter.h"
#include "platform/linux/media/FrameBuffers.h"
#include "platform/linux/media/MediaFilter.h"
#include "platform/linux/media/OutputStart.h"

#include <memory>

struct AVCodecContext;
struct AVCodecParameters;
struct AVFrame;
struct AVPacket;

namespace comrt::media {

class SourceFilter;

class DecoderFilter final : public MediaFilter {
public:
    static HRESULT create(MediaFilter** out);

    HRESULT checkInputType(MediaPin& in, MediaPin& from, const AM_MEDIA_TYPE& mt) override;
    HRESULT getOutputType(MediaPin& out, int index, AM_MEDIA_TYPE& mt) override;
    void connectionChanged(MediaPin& pin) override;
    HRESULT startOfStream(MediaPin& in) override;
    HRESULT receive(MediaPin& in, StreamItem& item) override;
    void endOfStream(MediaPin& in) override;

protected:
    HRESULT activate() override;
    void deactivate() override;

private:
    DecoderFilter();
    ~DecoderFilter() override;

    // A fresh decoder; `firstPictureOnly` when nothing but the first picture
    // will be wanted from it.
    HRESULT openDecoder(bool firstPictureOnly);
    void closeDecoder();
    void dropFirstPicture();

    // Decodes up to the first picture, once per connection, and keeps it.
    HRESULT readFirstPicture();
    HRESULT readAhead(SourceFilter& source);
    // The same on the source's streaming thread, the caller converting the
    // picture band by band meanwhile; sets m_readAheadResult.
    void readAheadOnStreamingThread(SourceFilter& source);

    // Sends one packet (null: the end of the stream) and passes on every
    // picture that comes out. S_FALSE: downstream wants no more.
    HRESULT decode(const AVPacket* packet);
    HRESULT send(const AVPacket* packet, bool& got);
    // Passes on every picture the decoder has ready; `got` tells whether any came.
    HRESULT passFrames(bool& got);
    HRESULT passOn(AVFrame* frame);
    HRESULT fail(HRESULT hr);

    MediaPin& m_in;
    MediaPin& m_out;
    std::unique_ptr<FrameBuffers> m_buffers;
    AVCodecContext* m_codec = nullptr;
    OutputStart m_outputStart;
    AVFrame* m_frame = nullptr;
    bool m_firstPictureOnly = false;
    int64_t m_packetsSent = 0;
    int64_t m_framesOut = 0;
    bool m_failed = false;

    // The read-ahead of this connection: whether it was done, its outcome,
    // the picture's size, and the picture itself until a run hands it on.
    bool m_readAheadDone = false;
    HRESULT m_readAheadResult = S_OK;
    int m_firstWidth = 0;
    int m_firstHeight = 0;
    AVFrame* m_first = nullptr;
    ConvertedPicture m_firstConverted; // the same, converted as it was decoded, if it was
    std::unique_ptr<BandConverter> m_bands; // while reading ahead
    bool m_keepingFirst = false; // reading ahead: the next picture is kept, not passed on
};

} // namespace comrt::media
