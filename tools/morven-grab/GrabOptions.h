// Command line of morven-grab: one video to one image, or a batch of videos into a folder.
#pragma once

#include <string>
#include <vector>

namespace grab {

struct GrabOptions {
    std::vector<std::string> inputs; // videos, folders, "-" (a list on standard input)
    std::string output;              // single: the image file; batch: the folder
    std::string raw;                 // single: the frame exactly as handed out, or empty
    std::string format;              // "png", "jpg", "bmp", "ppm", or empty: from -o or png
    bool flip = false;               // ask the component for top-first rows
    bool interactive = false;        // leave the component's message boxes to the user (Windows)
    bool nullSeparated = false;      // the list on standard input is separated by NUL bytes
    bool help = false;
    bool batch = false;              // decided by parseGrabOptions
    bool worker = false;             // internal: a batch's worker process
    int jobs = 0;                    // batch: worker processes; 0: one per core
    double timeoutSeconds = 30;      // batch: the most one file may take

    // Single mode: the one video.
    const std::string& video() const { return inputs.front(); }
};

// Parses argv; on a bad command line returns false with the reason in `error`.
// Batch mode is chosen by several inputs, a folder or "-" among them, an output
// that names a folder (ends in a slash or exists as one), or -j / --timeout.
bool parseGrabOptions(int argc, char** argv, GrabOptions& options, std::string& error);

// The image file name for a video's file name: its extension replaced by `extension`
// (".png" ...), or `extension` added where the video already has an image's extension.
std::string imageNameFor(const std::string& fileName, const std::string& extension);

// The default image name: imageNameFor the video's file name, in the current directory.
std::string defaultOutputFor(const std::string& video, const std::string& extension = ".png");

// The file name extension of a --format value (".png", ".jpg", ".bmp", ".ppm"), or "".
std::string extensionForFormat(const std::string& format);

extern const char* const kGrabUsage;

} // namespace grab
