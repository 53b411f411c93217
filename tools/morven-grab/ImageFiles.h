// Small writers for the image formats morven-grab handles without an image
// library: BMP, binary PPM and PNG (uncompressed deflate blocks).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace grab {

enum class ImageFormat { Bmp, Ppm, Png, Other };

// The format OUT's extension names, compared without regard to case.
ImageFormat imageFormatOf(const std::string& path);

// A picture of packed B, G, R bytes, top row first, width * 3 bytes a row.
struct BgrImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels;
};

// Each writes the whole file or reports why not in `error`.
bool writeBmp(const BgrImage& image, const std::string& path, std::string& error);
bool writePpm(const BgrImage& image, const std::string& path, std::string& error);
bool writePng(const BgrImage& image, const std::string& path, std::string& error);

} // namespace grab
