// The runtime's one holder of a counted interface reference.
#pragma once

#include <cstddef>

namespace comrt {

// Counted-reference helper for the implementation; never crosses an interface.
template <class T>
class ComPtr {
public:
    ComPtr() = default;
    ComPtr(std::nullptr_t) {}
    explicit ComPtr(T* p, bool addRef = true) : m_p(p)
    {
        if (m_p && addRef)
            m_p->AddRef();
    }
    ComPtr(const ComPtr& o) : m_p(o.m_p)
    {
        if (m_p)
            m_p->AddRef();
    }
    ComPtr(ComPtr&& o) noexcept : m_p(o.m_p) { o.m_p = nullptr; }
    ~ComPtr() { reset(); }
    ComPtr& operator=(ComPtr o) noexcept
    {
        T* t = m_p;
        m_p = o.m_p;
        o.m_p = t;
        return *this;
    }
    void reset()
    {
        if (T* p = m_p) {
            m_p = nullptr;
            p->Release();
        }
    }
    // Hands the reference over to the caller.
    T* detach()
    {
        T* p = m_p;
        m_p = nullptr;
        return p;
    }
    T* get() const { return m_p; }
    T* operator->() const { return m_p; }
    explicit operator bool() const { return m_p != nullptr; }
    T** put()
    {
        reset();
        return &m_p;
    }

private:
    T* m_p = nullptr;
};

} // namespace comrt
