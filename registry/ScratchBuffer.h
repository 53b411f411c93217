// A growable byte buffer that a caller owns and lends to text expansion.
#pragma once

#include "platform/Types.h"

#include <cstddef>

class ScratchBuffer {
public:
    ScratchBuffer() = default;
    ~ScratchBuffer() { release(); }
    ScratchBuffer(const ScratchBuffer&) = delete;
    ScratchBuffer& operator=(const ScratchBuffer&) = delete;

    // Null until something was appended.
    LPSTR data() const { return m_pData; }
    size_t length() const { return m_nLength; }
    size_t capacity() const { return m_nCapacity; }

    // Frees the data; length and capacity become 0.
    void release();
    // The capacity doubles, starting from 1 byte, until the bytes fit.
    // False when the buffer cannot grow; its contents are then unchanged.
    bool append(const char* bytes, size_t count);

private:
    LPSTR m_pData = nullptr;
    size_t m_nLength = 0;
    size_t m_nCapacity = 0;
};
