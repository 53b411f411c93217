// Owners of what COM hands out: a counted interface pointer and a BSTR. Both
// builds use them, so they speak only the platform's own types.
#pragma once

#include "platform/Automation.h"

#include <string>
#include <string_view>

namespace testkit {

// One counted reference, released when the holder goes.
template <class T>
class Ref {
public:
    Ref() = default;
    // Takes over a reference the caller owns.
    explicit Ref(T* p) : m_p(p) {}
    ~Ref() { reset(); }
    Ref(const Ref&) = delete;
    Ref& operator=(const Ref&) = delete;
    Ref(Ref&& other) noexcept : m_p(other.m_p) { other.m_p = nullptr; }

    // Takes over a reference the caller owns, releasing what was held.
    void attach(T* p)
    {
        reset();
        m_p = p;
    }
    T* get() const { return m_p; }
    T* operator->() const { return m_p; }
    explicit operator bool() const { return m_p != nullptr; }
    // For a call that hands out a reference: what was held is released first.
    T** out()
    {
        reset();
        return &m_p;
    }
    void** outVoid() { return reinterpret_cast<void**>(out()); }
    void reset()
    {
        if (m_p != nullptr)
            m_p->Release();
        m_p = nullptr;
    }

private:
    T* m_p = nullptr;
};

// A BSTR freed when the holder goes.
class Bstr {
public:
    Bstr() = default;
    explicit Bstr(std::basic_string_view<OLECHAR> text)
        : m_b(SysAllocStringLen(text.data(), static_cast<UINT>(text.size())))
    {
    }
    ~Bstr() { SysFreeString(m_b); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;

    BSTR get() const { return m_b; }
    bool null() const { return m_b == nullptr; }
    // For a call that hands out a string: what was held is freed first.
    BSTR* out()
    {
        SysFreeString(m_b);
        m_b = nullptr;
        return &m_b;
    }
    std::basic_string<OLECHAR> str() const
    {
        return m_b != nullptr ? std::basic_string<OLECHAR>(m_b, SysStringLen(m_b)) : std::basic_string<OLECHAR>();
    }

private:
    BSTR m_b = nullptr;
};

} // namespace testkit
