#include "registry/ReplacementMap.h"

#include "platform/Kernel.h"
#include "platform/UserInterface.h"

#include <cstring>
#include <new>

namespace {

LPSTR copyText(LPCSTR text)
{
    size_t bytes = std::strlen(text) + 1;
    auto* copy = new (std::nothrow) char[bytes];
    if (copy != nullptr)
        std::memcpy(copy, text, bytes);
    return copy;
}

// A copy of array with one more slot, holding item; null when out of memory.
LPSTR* grownByOne(LPSTR* array, int count, LPSTR item)
{
    auto* grown = new (std::nothrow) LPSTR[static_cast<size_t>(count) + 1];
    if (grown == nullptr)
        return nullptr;
    for (int i = 0; i < count; ++i)
        grown[i] = array[i];
    grown[count] = item;
    return grown;
}

} // namespace

HRESULT ReplacementMap::add(LPCSTR name, LPCSTR value)
{
    if (name == nullptr || value == nullptr)
        return E_INVALIDARG;
    LPSTR nameCopy = copyText(name);
    LPSTR valueCopy = copyText(value);
    LPSTR* names = nullptr;
    LPSTR* values = nullptr;
    if (nameCopy != nullptr && valueCopy != nullptr && m_nCount < 0x7FFFFFFF) {
        names = grownByOne(m_ppNames, m_nCount, nameCopy);
        if (names != nullptr)
            values = grownByOne(m_ppValues, m_nCount, valueCopy);
    }
    if (values == nullptr) {
        delete[] names;
        delete[] nameCopy;
        delete[] valueCopy;
        return E_OUTOFMEMORY;
    }
    delete[] m_ppNames;
    delete[] m_ppValues;
    m_ppNames = names;
    m_ppValues = values;
    ++m_nCount;
    return S_OK;
}

void ReplacementMap::clear()
{
    for (int i = 0; i < m_nCount; ++i) {
        delete[] m_ppNames[i];
        delete[] m_ppValues[i];
    }
    delete[] m_ppNames;
    delete[] m_ppValues;
    m_ppNames = nullptr;
    m_ppValues = nullptr;
    m_nCount = 0;
}

LPCSTR ReplacementMap::lookup(LPCSTR name) const
{
    for (int i = 0; i < m_nCount; ++i) {
        if (lstrcmpiA(m_ppNames[i], name) == 0)
            return m_ppValues[i];
    }
    return nullptr;
}

HRESULT ReplacementMap::ExpandString(const RegStringEntry* table, UINT index, ScratchBuffer& scratch,
                                     LPCSTR* text) const
{
    if (text == nullptr)
        return E_INVALIDARG;
    const RegStringEntry& entry = table[index];
    *text = entry.text;
    if (entry.text == nullptr)
        return S_FALSE;
    if (entry.expand == 0)
        return S_OK;

    scratch.release();
    *text = nullptr;
    const char* const end = entry.text + std::strlen(entry.text);
    const char* p = entry.text;
    while (p < end) {
        if (*p == '%') {
            if (p[1] == '%') {
                if (!scratch.append("%", 1))
                    return E_OUTOFMEMORY;
                p += 2;
                continue;
            }
            const char* name = p + 1;
            const char* close =
                reinterpret_cast<const char*>(_mbschr(reinterpret_cast<const unsigned char*>(name), '%'));
            if (close == nullptr || close < name || close >= end)
                return E_FAIL;
            size_t nameBytes = static_cast<size_t>(close - name);
            if (nameBytes > kMaxReplacementNameBytes)
                return E_FAIL;
            char nameText[kMaxReplacementNameBytes + 1];
            std::memcpy(nameText, name, nameBytes);
            nameText[nameBytes] = '\0';
            LPCSTR value = lookup(nameText);
            if (value == nullptr)
                return E_FAIL;
            // The value goes in as it stands: references inside it stay unexpanded.
            if (!scratch.append(value, std::strlen(value)))
                return E_OUTOFMEMORY;
            p = close + 1;
            continue;
        }
        // One whole character, both bytes of a double-byte one; never past the end.
        const char* next = CharNextA(p);
        if (next <= p || next > end)
            next = p + 1;
        if (!scratch.append(p, static_cast<size_t>(next - p)))
            return E_OUTOFMEMORY;
        p = next;
    }
    if (!scratch.append("", 1))
        return E_OUTOFMEMORY;
    return S_OK;
}
