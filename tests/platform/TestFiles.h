// Scratch files for the runtime's tests.
#pragma once

#include <string>
#include <vector>

// A fresh directory under the system's temporary directory, removed with everything in it.
class ScratchDirectory {
public:
    ScratchDirectory();
    ~ScratchDirectory();
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;

    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// The lines of a text file (none when it does not exist).
std::vector<std::string> readLines(const std::string& path);
void writeFile(const std::string& path, const std::string& content);
