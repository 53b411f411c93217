#include "platform/linux/media/ImageSequences.h"

#include "platform/linux/media/LocalFiles.h"

extern "C" {
#include <libavformat/avformat.h>
}

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <new>
#include <unistd.h>

namespace comrt::media {

namespace {

// Whether the pattern gives `name` for some frame number: each run of
// digits in the name is tried as that number.
bool patternNames(const char* pattern, const char* name)
{
    char expanded[1024];
    for (const char* p = name; *p; ++p) {
        if (!std::isdigit(static_cast<unsigned char>(*p)) || (p > name && std::isdigit(static_cast<unsigned char>(p[-1]))))
            continue;
        long number = std::strtol(p, nullptr, 10);
        if (number < 0 || number > 0x7FFFFFFF)
            continue;
        if (av_get_frame_filename(expanded, sizeof expanded, pattern, int(number)) == 0 &&
            std::strcmp(expanded, name) == 0)
            return true;
    }
    return false;
}

} // namespace

bool isImageSequencePattern(const std::string& path)
{
    return av_filename_number_test(path.c_str()) != 0;
}

int openNamedImage(AVFormatContext* s, AVIOContext** pb, const char* url, int flags, AVDictionary**)
{
    *pb = nullptr;
    if ((flags & AVIO_FLAG_WRITE) || !s->url || !url || (std::strcmp(s->url, url) != 0 && !patternNames(s->url, url)))
        return AVERROR(EPERM);
    auto* fd = new (std::nothrow) int(-1);
    if (!fd)
        return AVERROR(ENOMEM);
    int64_t size = 0;
    HRESULT hr = openRegularFile(url, *fd, size);
    if (FAILED(hr)) {
        delete fd;
        return hr == E_OUTOFMEMORY ? AVERROR(ENOMEM) : AVERROR(ENOENT);
    }
    *pb = makeFileReader(fd);
    if (!*pb) {
        ::close(*fd);
        delete fd;
        return AVERROR(ENOMEM);
    }
    return 0;
}

int closeNamedImage(AVFormatContext*, AVIOContext* pb)
{
    if (!pb)
        return 0;
    int* fd = static_cast<int*>(pb->opaque);
    freeFileReader(pb);
    if (fd) {
        ::close(*fd);
        delete fd;
    }
    return 0;
}

} // namespace comrt::media
