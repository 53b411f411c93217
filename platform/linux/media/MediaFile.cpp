#include "platform/linux/media/MediaFile.h"

#include "platform/linux/media/MediaCommon.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/mem.h>
}

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace comrt::media {

namespace {

constexpr int kIoBufferSize = 32768;

#ifndef ERROR_TOO_MANY_OPEN_FILES
#define ERROR_TOO_MANY_OPEN_FILES 4L
#endif
#ifndef ERROR_FILENAME_EXCED_RANGE
#define ERROR_FILENAME_EXCED_RANGE 206L
#endif

// Demuxers whose purpose is to fetch other resources (playlists, session
// descriptions, lists of files). Refusing their nested opens already stops
// them; naming them keeps them from being chosen at all.
const char* const kRefusedDemuxers[] = {"hls", "applehttp", "concat", "dash", "sdp", "rtsp", "rtp", "sap", "imf", "image2"};

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

int readPacket(void* opaque, uint8_t* buf, int size)
{
    int fd = *static_cast<int*>(opaque);
    for (;;) {
        ssize_t n = ::read(fd, buf, static_cast<size_t>(size));
        if (n > 0)
            return static_cast<int>(n);
        if (n == 0)
            return AVERROR_EOF;
        if (errno != EINTR)
            return AVERROR(errno);
    }
}

int64_t seekFile(void* opaque, int64_t offset, int whence)
{
    int fd = *static_cast<int*>(opaque);
    if (whence & AVSEEK_SIZE) {
        struct stat st;
        return fstat(fd, &st) == 0 ? int64_t(st.st_size) : AVERROR(errno);
    }
    off_t pos = lseek(fd, static_cast<off_t>(offset), whence & ~AVSEEK_FORCE);
    return pos < 0 ? AVERROR(errno) : int64_t(pos);
}

// A demuxer asking to open anything besides the file itself is refused.
int refuseNestedOpen(AVFormatContext*, AVIOContext**, const char*, int, AVDictionary**)
{
    return AVERROR(EPERM);
}

HRESULT fromErrno(int err, const std::string& path)
{
    switch (err) {
    case ENOENT: {
        // A missing file in an existing directory, or a missing directory.
        size_t slash = path.find_last_of('/');
        std::string dir = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
        struct stat st;
        bool dirExists = stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
        return HRESULT_FROM_WIN32(dirExists ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND);
    }
    case ENOTDIR:
    case ELOOP:
        return HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
    case EACCES:
    case EPERM:
    case EISDIR:
        return E_ACCESSDENIED;
    case ENAMETOOLONG:
        return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
    case EMFILE:
    case ENFILE:
        return HRESULT_FROM_WIN32(ERROR_TOO_MANY_OPEN_FILES);
    case ENOMEM:
        return E_OUTOFMEMORY;
    case EIO:
        return HRESULT_FROM_WIN32(ERROR_READ_FAULT);
    case ENXIO:
    case ENODEV:
        return VFW_E_UNKNOWN_FILE_TYPE;
    default:
        return E_FAIL;
    }
}

// A path that names anything but a regular file is not opened at all
// (opening a device can have effects of its own).
HRESULT refuseNonRegular(const struct stat& st)
{
    if (S_ISREG(st.st_mode))
        return S_OK;
    if (S_ISDIR(st.st_mode))
        return E_ACCESSDENIED;
    return VFW_E_UNKNOWN_FILE_TYPE;
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
    if (m_fd >= 0)
        return E_UNEXPECTED;
    if (path.empty())
        return HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
    if (!utf16ToUtf8(path, m_url))
        return HRESULT_FROM_WIN32(ERROR_INVALID_NAME);

    struct stat st;
    if (stat(m_url.c_str(), &st) != 0)
        return fromErrno(errno, m_url);
    HRESULT hr = refuseNonRegular(st);
    if (FAILED(hr))
        return hr;
    // Non-blocking, so that a FIFO put in its place since the check cannot
    // hold the open; the check is repeated on what was opened.
    int fd = ::open(m_url.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return fromErrno(errno, m_url);
    if (fstat(fd, &st) != 0 || FAILED(hr = refuseNonRegular(st))) {
        ::close(fd);
        return FAILED(hr) ? hr : E_FAIL;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    m_fd = fd;
    if (st.st_size == 0)
        return VFW_E_UNKNOWN_FILE_TYPE;
    return openDemuxer();
}

HRESULT MediaFile::openDemuxer()
{
    if (lseek(m_fd, 0, SEEK_SET) != 0)
        return HRESULT_FROM_WIN32(ERROR_READ_FAULT);
    auto* buffer = static_cast<unsigned char*>(av_malloc(kIoBufferSize));
    if (!buffer)
        return E_OUTOFMEMORY;
    m_io = avio_alloc_context(buffer, kIoBufferSize, 0, &m_fd, readPacket, nullptr, seekFile);
    if (!m_io) {
        av_free(buffer);
        return E_OUTOFMEMORY;
    }

    const AVInputFormat* fmt = nullptr;
    int ret = av_probe_input_buffer2(m_io, &fmt, m_url.c_str(), nullptr, 0, 0);
    if (ret < 0 || !fmt) {
        if (ret == AVERROR(ENOMEM))
            return E_OUTOFMEMORY;
        if (ret == AVERROR(EIO))
            return HRESULT_FROM_WIN32(ERROR_READ_FAULT);
        return VFW_E_UNKNOWN_FILE_TYPE;
    }
    if (isRefusedDemuxer(fmt))
        return VFW_E_UNKNOWN_FILE_TYPE;

    AVFormatContext* ctx = avformat_alloc_context();
    if (!ctx)
        return E_OUTOFMEMORY;
    ctx->pb = m_io;
    ctx->io_open = refuseNestedOpen;
    ctx->protocol_whitelist = av_strdup("file");
    if (!ctx->protocol_whitelist) {
        avformat_free_context(ctx);
        return E_OUTOFMEMORY;
    }
    ret = avformat_open_input(&ctx, m_url.c_str(), fmt, nullptr);
    if (ret < 0) {
        // avformat_open_input freed the context; the I/O context is ours.
        if (ret == AVERROR(ENOMEM))
            return E_OUTOFMEMORY;
        if (ret == AVERROR(EIO))
            return HRESULT_FROM_WIN32(ERROR_READ_FAULT);
        return VFW_E_INVALID_FILE_FORMAT;
    }
    m_format = ctx;

    // The container's header is enough for the common formats; probing the
    // streams costs a decode, so it is only done when the header leaves the
    // picture's codec or size open (elementary streams, transport streams).
    m_stream = av_find_best_stream(ctx, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
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
        m_stream = av_find_best_stream(ctx, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
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
    if (m_io) {
        av_freep(&m_io->buffer);
        avio_context_free(&m_io);
    }
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
