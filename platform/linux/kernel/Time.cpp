// Milliseconds since an arbitrary start, and sleeping.
#include "platform/Kernel.h"

#include <cerrno>
#include <ctime>
#include <unistd.h>

DWORD WINAPI GetTickCount()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    // Wraps after 49.7 days, as the platform's does.
    return static_cast<DWORD>(static_cast<ULONGLONG>(now.tv_sec) * 1000u + static_cast<ULONGLONG>(now.tv_nsec) / 1000000u);
}

void WINAPI Sleep(DWORD dwMilliseconds)
{
    if (dwMilliseconds == INFINITE) {
        for (;;)
            pause();
    }
    timespec remaining{static_cast<time_t>(dwMilliseconds / 1000), static_cast<long>(dwMilliseconds % 1000) * 1000000L};
    while (nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
    }
}
