// Command line of morven-grab.
#pragma once

#include <string>

namespace grab {

struct GrabOptions {
    std::string video;
    std::string output; // image file; its extension picks the format
    std::string raw;    // the frame exactly as handed out, or empty
    bool flip = false;  // ask the component for top-first rows
    bool help = false;
};

// Parses argv; on a bad command line returns false with the reason in `error`.
bool parseGrabOptions(int argc, char** argv, GrabOptions& options, std::string& error);

// The default image name: the video's file name with ".png", in the current directory.
std::string defaultOutputFor(const std::string& video);

extern const char* const kGrabUsage;

} // namespace grab
