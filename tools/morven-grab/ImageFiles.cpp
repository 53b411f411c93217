#include "tools/morven-grab/ImageFiles.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <vector>

namespace grab {

namespace {

void putLe16(std::uint8_t*& out, std::uint32_t v)
{
    *out++ = static_cast<std::uint8_t>(v);
    *out++ = static_cast<std::uint8_t>(v >> 8);
}

void putLe32(std::uint8_t*& out, std::uint32_t v)
{
    putLe16(out, v & 0xFFFF);
    putLe16(out, v >> 16);
}

std::string lowerExtension(const std::string& path)
{
    const std::size_t dot = path.find_last_of('.');
    const std::size_t separator = path.find_last_of("/\\");
    if (dot == std::string::npos || (separator != std::string::npos && dot < separator))
        return "";
    std::string extension = path.substr(dot);
    for (char& c : extension)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return extension;
}

} // namespace

ImageFormat imageFormatOf(const std::string& path)
{
    const std::string extension = lowerExtension(path);
    if (extension == ".bmp" || extension == ".dib")
        return ImageFormat::Bmp;
    if (extension == ".ppm" || extension == ".pnm")
        return ImageFormat::Ppm;
    if (extension == ".png")
        return ImageFormat::Png;
    if (extension == ".jpg" || extension == ".jpeg" || extension == ".jpe")
        return ImageFormat::Jpeg;
    return ImageFormat::Unknown;
}

void packRow(const FrameView& frame, int y, bool rgb, std::uint8_t* out)
{
    const std::uint8_t* in = frame.row(y);
    if (frame.channels == 1) {
        for (int x = 0; x < frame.width; ++x, out += 3)
            out[0] = out[1] = out[2] = in[x];
        return;
    }
    const int first = rgb ? 2 : 0;
    const int last = 2 - first;
    for (int x = 0; x < frame.width; ++x, in += frame.channels, out += 3) {
        out[0] = in[first];
        out[1] = in[1];
        out[2] = in[last];
    }
}

OutputFile::OutputFile(const std::string& path, std::string& error) : path_(path), error_(error)
{
    file_ = std::fopen(path.c_str(), "wb");
    if (!file_) {
        fail("cannot create");
        return;
    }
    struct stat info {};
    regular_ = fstat(fileno(file_), &info) == 0 && S_ISREG(info.st_mode);
}

OutputFile::~OutputFile()
{
    if (file_) {
        std::fclose(file_);
        if (regular_)
            std::remove(path_.c_str());
    }
}

bool OutputFile::fail(const char* what)
{
    error_ = std::string(what) + " " + path_ + ": " + std::strerror(errno);
    return false;
}

bool OutputFile::write(const void* bytes, std::size_t size)
{
    if (!file_)
        return false;
    errno = 0;
    return std::fwrite(bytes, 1, size, file_) == size || fail("cannot write");
}

bool OutputFile::finish()
{
    if (!file_)
        return false;
    errno = 0;
    const bool flushed = std::fflush(file_) == 0;
    if (!flushed) {
        fail("cannot write");
        return false; // the destructor closes and removes it
    }
    std::FILE* file = file_;
    file_ = nullptr;
    if (std::fclose(file) != 0) {
        fail("cannot write");
        if (regular_)
            std::remove(path_.c_str());
        return false;
    }
    return true;
}

bool writeBmp(const FrameView& frame, const std::string& path, std::string& error)
{
    const std::uint32_t rowBytes = static_cast<std::uint32_t>(frame.width) * 3;
    const std::uint32_t pitch = (rowBytes + 3) & ~3u;
    const std::uint32_t pixelBytes = pitch * static_cast<std::uint32_t>(frame.height);
    std::uint8_t header[54] = {'B', 'M'};
    std::uint8_t* out = header + 2;
    putLe32(out, 54 + pixelBytes);
    putLe32(out, 0);
    putLe32(out, 54);
    // BITMAPINFOHEADER: bottom-up rows, 24 bits, no compression.
    putLe32(out, 40);
    putLe32(out, static_cast<std::uint32_t>(frame.width));
    putLe32(out, static_cast<std::uint32_t>(frame.height));
    putLe16(out, 1);
    putLe16(out, 24);
    putLe32(out, 0);
    putLe32(out, pixelBytes);
    putLe32(out, 2835); // 72 dpi
    putLe32(out, 2835);
    putLe32(out, 0);
    putLe32(out, 0);

    OutputFile file(path, error);
    if (!file.write(header, sizeof header))
        return false;
    // Row by row, so that no second copy of the picture is ever held.
    std::vector<std::uint8_t> row(pitch, 0);
    for (int y = frame.height - 1; y >= 0; --y) {
        if (frame.channels == 3)
            std::memcpy(row.data(), frame.row(y), rowBytes);
        else
            packRow(frame, y, false, row.data());
        if (!file.write(row.data(), pitch))
            return false;
    }
    return file.finish();
}

bool writePpm(const FrameView& frame, const std::string& path, std::string& error)
{
    const std::string header = "P6\n" + std::to_string(frame.width) + " " + std::to_string(frame.height) + "\n255\n";
    OutputFile file(path, error);
    if (!file.write(header.data(), header.size()))
        return false;
    std::vector<std::uint8_t> row(static_cast<std::size_t>(frame.width) * 3);
    for (int y = 0; y < frame.height; ++y) {
        packRow(frame, y, true, row.data());
        if (!file.write(row.data(), row.size()))
            return false;
    }
    return file.finish();
}

} // namespace grab
