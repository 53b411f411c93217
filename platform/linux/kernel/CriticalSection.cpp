// Re-entrant critical sections over recursive pthread mutexes, with a test hook
// that makes creations fail the way an exhausted system would.
#include "platform/Kernel.h"
#include "platform/linux/ComRtExtensions.h"

#include <cerrno>
#include <mutex>

namespace {

struct FailurePlan {
    LONG skip = 0;
    LONG count = 0;
    DWORD status = 0;
};

constinit std::mutex g_planMutex;
FailurePlan g_plan;

// True when this creation is one the test hook wants to fail.
bool takePlannedFailure(DWORD& status)
{
    std::lock_guard lock(g_planMutex);
    if (g_plan.count <= 0)
        return false;
    if (g_plan.skip > 0) {
        --g_plan.skip;
        return false;
    }
    --g_plan.count;
    status = g_plan.status;
    return true;
}

int initRecursiveMutex(pthread_mutex_t* mutex)
{
    pthread_mutexattr_t attributes;
    int rc = pthread_mutexattr_init(&attributes);
    if (rc != 0)
        return rc;
    rc = pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE);
    if (rc == 0)
        rc = pthread_mutex_init(mutex, &attributes);
    pthread_mutexattr_destroy(&attributes);
    return rc;
}

} // namespace

void ComRtFailCriticalSections(LONG skip, LONG count, DWORD status)
{
    std::lock_guard lock(g_planMutex);
    g_plan.skip = skip > 0 ? skip : 0;
    g_plan.count = count > 0 ? count : 0;
    g_plan.status = status;
}

void WINAPI InitializeCriticalSection(LPCRITICAL_SECTION lpCriticalSection)
{
    if (!lpCriticalSection)
        return;
    // A recursive mutex needs no resources on Linux; creation does not fail.
    lpCriticalSection->initialized = initRecursiveMutex(&lpCriticalSection->mutex) == 0;
}

BOOL WINAPI InitializeCriticalSectionAndSpinCount(LPCRITICAL_SECTION lpCriticalSection, DWORD /*dwSpinCount*/)
{
    if (!lpCriticalSection) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    lpCriticalSection->initialized = FALSE;
    DWORD status = 0;
    if (takePlannedFailure(status)) {
        SetLastError(status == STATUS_NO_MEMORY ? ERROR_NOT_ENOUGH_MEMORY : ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    int rc = initRecursiveMutex(&lpCriticalSection->mutex);
    if (rc != 0) {
        SetLastError(rc == ENOMEM || rc == EAGAIN ? ERROR_NOT_ENOUGH_MEMORY : ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    lpCriticalSection->initialized = TRUE;
    return TRUE;
}

void WINAPI EnterCriticalSection(LPCRITICAL_SECTION lpCriticalSection)
{
    if (lpCriticalSection)
        pthread_mutex_lock(&lpCriticalSection->mutex);
}

void WINAPI LeaveCriticalSection(LPCRITICAL_SECTION lpCriticalSection)
{
    if (lpCriticalSection)
        pthread_mutex_unlock(&lpCriticalSection->mutex);
}

void WINAPI DeleteCriticalSection(LPCRITICAL_SECTION lpCriticalSection)
{
    // Deleting a section whose creation failed (or deleting twice) is harmless.
    if (!lpCriticalSection || !lpCriticalSection->initialized)
        return;
    pthread_mutex_destroy(&lpCriticalSection->mutex);
    lpCriticalSection->initialized = FALSE;
}
