#include "platform/linux/media/ContainerSignatures.h"

extern "C" {
#include <libavformat/avformat.h>
}

#include <algorithm>
#include <bit>
#include <cstring>
#include <string_view>

namespace comrt::media {

namespace {

bool bytesAt(const uint8_t* head, size_t size, size_t at, std::string_view bytes)
{
    return at + bytes.size() <= size && std::memcmp(head + at, bytes.data(), bytes.size()) == 0;
}

// An ISO or QuickTime file that opens with its file-type box, with a major
// brand that phones, cameras and editors write for video. (Some brands of
// the same box belong to image formats, which other demuxers take.)
bool isVideoFileTypeBox(const uint8_t* head, size_t size)
{
    static const std::string_view kVideoBrands[] = {
        "isom", "iso2", "iso3", "iso4", "iso5", "iso6", "mp41", "mp42", "avc1", "qt  ", "M4V ", "M4VH",
        "M4VP", "3gp4", "3gp5", "3gp6", "3g2a", "3g2b", "3g2c", "mmp4", "MSNV", "XAVC", "f4v ", "dash",
    };
    if (!bytesAt(head, size, 4, "ftyp") || size < 12)
        return false;
    const std::string_view brand(reinterpret_cast<const char*>(head + 8), 4);
    return std::find(std::begin(kVideoBrands), std::end(kVideoBrands), brand) != std::end(kVideoBrands);
}

bool isAvi(const uint8_t* head, size_t size)
{
    return bytesAt(head, size, 0, "RIFF") && bytesAt(head, size, 8, "AVI ");
}

// An EBML header, whole within `head`, whose document type is Matroska's or
// WebM's.
bool isMatroska(const uint8_t* head, size_t size)
{
    if (!bytesAt(head, size, 0, "\x1A\x45\xDF\xA3") || size < 5 || head[4] == 0)
        return false;
    // The header's length, a variable-length number: as many bytes as the
    // first byte has leading zeros plus one, that marker bit left out.
    const int lengthBytes = 1 + std::countl_zero(head[4]);
    if (size_t(4 + lengthBytes) > size)
        return false;
    uint64_t length = head[4] & (0xFF >> lengthBytes);
    for (int i = 1; i < lengthBytes; ++i)
        length = length << 8 | head[4 + i];
    const size_t start = 4 + lengthBytes;
    if (length > size - start)
        return false;
    const std::string_view header(reinterpret_cast<const char*>(head + start), length);
    return header.find("matroska") != std::string_view::npos || header.find("webm") != std::string_view::npos;
}

} // namespace

const AVInputFormat* demuxerBySignature(const uint8_t* head, size_t size)
{
    static const AVInputFormat* const mov = av_find_input_format("mov");
    static const AVInputFormat* const avi = av_find_input_format("avi");
    static const AVInputFormat* const matroska = av_find_input_format("matroska");
    if (isVideoFileTypeBox(head, size))
        return mov;
    if (isAvi(head, size))
        return avi;
    if (isMatroska(head, size))
        return matroska;
    return nullptr;
}

} // namespace comrt::media
