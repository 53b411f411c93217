#include "platform/linux/media/MediaCommon.h"

namespace comrt::media {

const GUID IID_MediaPinImpl = {0x6D0F3A51, 0x93C2, 0x4E7B, {0x8A, 0x1E, 0x52, 0x0C, 0x7B, 0x94, 0x3D, 0x10}};
const GUID IID_MediaFilterImpl = {0x6D0F3A52, 0x93C2, 0x4E7B, {0x8A, 0x1E, 0x52, 0x0C, 0x7B, 0x94, 0x3D, 0x10}};
const GUID IID_MediaEventSink = {0x6D0F3A53, 0x93C2, 0x4E7B, {0x8A, 0x1E, 0x52, 0x0C, 0x7B, 0x94, 0x3D, 0x10}};
const GUID MEDIASUBTYPE_DecodedFrame = {0x6D0F3A54, 0x93C2, 0x4E7B, {0x8A, 0x1E, 0x52, 0x0C, 0x7B, 0x94, 0x3D, 0x10}};

namespace {
thread_local const void* t_streamingSource = nullptr;
}

const void* currentStreamingSource()
{
    return t_streamingSource;
}

void setStreamingSource(const void* source)
{
    t_streamingSource = source;
}

bool frameSizeAcceptable(int64_t width, int64_t height)
{
    if (width <= 0 || height <= 0 || width > kMaxSampleBytes || height > kMaxSampleBytes)
        return false;
    int64_t pitch = (width * 3 + 3) & ~int64_t(3);
    return pitch <= kMaxSampleBytes / height;
}

} // namespace comrt::media
