// Conversions from a program's value texts to the bytes written to the registry.
#pragma once

#include "platform/Types.h"

#include <cstddef>

// The bytes a multi-string text of textLength bytes converts to, at most.
constexpr size_t multiStringBufferBytes(size_t textLength) { return textLength + 2; }

// Converts a multi-string text, in which backslash followed by digit zero
// separates the strings, into NUL-separated strings ended by two NUL bytes.
// destination holds multiStringBufferBytes(textLength) bytes. Returns the
// length to write: the strings up to and including the first empty one.
size_t convertMultiString(LPCSTR text, size_t textLength, BYTE* destination);

// Converts hexadecimal digits, high nibble first, into textLength / 2 bytes;
// bytes that are no hexadecimal digit count as 0. False for an odd length.
bool convertHexText(LPCSTR text, size_t textLength, BYTE* destination);
