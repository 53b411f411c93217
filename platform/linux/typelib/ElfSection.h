// Finds a named section in an ELF file by reading its section headers; the
// file is never loaded or run.
#pragma once

#include "platform/Types.h"

#include <cstdint>
#include <string_view>
#include <vector>

namespace comrt::typelib {

// True when the first bytes of a file are the ELF identification.
bool isElfFile(const uint8_t* data, size_t size);

// S_OK with the section's bytes; TYPE_E_CANTLOADLIBRARY when the file has no
// such section (or carries it in a form this reader does not take, such as a
// big-endian file) or its headers are inconsistent; TYPE_E_IOERROR when
// reading fails.
HRESULT readElfSection(int fd, uint64_t fileSize, std::string_view name, std::vector<uint8_t>& out);

} // namespace comrt::typelib
