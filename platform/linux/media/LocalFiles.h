// Local files as the demuxers read them: regular files only, opened by us
// and read through our own descriptor, never through FFmpeg's protocols.
#pragma once

#include "platform/DirectShow.h"

#include <string>

struct AVIOContext;

namespace comrt::media {

// Opens `path` for reading if it names a regular file, without blocking on
// whatever else it may name (a FIFO, a device). The platform's codes:
// 0x80070002 missing file, 0x80070003 missing directory, 0x80070005 access
// denied or a directory, VFW_E_UNKNOWN_FILE_TYPE for anything but a regular
// file. `size` receives the file's size.
HRESULT openRegularFile(const std::string& path, int& fd, int64_t& size);

// An I/O context that reads and seeks the descriptor `*fd` (which must
// outlive it and which it does not close), or null.
AVIOContext* makeFileReader(int* fd);
// Frees a reader of makeFileReader and its buffer; null is fine.
void freeFileReader(AVIOContext*& reader);

} // namespace comrt::media
