// Module handles over the dynamic linker's view of the process.
#include "platform/linux/kernel/ModuleImages.h"

#include <dlfcn.h>
#include <link.h>
#include <strings.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace comrt {

namespace {

std::string executablePath()
{
    char buffer[PATH_MAX];
    ssize_t length = readlink("/proc/self/exe", buffer, sizeof(buffer) - 1);
    if (length <= 0)
        return {};
    return std::string(buffer, static_cast<size_t>(length));
}

// The file mapped at a base address, from the kernel's list of mappings:
// absolute even when the object was loaded through a relative name.
std::string mappedFileAt(HMODULE module)
{
    FILE* maps = std::fopen("/proc/self/maps", "re");
    if (!maps)
        return {};
    std::string found;
    char line[PATH_MAX + 128];
    auto wanted = reinterpret_cast<unsigned long>(module);
    while (std::fgets(line, sizeof(line), maps)) {
        unsigned long start = 0;
        int pathOffset = 0;
        if (std::sscanf(line, "%lx-%*x %*s %*x %*s %*u %n", &start, &pathOffset) < 1 || start != wanted)
            continue;
        if (pathOffset > 0 && line[pathOffset] == '/') {
            found = line + pathOffset;
            while (!found.empty() && (found.back() == '\n' || found.back() == ' '))
                found.pop_back();
        }
        break;
    }
    std::fclose(maps);
    return found;
}

std::string canonicalPath(const std::string& path)
{
    char resolved[PATH_MAX];
    return realpath(path.c_str(), resolved) ? std::string(resolved) : path;
}

const char* baseName(const std::string& path)
{
    size_t slash = path.rfind('/');
    return path.c_str() + (slash == std::string::npos ? 0 : slash + 1);
}

struct LoadedObject {
    std::string name;
    uintptr_t address = 0; // an address inside its first loaded segment
    bool isMain = false;
};

int collectObject(dl_phdr_info* info, size_t, void* data)
{
    auto objects = static_cast<std::vector<LoadedObject>*>(data);
    LoadedObject object;
    object.name = info->dlpi_name ? info->dlpi_name : "";
    object.isMain = objects->empty(); // the program comes first
    for (int i = 0; i < info->dlpi_phnum; ++i) {
        if (info->dlpi_phdr[i].p_type == PT_LOAD) {
            object.address = info->dlpi_addr + info->dlpi_phdr[i].p_vaddr;
            break;
        }
    }
    objects->push_back(std::move(object));
    return 0;
}

} // namespace

HMODULE moduleContaining(const void* address)
{
    Dl_info info{};
    if (!address || dladdr(address, &info) == 0)
        return nullptr;
    return static_cast<HMODULE>(info.dli_fbase);
}

bool isModuleBase(HMODULE module)
{
    return module && moduleContaining(module) == module;
}

HMODULE moduleOfImage(void* image)
{
    link_map* map = nullptr;
    if (!image || dlinfo(image, RTLD_DI_LINKMAP, &map) != 0 || !map)
        return nullptr;
    if (HMODULE module = moduleContaining(map->l_ld))
        return module;
    return reinterpret_cast<HMODULE>(map->l_addr);
}

HMODULE mainExecutable()
{
    static const HMODULE main = [] {
        void* self = dlopen(nullptr, RTLD_LAZY);
        HMODULE module = moduleOfImage(self);
        if (self)
            dlclose(self);
        return module;
    }();
    return main;
}

std::string moduleFilePath(HMODULE module)
{
    if (!module || module == mainExecutable())
        return executablePath();
    Dl_info info{};
    if (dladdr(module, &info) == 0 || info.dli_fbase != module)
        return {};
    if (info.dli_fname && info.dli_fname[0] == '/')
        return info.dli_fname;
    std::string mapped = mappedFileAt(module);
    if (!mapped.empty())
        return mapped;
    return info.dli_fname ? canonicalPath(info.dli_fname) : std::string();
}

HMODULE findModuleByName(const char* name)
{
    if (!name || !*name)
        return nullptr;
    std::vector<LoadedObject> objects;
    dl_iterate_phdr(collectObject, &objects); // nothing else may run inside the callback
    std::string wanted = name;
    bool withDirectory = wanted.find('/') != std::string::npos;
    std::string wantedCanonical = withDirectory ? canonicalPath(wanted) : std::string();
    for (const LoadedObject& object : objects) {
        HMODULE module = object.isMain ? mainExecutable() : moduleContaining(reinterpret_cast<void*>(object.address));
        if (!module)
            continue;
        std::string path = moduleFilePath(module);
        if (path.empty())
            path = object.name;
        bool matches;
        if (withDirectory)
            matches = strcasecmp(path.c_str(), wanted.c_str()) == 0 ||
                      strcasecmp(canonicalPath(path).c_str(), wantedCanonical.c_str()) == 0;
        else
            matches = strcasecmp(baseName(path), name) == 0 ||
                      (!object.name.empty() && strcasecmp(baseName(object.name), name) == 0);
        if (matches)
            return module;
    }
    return nullptr;
}

void* openLoadedImage(HMODULE module)
{
    if (module == mainExecutable())
        return dlopen(nullptr, RTLD_LAZY);
    Dl_info info{};
    if (dladdr(module, &info) == 0 || info.dli_fbase != module || !info.dli_fname)
        return nullptr;
    if (void* image = dlopen(info.dli_fname, RTLD_LAZY | RTLD_NOLOAD))
        return image;
    std::string mapped = mappedFileAt(module);
    return mapped.empty() ? nullptr : dlopen(mapped.c_str(), RTLD_LAZY | RTLD_NOLOAD);
}

void* findOwnExport(void* image, HMODULE module, const char* name)
{
    dlerror();
    void* symbol = dlsym(image, name);
    if (!symbol || moduleContaining(symbol) != module)
        return nullptr;
    return symbol;
}

} // namespace comrt
