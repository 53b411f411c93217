// The replacement variables of a registry run, and the expansion of %NAME%
// references in a program's texts.
#pragma once

#include "registry/RegistryProgram.h"
#include "registry/ScratchBuffer.h"

// Reference names are at most this many bytes.
inline constexpr size_t kMaxReplacementNameBytes = 31;

// An ordered list of (name, value) pairs, each a private copy. Duplicate names
// are kept; lookups find the first.
class ReplacementMap {
public:
    ReplacementMap() = default;
    ~ReplacementMap() { clear(); }
    ReplacementMap(const ReplacementMap&) = delete;
    ReplacementMap& operator=(const ReplacementMap&) = delete;

    // S_OK; E_INVALIDARG for a null name or value; E_OUTOFMEMORY when a copy or
    // the growth of the arrays fails, leaving the map as it was.
    HRESULT add(LPCSTR name, LPCSTR value);
    void clear();
    // The value of the first pair whose name matches case-insensitively, or null.
    LPCSTR lookup(LPCSTR name) const;
    int count() const { return m_nCount; }

    // Expands string entry index of table. *text receives the entry's own text
    // when it needs no expansion (S_OK), or null when the entry has no text
    // (S_FALSE) or the result was built in scratch (S_OK; scratch.data() holds
    // it, NUL-terminated). E_FAIL for an unclosed reference, a name longer than
    // 31 bytes or an unknown name; E_OUTOFMEMORY when scratch cannot grow.
    // The caller guarantees that index lies within the table.
    HRESULT ExpandString(const RegStringEntry* table, UINT index, ScratchBuffer& scratch, LPCSTR* text) const;

private:
    LPSTR* m_ppNames = nullptr;
    LPSTR* m_ppValues = nullptr;
    int m_nCount = 0;
};
