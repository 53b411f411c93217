// Images that FFmpeg's image demuxer opens by name: a single image file, or
// numbered image files named by one printf-style pattern
// (`frames/img%04d.png`), read as one video the way FFmpeg's command line
// reads such a path, starting at the first number from 0 to 4 that exists.
// The demuxer may open only regular files: the path itself, or those the
// pattern names.
#pragma once

#include <string>

struct AVDictionary;
struct AVFormatContext;
struct AVIOContext;

namespace comrt::media {

// Whether `path` holds a frame-number pattern.
bool isImageSequencePattern(const std::string& path);

// The demuxer's io_open and io_close2; `s->url` is the path or the pattern.
int openNamedImage(AVFormatContext* s, AVIOContext** pb, const char* url, int flags, AVDictionary** options);
int closeNamedImage(AVFormatContext* s, AVIOContext* pb);

} // namespace comrt::media
