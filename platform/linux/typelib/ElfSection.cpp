// Section lookup in 32- and 64-bit little-endian ELF files.
#include "platform/linux/typelib/ElfSection.h"

#include <elf.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>

namespace comrt::typelib {
namespace {

// Nothing we look for is anywhere near these sizes; they bound what a damaged
// header can make us allocate.
constexpr uint64_t kMaxSectionCount = 1u << 20;
constexpr uint64_t kMaxNameTableSize = 16u << 20;
constexpr uint64_t kMaxSectionSize = 64u << 20;

struct NotFound {};
struct ReadFailed {};

void readAt(int fd, uint64_t offset, void* buffer, size_t size)
{
    auto* out = static_cast<uint8_t*>(buffer);
    while (size > 0) {
        ssize_t n = pread(fd, out, size, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            throw ReadFailed{};
        out += n;
        offset += static_cast<uint64_t>(n);
        size -= static_cast<size_t>(n);
    }
}

bool fits(uint64_t offset, uint64_t size, uint64_t fileSize)
{
    return offset <= fileSize && size <= fileSize - offset;
}

template <typename Ehdr, typename Shdr>
std::vector<uint8_t> findSection(int fd, uint64_t fileSize, std::string_view name)
{
    Ehdr header;
    if (fileSize < sizeof header)
        throw NotFound{};
    readAt(fd, 0, &header, sizeof header);
    if (header.e_shoff == 0 || header.e_shentsize != sizeof(Shdr))
        throw NotFound{};

    // Section 0 holds the real count and name-table index when they overflow
    // the header's fields.
    Shdr first;
    if (!fits(header.e_shoff, sizeof first, fileSize))
        throw NotFound{};
    readAt(fd, header.e_shoff, &first, sizeof first);
    uint64_t count = header.e_shnum != 0 ? header.e_shnum : uint64_t(first.sh_size);
    uint64_t namesIndex = header.e_shstrndx != SHN_XINDEX ? header.e_shstrndx : uint64_t(first.sh_link);
    if (count == 0 || count > kMaxSectionCount || namesIndex >= count ||
        !fits(header.e_shoff, count * sizeof(Shdr), fileSize))
        throw NotFound{};

    std::vector<Shdr> sections(count);
    readAt(fd, header.e_shoff, sections.data(), count * sizeof(Shdr));

    const Shdr& namesSection = sections[namesIndex];
    if (namesSection.sh_type == SHT_NOBITS || namesSection.sh_size > kMaxNameTableSize ||
        !fits(namesSection.sh_offset, namesSection.sh_size, fileSize))
        throw NotFound{};
    std::vector<char> names(namesSection.sh_size);
    readAt(fd, namesSection.sh_offset, names.data(), names.size());

    for (const Shdr& section : sections) {
        if (section.sh_name >= names.size())
            continue;
        const char* begin = names.data() + section.sh_name;
        const void* end = std::memchr(begin, '\0', names.size() - section.sh_name);
        if (end == nullptr || std::string_view(begin, static_cast<const char*>(end) - begin) != name)
            continue;
        if (section.sh_type == SHT_NOBITS || section.sh_size > kMaxSectionSize ||
            !fits(section.sh_offset, section.sh_size, fileSize))
            throw NotFound{};
        std::vector<uint8_t> bytes(section.sh_size);
        readAt(fd, section.sh_offset, bytes.data(), bytes.size());
        return bytes;
    }
    throw NotFound{};
}

} // namespace

bool isElfFile(const uint8_t* data, size_t size)
{
    return size >= SELFMAG && std::memcmp(data, ELFMAG, SELFMAG) == 0;
}

HRESULT readElfSection(int fd, uint64_t fileSize, std::string_view name, std::vector<uint8_t>& out)
{
    unsigned char ident[EI_NIDENT];
    try {
        if (fileSize < sizeof ident)
            return TYPE_E_CANTLOADLIBRARY;
        readAt(fd, 0, ident, sizeof ident);
        if (!isElfFile(ident, sizeof ident) || ident[EI_DATA] != ELFDATA2LSB)
            return TYPE_E_CANTLOADLIBRARY;
        if (ident[EI_CLASS] == ELFCLASS64)
            out = findSection<Elf64_Ehdr, Elf64_Shdr>(fd, fileSize, name);
        else if (ident[EI_CLASS] == ELFCLASS32)
            out = findSection<Elf32_Ehdr, Elf32_Shdr>(fd, fileSize, name);
        else
            return TYPE_E_CANTLOADLIBRARY;
        return S_OK;
    } catch (const NotFound&) {
        return TYPE_E_CANTLOADLIBRARY;
    } catch (const ReadFailed&) {
        return TYPE_E_IOERROR;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

} // namespace comrt::typelib
