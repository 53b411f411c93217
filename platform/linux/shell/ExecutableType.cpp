// SHGetFileInfoA, for what the runtime can tell about a file: whether it is an
// executable program. On Linux that is an ELF file of type ET_EXEC, or ET_DYN
// with a program interpreter (a position-independent executable); a shared
// library has no interpreter.
#include "platform/Shell.h"

#include <elf.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstring>

namespace {

// The answer for an executable: "EL" in the low word, as the platform puts "PE" there.
constexpr DWORD_PTR kElfExecutable = 0x4C45;

bool readAt(int fd, off_t offset, void* buffer, size_t size)
{
    return pread(fd, buffer, size, offset) == static_cast<ssize_t>(size);
}

template <typename Ehdr, typename Phdr>
bool isExecutable(int fd)
{
    Ehdr header;
    if (!readAt(fd, 0, &header, sizeof(header)))
        return false;
    if (header.e_type == ET_EXEC)
        return true;
    if (header.e_type != ET_DYN || header.e_phentsize != sizeof(Phdr))
        return false;
    for (unsigned i = 0; i < header.e_phnum; ++i) {
        Phdr program;
        if (!readAt(fd, static_cast<off_t>(header.e_phoff + i * sizeof(Phdr)), &program, sizeof(program)))
            return false;
        if (program.p_type == PT_INTERP)
            return true;
    }
    return false;
}

bool isExecutableFile(const char* path)
{
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    unsigned char ident[EI_NIDENT];
    bool executable = false;
    if (readAt(fd, 0, ident, sizeof(ident)) && std::memcmp(ident, ELFMAG, SELFMAG) == 0 &&
        ident[EI_DATA] == ELFDATA2LSB) {
        if (ident[EI_CLASS] == ELFCLASS64)
            executable = isExecutable<Elf64_Ehdr, Elf64_Phdr>(fd);
        else if (ident[EI_CLASS] == ELFCLASS32)
            executable = isExecutable<Elf32_Ehdr, Elf32_Phdr>(fd);
    }
    close(fd);
    return executable;
}

} // namespace

DWORD_PTR WINAPI SHGetFileInfoA(LPCSTR pszPath, DWORD /*dwFileAttributes*/, SHFILEINFOA* /*psfi*/,
                                UINT /*cbFileInfo*/, UINT uFlags)
{
    // Only the executable test is offered; any other request answers failure.
    if (!pszPath || uFlags != SHGFI_EXETYPE)
        return 0;
    return isExecutableFile(pszPath) ? kElfExecutable : 0;
}
