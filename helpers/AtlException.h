// The exception that carries one HRESULT out of a constructor or helper that
// has no result of its own to return. Creators and the registry runner catch it
// at their boundary; it never leaves an interface method or an export.
#pragma once

#include "platform/Types.h"

class CAtlException {
public:
    explicit CAtlException(HRESULT hr) noexcept : m_hr(hr) {}
    operator HRESULT() const noexcept { return m_hr; }

    HRESULT m_hr;
};

[[noreturn]] void throwAtlException(HRESULT hr);
