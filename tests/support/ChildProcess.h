// Running a program as a child process with its input given and its output captured.
#pragma once

#include <string>
#include <vector>

namespace testkit {

struct ProcessResult {
    int exitCode = -1; // 128 + the signal when the process was killed
    std::string out;
    std::string err;
};

// Runs argv[0] (a path) with `input` on its standard input (closed afterwards).
ProcessResult runProcess(const std::vector<std::string>& argv, const std::string& input = {});

} // namespace testkit
