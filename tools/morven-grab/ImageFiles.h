// Image files morven-grab writes: the format an extension names, the frame as
// rows to write, the output file, and our own BMP and PPM writers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace grab {

enum class ImageFormat { Bmp, Ppm, Png, Jpeg, Unknown };

// The format OUT's extension names, compared without regard to case.
ImageFormat imageFormatOf(const std::string& path);

// A frame as Grab hands it out: 8-bit samples, 1, 3 or 4 channels (B, G, R, X),
// each row `pitch` bytes, the top or the bottom row first.
struct FrameView {
    const std::uint8_t* data = nullptr;
    int width = 0;
    int height = 0;
    int channels = 3;
    std::size_t pitch = 0;
    bool topFirst = false;

    // Row `y` of the upright picture, y = 0 being the top.
    const std::uint8_t* row(int y) const
    {
        const int stored = topFirst ? y : height - 1 - y;
        return data + static_cast<std::size_t>(stored) * pitch;
    }
};

// Packs row `y` of the upright picture into `out` as width * 3 bytes, in B, G, R
// order or, with `rgb`, R, G, B: a single channel is spread to grey, a fourth dropped.
void packRow(const FrameView& frame, int y, bool rgb, std::uint8_t* out);

// A file being written. Unless finish() succeeds, it is removed again when it is a
// regular file, so that a failed write leaves no truncated image behind.
class OutputFile {
public:
    OutputFile(const std::string& path, std::string& error);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    bool opened() const { return file_ != nullptr; }
    // Each reports the reason in the error string given to the constructor.
    bool write(const void* bytes, std::size_t size);
    bool finish();

private:
    bool fail(const char* what);

    std::string path_;
    std::string& error_;
    std::FILE* file_ = nullptr;
    bool regular_ = false;
};

// Each writes the whole file or reports why not in `error`.
bool writeBmp(const FrameView& frame, const std::string& path, std::string& error);
bool writePpm(const FrameView& frame, const std::string& path, std::string& error);

// Compressed formats, through the platform's image library.
bool writePng(const FrameView& frame, const std::string& path, std::string& error);
bool writeJpeg(const FrameView& frame, const std::string& path, std::string& error);

} // namespace grab
