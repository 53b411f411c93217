#include "platform/linux/registry/RegistryVfs.h"

#include <sqlite3.h>
#include <unistd.h>

#include <mutex>

namespace comrt::registry {

namespace {

sqlite3_vfs* systemVfs = nullptr;
sqlite3_vfs registryVfs;

// SQLite syncs the directory at the first commit into any log it opened with the create
// flag, which is every log in every process: one directory fsync per short-lived process
// such as `reg add`, tens of milliseconds on a busy disk. A log that already exists was
// made by an earlier connection, whose first commit synced its directory entry (and on a
// journalling file system the log's own fdatasync commits a pending entry anyway), so it
// is opened without the flag. Should it vanish in between (its last user closed it), it
// is opened again the usual way.
int openFile(sqlite3_vfs*, const char* name, sqlite3_file* file, int flags, int* outFlags)
{
    if ((flags & SQLITE_OPEN_WAL) && (flags & SQLITE_OPEN_CREATE) && name && access(name, F_OK) == 0) {
        const int rc = systemVfs->xOpen(systemVfs, name, file, flags & ~SQLITE_OPEN_CREATE, outFlags);
        if (rc == SQLITE_OK)
            return rc;
    }
    return systemVfs->xOpen(systemVfs, name, file, flags, outFlags);
}

} // namespace

const char* registryVfsName()
{
    static std::once_flag once;
    std::call_once(once, [] {
        systemVfs = sqlite3_vfs_find(nullptr);
        registryVfs = *systemVfs; // same files, same methods; pAppData stays the system's
        registryVfs.zName = "comrt-registry";
        registryVfs.pNext = nullptr;
        registryVfs.xOpen = openFile;
        if (sqlite3_vfs_register(&registryVfs, 0) != SQLITE_OK)
            registryVfs.zName = nullptr;
    });
    return registryVfs.zName; // null (the default layer) if registering failed
}

} // namespace comrt::registry
