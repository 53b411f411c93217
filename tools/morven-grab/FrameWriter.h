// Writes a frame handed out by Grab: as an upright image file, or byte for byte.
#pragma once

#include "capture/MORVEN.h"

#include <cstddef>
#include <string>

namespace grab {

// Bytes per row as Grab lays the frame out: packed pixels padded to 4 bytes.
std::size_t rowPitch(const MORImageStruct& frame);

// True for the geometry this tool can write (8-bit samples, 1, 3 or 4 channels, positive size).
bool writableFrame(const MORImageStruct& frame);

// True when OUT's extension names an image format that can be written.
bool canWriteImageAs(const std::string& path);

// The extensions that name a format, for messages.
inline constexpr char kImageFormats[] = "use .png, .jpg, .bmp or .ppm";

// Writes the frame top row first with its B, G, R bytes as they are; `topFirst` tells
// whether the buffer starts with the top row (flip requested) or the bottom row.
bool writeImage(const MORImageStruct& frame, bool topFirst, const std::string& path, std::string& error);

// Writes height * rowPitch bytes from frame.data, rows in the order handed out.
bool writeRaw(const MORImageStruct& frame, const std::string& path, std::string& error);

} // namespace grab
