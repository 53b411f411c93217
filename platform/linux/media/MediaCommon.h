// What the pipeline's filters share among themselves and with the graph:
// result codes the public headers do not name, private interface ids, the
// item that travels down a chain of pins, and the graph's event sink.
#pragma once

#include "platform/DirectShow.h"
#include "platform/linux/ComPtr.h"

#include <atomic>

struct AVPacket;
struct AVFrame;

#ifndef VFW_E_INVALID_DIRECTION
#define VFW_E_INVALID_DIRECTION COMRT_HR(0x80040208)
#endif
#ifndef VFW_E_NO_TRANSPORT
#define VFW_E_NO_TRANSPORT COMRT_HR(0x80040266)
#endif
#ifndef VFW_S_DUPLICATE_NAME
#define VFW_S_DUPLICATE_NAME COMRT_HR(0x0004022D)
#endif
#ifndef VFW_E_DUPLICATE_NAME
#define VFW_E_DUPLICATE_NAME COMRT_HR(0x8004022D)
#endif
#ifndef VFW_E_BUFFER_OVERFLOW
#define VFW_E_BUFFER_OVERFLOW COMRT_HR(0x8004020D)
#endif
#ifndef VFW_E_SAMPLE_TIME_NOT_SET
#define VFW_E_SAMPLE_TIME_NOT_SET COMRT_HR(0x80040249)
#endif
#ifndef VFW_E_MEDIA_TIME_NOT_SET
#define VFW_E_MEDIA_TIME_NOT_SET COMRT_HR(0x80040251)
#endif
#ifndef VFW_E_RUNTIME_ERROR
#define VFW_E_RUNTIME_ERROR COMRT_HR(0x8004020B)
#endif

namespace comrt::media {

// Interface ids that only this runtime's own objects answer: they let the
// graph and the filters find each other's implementation behind a pin or a
// graph pointer, and refuse foreign objects.
extern const GUID IID_MediaPinImpl;
extern const GUID IID_MediaFilterImpl;
extern const GUID IID_MediaEventSink;
// The subtype between the decoder and the colour converter: a decoded frame
// in whatever layout the decoder produced.
extern const GUID MEDIASUBTYPE_DecodedFrame;

struct ConvertedPicture;

// One item pushed from an output pin to the input pin it is connected to,
// on the streaming thread. Exactly one of the first three members is set.
struct StreamItem {
    const AVPacket* packet = nullptr; // compressed data, from the source
    AVFrame* frame = nullptr;         // a decoded picture, from the decoder
    // With a frame: the same picture converted already, when the decoder
    // had it converted as it decoded it (BandConverter); else null.
    ConvertedPicture* converted = nullptr;
    IMediaSample* sample = nullptr;   // a finished sample, from the converter on
    // Presentation time of a frame, in 100 ns units, when known.
    bool hasTime = false;
    REFERENCE_TIME start = 0;
    REFERENCE_TIME end = 0;
    bool syncPoint = false;
};

// The source filter whose streaming thread is the calling thread, or null.
// A streaming thread must never wait for itself to end.
const void* currentStreamingSource();
void setStreamingSource(const void* source);

// Whether a picture of this size can be held in the pipeline's 24-bit
// layout (rows padded to 4 bytes) in one sample.
bool frameSizeAcceptable(int64_t width, int64_t height);

// How the graph hears from its filters (EC_COMPLETE, EC_ERRORABORT, ...).
struct EventSink {
    virtual void notifyEvent(LONG code, LONG_PTR param1, LONG_PTR param2) = 0;

protected:
    ~EventSink() = default;
};

// Atomic reference count of an object that deletes itself at zero.
class RefCount {
public:
    ULONG addRef() { return m_count.fetch_add(1, std::memory_order_relaxed) + 1; }
    // The count after the release; 0 means the caller must delete the object.
    ULONG release() { return m_count.fetch_sub(1, std::memory_order_acq_rel) - 1; }

private:
    std::atomic<ULONG> m_count{1};
};

// The largest sample the pipeline makes: its size must fit the LONG that
// carries it (IMediaSample::GetSize, AM_MEDIA_TYPE::lSampleSize). FFmpeg
// refuses pictures well below this (av_image_check_size), so no picture it
// decodes is refused for its size.
constexpr int64_t kMaxSampleBytes = 0x7FFFFFFF - 4096;

} // namespace comrt::media
