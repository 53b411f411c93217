#include "tools/morven-grab/GrabOptions.h"

#include <filesystem>
#include <string_view>

namespace grab {

const char* const kGrabUsage =
    "usage: morven-grab VIDEO [-o OUT] [--flip] [--raw OUT.bgr]\n"
    "  Creates MORVEN.CMORVENProc through COM, grabs the first frame of VIDEO and writes it\n"
    "  upright in true colours to OUT, in the format its extension names: .png, .jpg or\n"
    "  .jpeg, .bmp, .ppm (default: the video's base name with .png, in the current directory)\n"
    "  --flip         ask the component for top-first rows (the image written is the same)\n"
    "  --raw OUT.bgr  also write the pixel buffer exactly as Grab hands it out\n"
    "exit codes: 0 success, 1 bad arguments, 2 class not registered or not creatable,\n"
    "            3 video not opened, 4 no frame delivered, 5 output not written\n";

bool parseGrabOptions(int argc, char** argv, GrabOptions& options, std::string& error)
{
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        auto value = [&](std::string& into) {
            if (i + 1 >= argc) {
                error = std::string(arg) + " needs a file name";
                return false;
            }
            into = argv[++i];
            return true;
        };
        if (arg == "-h" || arg == "--help") {
            options.help = true;
        } else if (arg == "--flip") {
            options.flip = true;
        } else if (arg == "-o" || arg == "--output") {
            if (!value(options.output))
                return false;
        } else if (arg == "--raw") {
            if (!value(options.raw))
                return false;
        } else if (arg.size() > 1 && arg[0] == '-') {
            error = "unknown option " + std::string(arg);
            return false;
        } else if (!options.video.empty()) {
            error = "only one video can be given";
            return false;
        } else {
            options.video = arg;
        }
    }
    if (options.help)
        return true;
    if (options.video.empty()) {
        error = "no video given";
        return false;
    }
    if (options.output.empty())
        options.output = defaultOutputFor(options.video);
    return true;
}

std::string defaultOutputFor(const std::string& video)
{
    std::filesystem::path name = std::filesystem::path(video).filename();
    // A video that already ends in .png keeps its extension, so the image never replaces it.
    std::string extension = name.extension().string();
    for (char& c : extension)
        c = static_cast<char>(c | 0x20);
    if (extension == ".png")
        name += ".png";
    else
        name.replace_extension(".png");
    return name.string();
}

} // namespace grab
