// LoadTypeLib and LoadTypeLibEx: type library files and module resources.
#include "platform/TypeLib.h"

#include "platform/linux/typelib/ElfSection.h"
#include "platform/linux/typelib/TypeLibFormat.h"
#include "platform/linux/typelib/TypeLibReader.h"
#include "platform/linux/typelib/TypeLibText.h"
#include "platform/linux/typelib/TypeLibrary.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <new>
#include <vector>

namespace comrt::typelib {
namespace {

// No type library is anywhere near this; a larger file is not one.
constexpr uint64_t kMaxImageSize = 64u << 20;

class File {
public:
    explicit File(const std::string& path) : m_fd(open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}
    ~File()
    {
        if (m_fd >= 0)
            close(m_fd);
    }
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    int fd() const { return m_fd; }

private:
    int m_fd;
};

HRESULT readWhole(int fd, uint64_t size, std::vector<uint8_t>& out)
{
    if (size > kMaxImageSize)
        return TYPE_E_CANTLOADLIBRARY;
    out.resize(size);
    size_t done = 0;
    while (done < size) {
        ssize_t n = pread(fd, out.data() + done, size - done, static_cast<off_t>(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return TYPE_E_IOERROR;
        done += static_cast<size_t>(n);
    }
    return S_OK;
}

// The image a file holds: the file itself, or the resource section of a module.
HRESULT readImage(const std::string& path, std::vector<uint8_t>& image)
{
    File file(path);
    struct stat info;
    if (file.fd() < 0 || fstat(file.fd(), &info) != 0 || !S_ISREG(info.st_mode))
        return TYPE_E_CANTLOADLIBRARY;
    auto size = static_cast<uint64_t>(info.st_size);
    uint8_t start[4] = {};
    if (size >= sizeof start && pread(file.fd(), start, sizeof start, 0) != static_cast<ssize_t>(sizeof start))
        return TYPE_E_IOERROR;
    if (isElfFile(start, size >= sizeof start ? sizeof start : 0))
        return readElfSection(file.fd(), size, tlb::kResourceSection, image);
    return readWhole(file.fd(), size, image);
}

HRESULT load(const OLECHAR* file, ITypeLib** pptlib)
{
    if (pptlib == nullptr)
        return E_INVALIDARG;
    *pptlib = nullptr;
    if (file == nullptr || file[0] == 0)
        return E_INVALIDARG;
    try {
        std::string path = utf8FromWide(file);
        if (path.empty())
            return TYPE_E_CANTLOADLIBRARY;
        std::vector<uint8_t> image;
        HRESULT hr = readImage(path, image);
        if (FAILED(hr))
            return hr;
        Library model;
        hr = readTypeLibrary(image.data(), image.size(), model);
        if (FAILED(hr))
            return hr;
        return TypeLibrary::create(std::move(model), pptlib);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

// The absolute form of a path a library was loaded from, for its registration.
std::u16string absolutePath(const OLECHAR* file)
{
    std::string path = utf8FromWide(file);
    char resolved[PATH_MAX];
    if (realpath(path.c_str(), resolved) == nullptr)
        return std::u16string(file);
    return wideFromUtf8(resolved);
}

} // namespace
} // namespace comrt::typelib

HRESULT STDAPICALLTYPE LoadTypeLib(const OLECHAR* szFile, ITypeLib** pptlib)
{
    return comrt::typelib::load(szFile, pptlib);
}

HRESULT STDAPICALLTYPE LoadTypeLibEx(LPCOLESTR szFile, REGKIND regkind, ITypeLib** pptlib)
{
    if (regkind != REGKIND_DEFAULT && regkind != REGKIND_REGISTER && regkind != REGKIND_NONE) {
        if (pptlib != nullptr)
            *pptlib = nullptr;
        return E_INVALIDARG;
    }
    // Loading alone never writes to the registry; only an explicit request registers.
    HRESULT hr = comrt::typelib::load(szFile, pptlib);
    if (FAILED(hr) || regkind != REGKIND_REGISTER)
        return hr;
    try {
        std::u16string path = comrt::typelib::absolutePath(szFile);
        hr = RegisterTypeLib(*pptlib, path.data(), nullptr);
    } catch (const std::bad_alloc&) {
        hr = E_OUTOFMEMORY;
    }
    if (FAILED(hr)) {
        (*pptlib)->Release();
        *pptlib = nullptr;
    }
    return hr;
}
