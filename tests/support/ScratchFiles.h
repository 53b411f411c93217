// Scratch directories and whole-file helpers for the tests of every piece.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace testkit {

// A fresh directory, removed with everything in it when the object goes.
// Memory storage (/dev/shm where it is writable) suits files written by the
// thousand or synced on every call; disk storage (the system's temporary
// directory) suits media, which may be large.
class ScratchDirectory {
public:
    enum class Storage { Disk, Memory };

    explicit ScratchDirectory(const std::string& prefix = "morven-test", Storage storage = Storage::Disk);
    ~ScratchDirectory();
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;

    const std::string& path() const { return m_path; }
    // path()/name
    std::string file(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

// A whole file's bytes, and a file made of bytes; both throw std::runtime_error on failure.
std::vector<uint8_t> readWholeFile(const std::string& path);
void writeWholeFile(const std::string& path, const uint8_t* data, size_t size);
void writeWholeFile(const std::string& path, const std::vector<uint8_t>& bytes);
void writeWholeFile(const std::string& path, const std::string& text);

// The lines of a text file (none when it does not exist).
std::vector<std::string> readLines(const std::string& path);

} // namespace testkit
