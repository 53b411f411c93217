#include "platform/linux/media/MediaFile.h"

#include "platform/linux/media/ContainerSignatures.h"
#include "platform/linux/media/ImageSequences.h"
#include "platform/linux/media/LocalFiles.h"
#include "platform/linux/media/MediaCommon.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/mem.h>
}

#include <algorithm>
#include <unistd.h>

namespace comrt::media {

namespace {

// Demuxers whose purpose is to fetch other resources (playlists, session
// descriptions, lists of files). Refusing their nested opens already stops
// them; naming them keeps them from being chosen at all. (The image demuxer
// reads a single image through our own descriptor; numbered sequences are
// opened apart.)
const char* const kRefusedDemuxers[] = {"hls", "applehttp", "concat", "dash", "sdp", "rtsp", "rtp", "sap", "imf"};

bool isRefusedDemuxer(const AVInputFormat* fmt)
{
    // A demuxer's name may list several, comma-separated.
    std::string names = fmt->name ? fmt->name : "";
    size_t start = 0;
    while (start <= names.size()) {
        size_t end = names.find(',', start);
        if (end == std::string::npos)
            end = names.size();
        std::string one = names.substr(start, end - start);
        for (const char* refused : kRefusedDemuxers)
            if (one == refused)
                return true;
        start = end + 1;
    }
    return false;
}

// A demuxer asking to open anything besides the file itself is refused.
int refuseNestedOpen(AVFormatContext*, AVIOContext**, const char*, int, AVDictionary**)
{
    return AVERROR(EPERM);
}

HRESULT fromOpenError(int ret)
{
    if (ret == AVERROR(ENOMEM))
        return E_OUTOFMEMORY;
    if (ret == AVERROR(EIO))
        return HRESULT_FROM_WIN32(ERROR_READ_FAULT);
    return VFW_E_INVALID_FILE_FORMAT;
}

// The video stream FFmpeg's command line takes by default: the largest
// picture, a stream with packets seen or marked default before others of
// its size, an attached picture (cover art) last; -1 when there is none.
int defaultVideoStream(const AVFormatContext& ctx)
{
    int best = -1;
    int64_t bestScore = -1;
    for (unsigned i = 0; i < ctx.nb_streams; ++i) {
        const AVStream* st = ctx.streams[i];
        if (st->codecpar->codec_type != AVMEDIA_TYPE_VIDEO)
            continue;
        int64_t score = int64_t(st->codecpar->width) * st->codecpar->height +
                        100000000 * ((st->event_flags & AVSTREAM_EVENT_FLAG_NEW_PACKETS) != 0) +
                        5000000 * ((st->disposition & AV_DISPOSITION_DEFAULT) != 0);
        if (st->disposition & AV_DISPOSITION_ATTACHED_PIC)
            score = 1;
        if (score > bestScore) {
            best = int(i);
            bestScore = score;
        }
    }
    return best;
}

} // namespace

bool utf16ToUtf8(const std::u16string& in, std::string& out)
{
    out.clear();
    out.reserve(in.size());
    for (size_t i = 0; i < in.size(); ++i) {
        uint32_t cp = in[i];
        if (cp >= 0xD800 && cp <= 0xDBFF) {
            if (i + 1 >= in.size() || in[i + 1] < 0xDC00 || in[i + 1] > 0xDFFF)
                return false;
            cp = 0x10000 + ((cp - 0xD800) << 10) + (in[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xDC00 && cp <= 0xDFFF) {
            return false;
        }
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    return true;
}

MediaFile::~MediaFile()
{
    closeDemuxer();
    if (m_fd >= 0)
        ::close(m_fd);
}

HRESULT MediaFile::open(const std::u16string& path)
{
    if (m_fd >= 0 || m_format)
        return E_UNEXPECTED;
    if (path.empty())
        return HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
    if (!utf16ToUtf8(path, m_url))
        return HRESULT_FROM_WIN32(ERROR_INVALID_NAME);

    int64_t size = 0;
    HRESULT hr = openRegularFile(m_url, m_fd, size);
    // A path that names no file may name numbered images.
    if (hr == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) && isImageSequencePattern(m_url)) {
        m_imagesByName = true;
        hr = openDemuxer();
        return hr == VFW_E_INVALID_FILE_FORMAT ? HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) : hr;
    }
    if (FAILED(hr))
        return hr;
    if (size == 0)
        return VFW_E_UNKNOWN_FILE_TYPE;
    return openDemuxer();
}

HRESULT MediaFile::openDemuxer()
{
    const AVInputFormat* fmt = nullptr;
    if (m_fd < 0) {
        fmt = av_find_input_format("image2");
        if (!fmt)
            return VFW_E_UNKNOWN_FILE_TYPE;
    } else {
        if (lseek(m_fd, 0, SEEK_SET) != 0)
            return HRESULT_FROM_WIN32(ERROR_READ_FAULT);
        m_io = makeFileReader(&m_fd);
        if (!m_io)
            return E_OUTOFMEMORY;
        uint8_t head[kSignatureBytes];
        const ssize_t got = pread(m_fd, head, sizeof head, 0);
        fmt = got > 0 ? demuxerBySignature(head, size_t(got)) : nullptr;
        int ret = fmt ? 0 : av_probe_input_buffer2(m_io, &fmt, m_url.c_str(), nullptr, 0, 0);
        if (ret < 0 || !fmt) {
            if (ret == AVERROR(ENOMEM))
                return E_OUTOFMEMORY;
            if (ret == AVERROR(EIO))
                return HRESULT_FROM_WIN32(ERROR_READ_FAULT);
            return VFW_E_UNKNOWN_FILE_TYPE;
        }
        if (isRefusedDemuxer(fmt))
            return VFW_E_UNKNOWN_FILE_TYPE;
        // The image demuxer opens its file by name, whatever it is given.
        m_imagesByName = (fmt->flags & AVFMT_NOFILE) != 0;
    }

    AVFormatContext* ctx = avformat_alloc_context();
    if (!ctx)
        return E_OUTOFMEMORY;
    if (m_imagesByName) {
        ctx->io_open = openNamedImage;
        ctx->io_close2 = closeNamedImage;
    } else {
        ctx->pb = m_io;
        ctx->io_open = refuseNestedOpen;
    }
    ctx->protocol_whitelist = av_strdup("file");
    if (!ctx->protocol_whitelist) {
        avformat_free_context(ctx);
        return E_OUTOFMEMORY;
    }
    int ret = avformat_open_input(&ctx, m_url.c_str(), fmt, nullptr);
    if (ret < 0)
        return fromOpenError(ret); // the context is freed; the I/O context is ours
    m_format = ctx;

    // The container's header is enough for the common formats; probing the
    // streams costs a decode, so it is only done when the header leaves the
    // picture's codec or size open (elementary streams, transport streams).
    m_stream = defaultVideoStream(*ctx);
    bool incomplete = ctx->nb_streams == 0;
    if (m_stream >= 0) {
        const AVCodecParameters* par = ctx->streams[m_stream]->codecpar;
        incomplete = par->codec_id == AV_CODEC_ID_NONE || par->width <= 0 || par->height <= 0;
    } else if (ctx->ctx_flags & AVFMTCTX_NOHEADER) {
        incomplete = true;
    }
    if (incomplete) {
        ret = avformat_find_stream_info(ctx, nullptr);
        if (ret == AVERROR(ENOMEM))
            return E_OUTOFMEMORY;
        m_stream = defaultVideoStream(*ctx);
    }
    if (ctx->nb_streams == 0)
        return VFW_E_INVALID_FILE_FORMAT;
    if (m_stream < 0)
        m_stream = 0;
    // Only the chosen stream is demuxed.
    for (unsigned i = 0; i < ctx->nb_streams; ++i)
        ctx->streams[i]->discard = int(i) == m_stream ? AVDISCARD_DEFAULT : AVDISCARD_ALL;
    return S_OK;
}

void MediaFile::closeDemuxer()
{
    if (m_format)
        avformat_close_input(&m_format);
    freeFileReader(m_io);
    m_stream = -1;
}

HRESULT MediaFile::rewind()
{
    if (!m_format)
        return E_UNEXPECTED;
    AVStream* st = stream();
    int64_t start = st && st->start_time != AV_NOPTS_VALUE ? st->start_time : 0;
    if (st && av_seek_frame(m_format, m_stream, start, AVSEEK_FLAG_BACKWARD) >= 0)
        return S_OK;
    // Formats that cannot seek are read again from the top.
    int stream = m_stream;
    closeDemuxer();
    HRESULT hr = openDemuxer();
    if (SUCCEEDED(hr) && m_stream != stream)
        hr = VFW_E_INVALID_FILE_FORMAT;
    return hr;
}

AVStream* MediaFile::stream() const
{
    if (!m_format || m_stream < 0 || unsigned(m_stream) >= m_format->nb_streams)
        return nullptr;
    return m_format->streams[m_stream];
}

bool MediaFile::isVideo() const
{
    AVStream* st = stream();
    return st && st->codecpar->codec_type == AVMEDIA_TYPE_VIDEO;
}

REFERENCE_TIME MediaFile::duration() const
{
    if (!m_format)
        return 0;
    if (m_format->duration != AV_NOPTS_VALUE && m_format->duration > 0)
        return av_rescale(m_format->duration, 10000000, AV_TIME_BASE);
    // Without probing the streams, the container's total may be unset; the
    // streams' own headers usually say.
    REFERENCE_TIME longest = 0;
    for (unsigned i = 0; i < m_format->nb_streams; ++i) {
        const AVStream* st = m_format->streams[i];
        if (st->duration != AV_NOPTS_VALUE && st->duration > 0)
            longest = std::max(longest, REFERENCE_TIME(av_rescale_q(st->duration, st->time_base, {1, 10000000})));
    }
    return longest;
}

} // namespace comrt::media
