#include "platform/linux/registry/RegistryLocation.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

namespace comrt::registry {

namespace {

std::string homeDirectory()
{
    if (const char* home = std::getenv("HOME"); home && *home)
        return home;
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found && found->pw_dir)
        return found->pw_dir;
    return {};
}

LONG win32FromErrno(int error)
{
    switch (error) {
    case EACCES:
    case EPERM:
    case EROFS:
        return ERROR_ACCESS_DENIED;
    case ENOENT:
    case ENOTDIR:
        return ERROR_PATH_NOT_FOUND;
    case ENOSPC:
        return ERROR_DISK_FULL;
    default:
        return ERROR_CANTOPEN;
    }
}

} // namespace

std::string registryFilePath()
{
    if (const char* path = std::getenv("COMRT_REGISTRY"); path && *path)
        return path;
    std::string base;
    // Relative values do not count, as the XDG base directory rules say.
    if (const char* data = std::getenv("XDG_DATA_HOME"); data && data[0] == '/') {
        base = data;
    } else {
        const std::string home = homeDirectory();
        if (home.empty())
            return {};
        base = home + "/.local/share";
    }
    return base + "/comrt/registry.db";
}

LONG makeParentDirectories(const std::string& path)
{
    const size_t last = path.find_last_of('/');
    if (last == std::string::npos || last == 0)
        return ERROR_SUCCESS;
    const std::string directory = path.substr(0, last);
    struct stat info{};
    if (stat(directory.c_str(), &info) == 0)
        return S_ISDIR(info.st_mode) ? ERROR_SUCCESS : ERROR_PATH_NOT_FOUND;

    for (size_t slash = directory.find('/', 1);; slash = directory.find('/', slash + 1)) {
        const std::string prefix = directory.substr(0, slash);
        // Private like the rest of the user's data directory.
        if (mkdir(prefix.c_str(), 0700) != 0 && errno != EEXIST)
            return win32FromErrno(errno);
        if (slash == std::string::npos)
            break;
    }
    return ERROR_SUCCESS;
}

} // namespace comrt::registry
