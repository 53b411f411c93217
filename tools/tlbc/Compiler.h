// The compiler as a function: IDL text in, type library image out.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tlbc {

// Throws CompileError.
std::vector<uint8_t> compileIdl(const std::string& source, unsigned codePage);

} // namespace tlbc
