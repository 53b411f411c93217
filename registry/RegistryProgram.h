// A compiled registry program: instruction words and the string, number and
// binary tables they index. All of it is constant data.
#pragma once

#include "platform/Types.h"

// Texts flagged for expansion carry %NAME% references resolved from the
// runner's replacement map. Any non-zero expand byte counts as true.
// The table ends with an entry whose text is null; entry 0 is the empty string.
struct RegStringEntry {
    LPCSTR text;
    BYTE expand;
};

// When expand is exactly 1, value is a string index whose expanded text holds
// the number. The table ends with an all-zero entry, so a number 0 is written
// through an expanded text "0".
struct RegNumberEntry {
    DWORD value;
    BYTE expand;
};

// When expand is exactly 1, length is a string index whose expanded text holds
// the bytes as hexadecimal digits, and bytes is ignored. The table ends with an
// all-zero entry.
struct RegBinaryEntry {
    const BYTE* bytes;
    DWORD length;
    BYTE expand;
};

struct RegistryProgram {
    const DWORD* words;
    const RegStringEntry* strings;
    // Read only by NumberValue and BinaryValue words; may be null otherwise.
    const RegNumberEntry* numbers;
    const RegBinaryEntry* binaries;
    // How many words the words array holds. The End word must lie within them.
    UINT wordCount;
};

inline bool isNumberTableEnd(const RegNumberEntry& entry)
{
    return entry.value == 0 && entry.expand == 0;
}

inline bool isBinaryTableEnd(const RegBinaryEntry& entry)
{
    return entry.bytes == nullptr && entry.length == 0 && entry.expand == 0;
}
