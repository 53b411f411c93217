#include "platform/linux/media/KeyPackets.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace comrt::media {

namespace {

constexpr int kH264IdrSlice = 5;

bool isH264Idr(int nalHeader)
{
    return (nalHeader & 0x1F) == kH264IdrSlice;
}

// Length-prefixed NAL units, as MP4 and Matroska store them.
bool lengthPrefixedHasIdr(const uint8_t* data, int size, int lengthSize)
{
    int at = 0;
    while (at + lengthSize < size) {
        uint32_t length = 0;
        for (int i = 0; i < lengthSize; ++i)
            length = (length << 8) | data[at + i];
        at += lengthSize;
        if (length == 0 || length > uint32_t(size - at))
            return false;
        if (isH264Idr(data[at]))
            return true;
        at += int(length);
    }
    return false;
}

// NAL units after start codes (00 00 01), as transport streams carry them.
bool startCodedHasIdr(const uint8_t* data, int size)
{
    for (int i = 0; i + 3 < size; ++i)
        if (data[i] == 0 && data[i + 1] == 0 && data[i + 2] == 1) {
            if (isH264Idr(data[i + 3]))
                return true;
            i += 2;
        }
    return false;
}

bool h264HasIdr(const AVCodecParameters& stream, const AVPacket& packet)
{
    // An avcC record (version 1) says how many bytes each length takes.
    if (stream.extradata && stream.extradata_size >= 7 && stream.extradata[0] == 1)
        return lengthPrefixedHasIdr(packet.data, packet.size, (stream.extradata[4] & 3) + 1);
    return startCodedHasIdr(packet.data, packet.size);
}

} // namespace

bool showsFirstWhenDecodedFirst(const AVCodecParameters& stream, const AVPacket& packet)
{
    if (!(packet.flags & AV_PKT_FLAG_KEY) || (packet.flags & AV_PKT_FLAG_DISCARD) || !packet.data || packet.size <= 0)
        return false;
    switch (stream.codec_id) {
    case AV_CODEC_ID_H264:
        return h264HasIdr(stream, packet);
    case AV_CODEC_ID_MPEG4:
        return true;
    default:
        return false;
    }
}

} // namespace comrt::media
