// Conversions between the bytes of a code page and UTF-16, behind
// MultiByteToWideChar and WideCharToMultiByte. Code pages are resolved ones.
#pragma once

#include "platform/Kernel.h"

#include <cstddef>
#include <string>

namespace comrt {

// Bytes of a code page to UTF-16. Invalid input becomes a replacement character,
// or makes the call fail when strict.
bool decodeToUtf16(UINT codePage, const char* bytes, size_t length, bool strict, std::u16string& out);

// UTF-16 to a code page. Characters the page cannot represent become
// defaultChar (or "?") and set usedDefault; with UTF-8 an unpaired surrogate
// becomes U+FFFD, or makes the call fail when strict.
bool encodeFromUtf16(UINT codePage, const char16_t* text, size_t length, bool strict, const char* defaultChar,
                     bool& usedDefault, std::string& out);

// UTF-8 itself, which needs no converter.
bool decodeUtf8(const char* bytes, size_t length, bool strict, std::u16string& out);
bool encodeUtf8(const char16_t* text, size_t length, bool strict, std::string& out);

} // namespace comrt
