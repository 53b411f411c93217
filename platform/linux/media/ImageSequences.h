// Numbered image files named by one printf-style pattern
// (`frames/img%04d.png`), read as one video the way FFmpeg's command line
// reads such a path: the image2 demuxer, starting at the first number from
// 0 to 4 that exists. The demuxer opens each image by name; it may open
// only regular files that the pattern names.
#pragma once

#include <string>

struct AVDictionary;
struct AVFormatContext;
struct AVIOContext;

namespace comrt::media {

// Whether `path` holds a frame-number pattern.
bool isImageSequencePattern(const std::string& path);

// The demuxer's io_open and io_close2 for a sequence; `s->url` is the pattern.
int openSequenceMember(AVFormatContext* s, AVIOContext** pb, const char* url, int flags, AVDictionary** options);
int closeSequenceMember(AVFormatContext* s, AVIOContext* pb);

} // namespace comrt::media
