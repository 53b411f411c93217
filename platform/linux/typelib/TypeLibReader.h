// Turns a type library image into the runtime's model.
#pragma once

#include "platform/linux/typelib/TypeLibModel.h"

#include <cstddef>
#include <cstdint>

namespace comrt::typelib {

// Checks every count, offset, reference and text of the image. Answers
// TYPE_E_CANTLOADLIBRARY for something that is not a type library image or is
// damaged, TYPE_E_UNSUPFORMAT for a format version this runtime does not know,
// E_OUTOFMEMORY; `out` is only written on success.
HRESULT readTypeLibrary(const uint8_t* data, size_t size, Library& out);

// True when the bytes begin like a type library image.
bool looksLikeTypeLibrary(const uint8_t* data, size_t size);

} // namespace comrt::typelib
