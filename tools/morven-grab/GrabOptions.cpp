#include "tools/morven-grab/GrabOptions.h"

#include "tools/morven-grab/ImageFiles.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string_view>
#include <system_error>

namespace grab {

const char* const kGrabUsage =
    "usage: morven-grab VIDEO [-o OUT] [--flip] [--raw OUT.bgr]\n"
    "       morven-grab [-j N] [--timeout S] [--format F] [--flip] INPUT... [-o DIR/]\n"
    "  Creates MORVEN.CMORVENProc through COM, grabs the first frame of each video and\n"
    "  writes it upright in true colours.\n"
    "One video: the image goes to OUT, in the format its extension names: .png, .jpg or\n"
    "  .jpeg, .bmp, .ppm (default: the video's base name with .png, in the current directory)\n"
    "  --raw OUT.bgr  also write the pixel buffer exactly as Grab hands it out\n"
    "A batch (several inputs, a folder, -, or -o naming a folder): each INPUT is a video,\n"
    "  a folder (its files, sub-folders included, hidden ones left out) or - (a list of\n"
    "  paths on standard input, one per line); images go to DIR (default: the current\n"
    "  directory) named after the videos, sub-folders of a folder input kept\n"
    "  -j N           worker processes (default: one per core)\n"
    "  --timeout S    end a worker that takes longer than S seconds on one file (default 30)\n"
    "  --format F     png, jpg, bmp or ppm (default png; also a single video's default OUT)\n"
    "  -0, --null     the list on standard input is separated by NUL bytes\n"
    "  Progress is shown on a terminal; standard output gets a 'failed:' line per file\n"
    "  that gave no image and a closing 'summary:' line.\n"
    "  --flip         ask the component for top-first rows (the image written is the same)\n"
    "  --interactive  Windows: leave the component's message boxes to the user (by default\n"
    "                 each is answered OK, its caption and text written to standard error)\n"
    "exit codes: 0 success (in a batch: every file gave its image), 1 bad arguments,\n"
    "            2 class not registered or not creatable, 3 video not opened, 4 no frame\n"
    "            delivered, 5 output not written (a batch: its folder cannot be made),\n"
    "            6 a batch in which some files gave no image (each named on a 'failed:' line),\n"
    "            130 a batch interrupted\n";

namespace {

bool parseCount(std::string_view text, int& into)
{
    const std::string copy(text);
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(copy.c_str(), &end, 10);
    if (copy.empty() || *end != '\0' || errno != 0 || value < 1 || value > 1024)
        return false;
    into = static_cast<int>(value);
    return true;
}

bool parseSeconds(std::string_view text, double& into)
{
    const std::string copy(text);
    char* end = nullptr;
    errno = 0;
    const double value = std::strtod(copy.c_str(), &end);
    if (copy.empty() || *end != '\0' || errno != 0 || !std::isfinite(value) || value <= 0 || value > 86400)
        return false;
    into = value;
    return true;
}

bool endsWithSeparator(const std::string& path)
{
    return !path.empty() && (path.back() == '/' || path.back() == '\\');
}

bool isDirectory(const std::string& path)
{
    std::error_code ec;
    return std::filesystem::is_directory(path, ec);
}

} // namespace

std::string extensionForFormat(const std::string& format)
{
    if (format == "png" || format == "bmp" || format == "ppm")
        return "." + format;
    if (format == "jpg" || format == "jpeg")
        return ".jpg";
    return "";
}

bool parseGrabOptions(int argc, char** argv, GrabOptions& options, std::string& error)
{
    bool batchOption = false;
    bool endOfOptions = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        auto value = [&](std::string& into) {
            if (i + 1 >= argc) {
                error = std::string(arg) + " needs a value";
                return false;
            }
            into = argv[++i];
            return true;
        };
        std::string text;
        if (endOfOptions || arg == "-" || arg.empty() || arg[0] != '-') {
            options.inputs.emplace_back(arg);
        } else if (arg == "--") {
            endOfOptions = true;
        } else if (arg == "-h" || arg == "--help") {
            options.help = true;
        } else if (arg == "--flip") {
            options.flip = true;
        } else if (arg == "--interactive") {
            options.interactive = true;
        } else if (arg == "--worker") {
            options.worker = true;
        } else if (arg == "-0" || arg == "--null") {
            options.nullSeparated = true;
        } else if (arg == "-o" || arg == "--output") {
            if (!value(options.output))
                return false;
        } else if (arg == "--raw") {
            if (!value(options.raw))
                return false;
        } else if (arg == "--format") {
            if (!value(options.format))
                return false;
            if (extensionForFormat(options.format).empty()) {
                error = "unknown format " + options.format + " (use png, jpg, bmp or ppm)";
                return false;
            }
        } else if (arg == "-j" || arg == "--jobs") {
            if (!value(text))
                return false;
            if (!parseCount(text, options.jobs)) {
                error = "-j needs a number of workers from 1 to 1024, not " + text;
                return false;
            }
            batchOption = true;
        } else if (arg.size() > 2 && arg.substr(0, 2) == "-j" && arg[2] >= '0' && arg[2] <= '9') {
            if (!parseCount(arg.substr(2), options.jobs)) {
                error = "-j needs a number of workers from 1 to 1024, not " + std::string(arg.substr(2));
                return false;
            }
            batchOption = true;
        } else if (arg == "--timeout") {
            if (!value(text))
                return false;
            if (!parseSeconds(text, options.timeoutSeconds)) {
                error = "--timeout needs a number of seconds above 0, not " + text;
                return false;
            }
            batchOption = true;
        } else {
            error = "unknown option " + std::string(arg);
            return false;
        }
    }
    if (options.help || options.worker)
        return true;
    if (options.inputs.empty()) {
        error = "no video given";
        return false;
    }

    options.batch = batchOption || options.inputs.size() > 1 || endsWithSeparator(options.output) ||
                    (!options.output.empty() && isDirectory(options.output));
    for (const std::string& input : options.inputs)
        options.batch = options.batch || input == "-" || isDirectory(input);

    if (options.batch) {
        if (!options.raw.empty()) {
            error = "--raw is for a single video";
            return false;
        }
        // A batch writes into a folder: -o naming an image file is a slip, not a folder to make.
        if (!endsWithSeparator(options.output) && !isDirectory(options.output) &&
            imageFormatOf(options.output) != ImageFormat::Unknown) {
            error = "a batch writes its images into a folder, but " + options.output +
                    " names an image file (end a folder's name with /)";
            return false;
        }
        if (options.output.empty())
            options.output = ".";
        if (options.format.empty())
            options.format = "png";
        return true;
    }

    if (options.output.empty()) {
        options.output =
            defaultOutputFor(options.video(), options.format.empty() ? ".png" : extensionForFormat(options.format));
    } else if (!options.format.empty() &&
               imageFormatOf(options.output) != imageFormatOf("x" + extensionForFormat(options.format))) {
        error = "--format " + options.format + " does not match " + options.output;
        return false;
    }
    return true;
}

std::string imageNameFor(const std::string& fileName, const std::string& extension)
{
    // A file that already has the image's extension keeps it, so the image never replaces it.
    if (imageFormatOf(fileName) == imageFormatOf("x" + extension))
        return fileName + extension;
    std::filesystem::path name(fileName);
    name.replace_extension(extension);
    return name.string();
}

std::string defaultOutputFor(const std::string& video, const std::string& extension)
{
    return imageNameFor(std::filesystem::path(video).filename().string(), extension);
}

} // namespace grab
