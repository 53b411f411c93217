// The system version the runtime reports: NT 6.2, unless a test asks otherwise.
#include "platform/Kernel.h"
#include "platform/linux/ComRtExtensions.h"

#include <cstring>
#include <mutex>

namespace {

struct VersionAnswer {
    DWORD platformId = VER_PLATFORM_WIN32_NT;
    DWORD major = 6;
    DWORD minor = 2;
};

constinit std::mutex g_versionMutex;
VersionAnswer g_version;

} // namespace

void ComRtSetVersionAnswer(DWORD platformId, DWORD major, DWORD minor)
{
    std::lock_guard lock(g_versionMutex);
    g_version = {platformId, major, minor};
}

void ComRtResetVersionAnswer()
{
    std::lock_guard lock(g_versionMutex);
    g_version = VersionAnswer{};
}

BOOL WINAPI GetVersionExA(LPOSVERSIONINFOA lpVersionInformation)
{
    if (!lpVersionInformation || lpVersionInformation->dwOSVersionInfoSize != sizeof(OSVERSIONINFOA)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    VersionAnswer answer;
    {
        std::lock_guard lock(g_versionMutex);
        answer = g_version;
    }
    lpVersionInformation->dwMajorVersion = answer.major;
    lpVersionInformation->dwMinorVersion = answer.minor;
    lpVersionInformation->dwBuildNumber = 9200;
    lpVersionInformation->dwPlatformId = answer.platformId;
    std::memset(lpVersionInformation->szCSDVersion, 0, sizeof(lpVersionInformation->szCSDVersion));
    return TRUE;
}
