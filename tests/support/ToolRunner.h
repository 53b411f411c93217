// Runs a command-line tool (ffmpeg, ffprobe) for the test-media makers.
#pragma once

#include <string>
#include <vector>

namespace testmedia {

// Runs argv[0] (looked up on PATH) with the arguments, without a shell.
// Returns its standard output when `captureStdout`, else "". A tool that
// cannot start or exits with a non-zero status throws std::runtime_error
// carrying the command line and what the tool wrote to standard error.
std::string runTool(const std::vector<std::string>& argv, bool captureStdout = false);

} // namespace testmedia
