// Shared pieces of the type library tests: owning wrappers, scratch files and
// registries, and compiling IDL text on the fly.
#pragma once

#include "platform/Registry.h"
#include "platform/TypeLib.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace typelib_test {

// Releases the interface it holds.
template <typename T>
class Ref {
public:
    Ref() = default;
    ~Ref() { reset(); }
    Ref(const Ref&) = delete;
    Ref& operator=(const Ref&) = delete;
    T** out()
    {
        reset();
        return &m_p;
    }
    T* get() const { return m_p; }
    T* operator->() const { return m_p; }
    explicit operator bool() const { return m_p != nullptr; }
    void reset()
    {
        if (m_p != nullptr)
            m_p->Release();
        m_p = nullptr;
    }

private:
    T* m_p = nullptr;
};

class Bstr {
public:
    Bstr() = default;
    ~Bstr() { SysFreeString(m_b); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    BSTR* out()
    {
        SysFreeString(m_b);
        m_b = nullptr;
        return &m_b;
    }
    bool null() const { return m_b == nullptr; }
    std::u16string str() const { return m_b ? std::u16string(m_b, SysStringLen(m_b)) : std::u16string(); }

private:
    BSTR m_b = nullptr;
};

std::u16string wide(const std::string& ascii);

// A temporary directory, removed with what it holds.
class ScratchDirectory {
public:
    ScratchDirectory();
    ~ScratchDirectory();
    std::string file(const std::string& name) const { return m_path + "/" + name; }
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
};

// Points the runtime at an empty registry for the life of the object.
class ScratchRegistry {
public:
    ScratchRegistry();
    ~ScratchRegistry();

private:
    ScratchDirectory m_directory;
};

std::vector<uint8_t> readFile(const std::string& path);
void writeFile(const std::string& path, const std::vector<uint8_t>& bytes);

// Compiles IDL text (code page 936) into a library image.
std::vector<uint8_t> compile(const std::string& idl);

// The base declarations every test IDL starts with, and a library around a body.
std::string idlPrelude();
std::string idlLibrary(const std::string& attributes, const std::string& body);

HRESULT loadImage(const std::vector<uint8_t>& image, const std::string& path, ITypeLib** lib);

// Visits everything a library answers, so that a damaged one that loaded is
// read in full (the sanitizers see any bad access).
void readEverything(ITypeLib* lib);

// Registry checks under HKEY_CLASSES_ROOT.
bool keyExists(const std::string& path);
std::optional<std::string> defaultValue(const std::string& path);
std::optional<std::string> namedValue(const std::string& path, const char* name);

} // namespace typelib_test
