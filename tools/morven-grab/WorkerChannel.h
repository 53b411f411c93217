// What a batch and its worker processes say to each other over a pair of pipes:
// records of text fields, each field ended by a NUL byte (no path holds one).
//   batch to worker:   INPUT \0 OUTPUT \0          one file to grab
//   worker to batch:   CODE \0 REASON \0           first once: 0 ready, or 2 and why not;
//                                                  then one per file: an exit code and why
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace grab {

// Bytes as they arrive, cut into records of a fixed number of fields.
class RecordBuffer {
public:
    void append(const char* bytes, std::size_t size) { pending_.append(bytes, size); }
    // Takes the next whole record of `count` fields; false while it is incomplete.
    bool next(std::size_t count, std::vector<std::string>& fields);
    bool empty() const { return pending_.empty(); }

private:
    std::string pending_;
};

// The record's bytes.
std::string encodeRecord(const std::vector<std::string>& fields);

// Writes all of `bytes` to `fd`; false on any error (a closed pipe included).
bool writeAll(int fd, const std::string& bytes);

// A worker's standard error is a file in memory its batch made: after each file the
// worker reads what was said and empties it; after a crash the batch reads it.
// All it holds, emptied after.
std::string takeAll(int fd);

// Diagnostics as one line for a reason: lines joined by "; ", FFmpeg's
// "[context @ 0x...] " prefixes dropped, only the end of a long text kept.
std::string diagnosticsLine(const std::string& text);

// The file a worker writes an image into before it takes the image's name: hidden
// beside it, marked with the worker's process id, the format's extension kept.
std::string partialImagePath(const std::string& output, long pid);

} // namespace grab
