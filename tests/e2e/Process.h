// Runs a program as a separate process and collects what it printed.
#pragma once

#include <string>
#include <vector>

namespace e2e {

struct ProcessResult {
    int exitCode = -1; // the exit status, or -1 when the process did not exit normally
    std::string out;
    std::string err;

    // Both streams, for failure messages.
    std::string text() const { return "exit " + std::to_string(exitCode) + "\nstdout:\n" + out + "stderr:\n" + err; }
};

// Runs argv[0] (a path) with the given arguments in `workingDirectory` (empty: the
// current one), with this process's environment and `input` on standard input.
ProcessResult runProcess(const std::vector<std::string>& argv, const std::string& workingDirectory = {},
                         const std::string& input = {});

} // namespace e2e
