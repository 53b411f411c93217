#include "platform/linux/media/LocalFiles.h"

extern "C" {
#include <libavformat/avio.h>
#include <libavutil/error.h>
#include <libavutil/mem.h>
}

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#ifndef ERROR_TOO_MANY_OPEN_FILES
#define ERROR_TOO_MANY_OPEN_FILES 4L
#endif
#ifndef ERROR_FILENAME_EXCED_RANGE
#define ERROR_FILENAME_EXCED_RANGE 206L
#endif

namespace comrt::media {

namespace {

constexpr int kIoBufferSize = 32768;

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

} // namespace

HRESULT openRegularFile(const std::string& path, int& fd, int64_t& size)
{
    fd = -1;
    struct stat st;
    if (stat(path.c_str(), &st) != 0)
        return fromErrno(errno, path);
    HRESULT hr = refuseNonRegular(st);
    if (FAILED(hr))
        return hr;
    // Non-blocking, so that a FIFO put in its place since the check cannot
    // hold the open; the check is repeated on what was opened.
    int opened = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (opened < 0)
        return fromErrno(errno, path);
    if (fstat(opened, &st) != 0 || FAILED(hr = refuseNonRegular(st))) {
        ::close(opened);
        return FAILED(hr) ? hr : E_FAIL;
    }
    fcntl(opened, F_SETFL, fcntl(opened, F_GETFL) & ~O_NONBLOCK);
    fd = opened;
    size = st.st_size;
    return S_OK;
}

AVIOContext* makeFileReader(int* fd)
{
    auto* buffer = static_cast<unsigned char*>(av_malloc(kIoBufferSize));
    if (!buffer)
        return nullptr;
    AVIOContext* reader = avio_alloc_context(buffer, kIoBufferSize, 0, fd, readPacket, nullptr, seekFile);
    if (!reader)
        av_free(buffer);
    return reader;
}

void freeFileReader(AVIOContext*& reader)
{
    if (reader) {
        av_freep(&reader->buffer);
        avio_context_free(&reader);
    }
}

} // namespace comrt::media
