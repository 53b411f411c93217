#include "registry/ScratchBuffer.h"

#include <cstdint>
#include <cstring>
#include <new>

void ScratchBuffer::release()
{
    delete[] m_pData;
    m_pData = nullptr;
    m_nLength = 0;
    m_nCapacity = 0;
}

bool ScratchBuffer::append(const char* bytes, size_t count)
{
    if (count > m_nCapacity - m_nLength) {
        if (count > SIZE_MAX / 2 - m_nLength)
            return false;
        size_t needed = m_nLength + count;
        size_t capacity = m_nCapacity == 0 ? 1 : m_nCapacity;
        while (capacity < needed)
            capacity *= 2;
        auto* pData = new (std::nothrow) char[capacity];
        if (pData == nullptr)
            return false;
        if (m_nLength != 0)
            std::memcpy(pData, m_pData, m_nLength);
        delete[] m_pData;
        m_pData = pData;
        m_nCapacity = capacity;
    }
    if (count != 0)
        std::memcpy(m_pData + m_nLength, bytes, count);
    m_nLength += count;
    return true;
}
