// Writes a laid-out type library in the runtime's image format.
#pragma once

#include "tools/tlbc/ImageModel.h"

#include <string>
#include <vector>

namespace tlbc {

std::vector<uint8_t> writeImage(const Image& image);

// C++ source that places the image in the module's type library section.
std::string embeddingSource(const std::vector<uint8_t>& image, const std::string& sourceName);

} // namespace tlbc
