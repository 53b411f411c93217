#include "tools/morven-grab/ImageFiles.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace grab {

namespace {

void putLe16(std::vector<std::uint8_t>& out, std::uint32_t v)
{
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void putLe32(std::vector<std::uint8_t>& out, std::uint32_t v)
{
    putLe16(out, v & 0xFFFF);
    putLe16(out, v >> 16);
}

void putBe32(std::vector<std::uint8_t>& out, std::uint32_t v)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<std::uint8_t>(v >> shift));
}

bool writeFile(const std::string& path, const std::vector<std::uint8_t>& bytes, std::string& error)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        error = "cannot create " + path + ": " + std::strerror(errno);
        return false;
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed) {
        error = "cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

std::uint32_t crc32(const std::uint8_t* data, std::size_t size, std::uint32_t crc = 0)
{
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    crc = ~crc;
    for (std::size_t i = 0; i < size; ++i)
        crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

void putPngChunk(std::vector<std::uint8_t>& out, const char type[4], const std::vector<std::uint8_t>& data)
{
    putBe32(out, static_cast<std::uint32_t>(data.size()));
    const std::size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    putBe32(out, crc32(out.data() + start, out.size() - start));
}

// A zlib stream of stored (uncompressed) deflate blocks.
std::vector<std::uint8_t> zlibStored(const std::vector<std::uint8_t>& data)
{
    std::vector<std::uint8_t> out{0x78, 0x01};
    std::size_t at = 0;
    do {
        const std::size_t length = std::min<std::size_t>(data.size() - at, 65535);
        out.push_back(at + length == data.size() ? 1 : 0);
        putLe16(out, static_cast<std::uint32_t>(length));
        putLe16(out, static_cast<std::uint32_t>(~length & 0xFFFF));
        out.insert(out.end(), data.begin() + static_cast<std::ptrdiff_t>(at),
                   data.begin() + static_cast<std::ptrdiff_t>(at + length));
        at += length;
    } while (at < data.size());
    std::uint32_t a = 1, b = 0;
    for (std::uint8_t byte : data) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    putBe32(out, (b << 16) | a);
    return out;
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
    return ImageFormat::Other;
}

bool writeBmp(const BgrImage& image, const std::string& path, std::string& error)
{
    const std::uint32_t rowBytes = static_cast<std::uint32_t>(image.width) * 3;
    const std::uint32_t pitch = (rowBytes + 3) & ~3u;
    const std::uint32_t pixelBytes = pitch * static_cast<std::uint32_t>(image.height);
    std::vector<std::uint8_t> out;
    out.reserve(54 + pixelBytes);
    out.push_back('B');
    out.push_back('M');
    putLe32(out, 54 + pixelBytes);
    putLe32(out, 0);
    putLe32(out, 54);
    // BITMAPINFOHEADER: bottom-up rows, 24 bits, no compression.
    putLe32(out, 40);
    putLe32(out, static_cast<std::uint32_t>(image.width));
    putLe32(out, static_cast<std::uint32_t>(image.height));
    putLe16(out, 1);
    putLe16(out, 24);
    putLe32(out, 0);
    putLe32(out, pixelBytes);
    putLe32(out, 2835); // 72 dpi
    putLe32(out, 2835);
    putLe32(out, 0);
    putLe32(out, 0);
    for (int row = image.height - 1; row >= 0; --row) {
        const std::uint8_t* source = image.pixels.data() + static_cast<std::size_t>(row) * rowBytes;
        out.insert(out.end(), source, source + rowBytes);
        out.insert(out.end(), pitch - rowBytes, 0);
    }
    return writeFile(path, out, error);
}

bool writePpm(const BgrImage& image, const std::string& path, std::string& error)
{
    const std::string header = "P6\n" + std::to_string(image.width) + " " + std::to_string(image.height) + "\n255\n";
    std::vector<std::uint8_t> out(header.begin(), header.end());
    out.reserve(header.size() + image.pixels.size());
    for (std::size_t i = 0; i + 2 < image.pixels.size(); i += 3) {
        out.push_back(image.pixels[i + 2]);
        out.push_back(image.pixels[i + 1]);
        out.push_back(image.pixels[i]);
    }
    return writeFile(path, out, error);
}

bool writePng(const BgrImage& image, const std::string& path, std::string& error)
{
    std::vector<std::uint8_t> header;
    putBe32(header, static_cast<std::uint32_t>(image.width));
    putBe32(header, static_cast<std::uint32_t>(image.height));
    header.insert(header.end(), {8, 2, 0, 0, 0}); // 8-bit RGB, no interlace
    // Each row: filter type 0, then R, G, B.
    const std::size_t rowBytes = static_cast<std::size_t>(image.width) * 3;
    std::vector<std::uint8_t> rows;
    rows.reserve((rowBytes + 1) * static_cast<std::size_t>(image.height));
    for (int row = 0; row < image.height; ++row) {
        rows.push_back(0);
        const std::uint8_t* p = image.pixels.data() + static_cast<std::size_t>(row) * rowBytes;
        for (std::size_t x = 0; x < rowBytes; x += 3) {
            rows.push_back(p[x + 2]);
            rows.push_back(p[x + 1]);
            rows.push_back(p[x]);
        }
    }
    std::vector<std::uint8_t> out{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    putPngChunk(out, "IHDR", header);
    putPngChunk(out, "IDAT", zlibStored(rows));
    putPngChunk(out, "IEND", {});
    return writeFile(path, out, error);
}

} // namespace grab
