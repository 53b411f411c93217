// A local media file opened for demuxing. Only regular files are taken; the
// demuxer reads through our own descriptor and may open nothing else (no
// protocols, no other files, no devices), so no path can make the pipeline
// reach out over a network or block on a pipe. A path with a frame-number
// pattern that names no file is opened as numbered images, as FFmpeg's
// command line opens it; then only the images it names are read. Image
// files, which FFmpeg's image demuxer opens by name, are opened so too.
#pragma once

#include "platform/DirectShow.h"

#include <string>

struct AVFormatContext;
struct AVIOContext;
struct AVStream;

namespace comrt::media {

class MediaFile {
public:
    MediaFile() = default;
    ~MediaFile();
    MediaFile(const MediaFile&) = delete;
    MediaFile& operator=(const MediaFile&) = delete;

    // Opens the file and reads its container header. The platform's codes:
    // 0x80070002 missing file, 0x80070003 missing directory, 0x80070005
    // access denied or a directory, VFW_E_UNKNOWN_FILE_TYPE for what is not
    // a regular file or not a known format, VFW_E_INVALID_FILE_FORMAT for a
    // known format that cannot be read or holds no stream.
    HRESULT open(const std::u16string& path);
    // Back to the first packet, for another run.
    HRESULT rewind();

    AVFormatContext* format() const { return m_format; }
    // The stream the source's pin carries: the video stream FFmpeg's command
    // line would take, else the first stream; -1 when there is none.
    int streamIndex() const { return m_stream; }
    AVStream* stream() const;
    bool isVideo() const;
    // Duration in 100 ns units, 0 when unknown.
    REFERENCE_TIME duration() const;

private:
    HRESULT openDemuxer();
    void closeDemuxer();

    int m_fd = -1;
    bool m_imagesByName = false; // the demuxer opens image files itself (ImageSequences.h)
    std::string m_url;
    AVIOContext* m_io = nullptr;
    AVFormatContext* m_format = nullptr;
    int m_stream = -1;
};

// UTF-16 path to UTF-8; false for an unpaired surrogate.
bool utf16ToUtf8(const std::u16string& in, std::string& out);

} // namespace comrt::media
