// Switches a test sets to make pipeline steps fail or behave otherwise. They
// live in the runtime, which every test process links, while the pipeline
// that reads them is a module loaded on demand; they are read on every step,
// from any thread, so each is one atomic.
#include "platform/linux/ComRtExtensions.h"
#include "platform/linux/MediaHookState.h"

#include <atomic>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <mutex>
#include <string>
#include <unistd.h>

namespace {

std::atomic<HRESULT> g_stepFailures[COMRT_MEDIA_STEP_COUNT];
std::atomic<bool> g_topDown{false};
std::atomic<bool> g_noSample{false};
std::atomic<HRESULT> g_abortRun{S_OK};
std::atomic<LONG> g_convertedWhileDecoded{0};

// The files that crash or stall the process; checked only while one is named.
std::atomic<bool> g_faultArmed{false};
std::once_flag g_faultsFromEnvironment;
std::mutex g_faultLock;
std::string g_faultFiles[COMRT_MEDIA_FAULT_COUNT];

void setFault(ComRtMediaFault fault, const char* pathContains)
{
    std::lock_guard<std::mutex> lock(g_faultLock);
    g_faultFiles[fault] = pathContains ? pathContains : "";
    bool armed = false;
    for (const std::string& text : g_faultFiles)
        armed = armed || !text.empty();
    g_faultArmed.store(armed);
}

void readFaultsFromEnvironment()
{
    const char* names[COMRT_MEDIA_FAULT_COUNT] = {"COMRT_MEDIA_TEST_CRASH", "COMRT_MEDIA_TEST_STALL"};
    for (int fault = 0; fault < COMRT_MEDIA_FAULT_COUNT; ++fault)
        if (const char* text = std::getenv(names[fault]); text && *text)
            setFault(static_cast<ComRtMediaFault>(fault), text);
}

// The step does not know its file; the source filter holds it open, so the
// process's open files tell.
bool holdsFileNamed(const std::string& text)
{
    DIR* fds = opendir("/proc/self/fd");
    if (!fds)
        return false;
    bool found = false;
    while (dirent* entry = readdir(fds)) {
        char path[PATH_MAX];
        const std::string link = std::string("/proc/self/fd/") + entry->d_name;
        const ssize_t n = readlink(link.c_str(), path, sizeof path - 1);
        if (n > 0 && std::string(path, static_cast<size_t>(n)).find(text) != std::string::npos) {
            found = true;
            break;
        }
    }
    closedir(fds);
    return found;
}

void faultIfNamed()
{
    std::call_once(g_faultsFromEnvironment, readFaultsFromEnvironment);
    if (!g_faultArmed.load())
        return;
    std::string crash, stall;
    {
        std::lock_guard<std::mutex> lock(g_faultLock);
        crash = g_faultFiles[COMRT_MEDIA_FAULT_CRASH];
        stall = g_faultFiles[COMRT_MEDIA_FAULT_STALL];
    }
    if (!crash.empty() && holdsFileNamed(crash)) {
        // The default action, not a sanitizer's report: the process ends by the signal.
        std::signal(SIGSEGV, SIG_DFL);
        std::raise(SIGSEGV);
    }
    if (!stall.empty() && holdsFileNamed(stall))
        for (;;)
            pause();
}

} // namespace

COMRT_API HRESULT ComRtMediaStepFailure(ComRtMediaStep step)
{
    if (step < 0 || step >= COMRT_MEDIA_STEP_COUNT)
        return S_OK;
    if (step == COMRT_MEDIA_CONNECT)
        faultIfNamed();
    return g_stepFailures[step].load(std::memory_order_relaxed);
}

COMRT_API BOOL ComRtMediaTopDownOutput()
{
    return g_topDown.load(std::memory_order_relaxed);
}

COMRT_API BOOL ComRtMediaDeliverNoSample()
{
    return g_noSample.load(std::memory_order_relaxed);
}

COMRT_API HRESULT ComRtMediaAbortRun()
{
    return g_abortRun.load(std::memory_order_relaxed);
}

COMRT_API void ComRtMediaCountPictureConvertedWhileDecoded()
{
    g_convertedWhileDecoded.fetch_add(1, std::memory_order_relaxed);
}

COMRT_API LONG ComRtMediaPicturesConvertedWhileDecoded()
{
    return g_convertedWhileDecoded.load(std::memory_order_relaxed);
}

COMRT_API void ComRtFailMediaStep(ComRtMediaStep step, HRESULT hr)
{
    if (step < 0 || step >= COMRT_MEDIA_STEP_COUNT)
        return;
    // Only failures make sense here; a success code clears the step.
    g_stepFailures[step].store(FAILED(hr) ? hr : S_OK, std::memory_order_relaxed);
}

COMRT_API void ComRtSetMediaTopDownOutput(BOOL topDown)
{
    g_topDown.store(topDown != FALSE, std::memory_order_relaxed);
}

COMRT_API void ComRtSetMediaDeliverNoSample(BOOL noSample)
{
    g_noSample.store(noSample != FALSE, std::memory_order_relaxed);
}

COMRT_API void ComRtSetMediaAbortRun(HRESULT hr)
{
    g_abortRun.store(FAILED(hr) ? hr : S_OK, std::memory_order_relaxed);
}

COMRT_API void ComRtSetMediaFault(ComRtMediaFault fault, const char* pathContains)
{
    if (fault < 0 || fault >= COMRT_MEDIA_FAULT_COUNT)
        return;
    std::call_once(g_faultsFromEnvironment, readFaultsFromEnvironment);
    setFault(fault, pathContains);
}

COMRT_API void ComRtResetMediaHooks()
{
    for (auto& f : g_stepFailures)
        f.store(S_OK, std::memory_order_relaxed);
    g_topDown.store(false, std::memory_order_relaxed);
    g_noSample.store(false, std::memory_order_relaxed);
    g_abortRun.store(S_OK, std::memory_order_relaxed);
    g_convertedWhileDecoded.store(0, std::memory_order_relaxed);
    std::call_once(g_faultsFromEnvironment, readFaultsFromEnvironment);
    for (int fault = 0; fault < COMRT_MEDIA_FAULT_COUNT; ++fault)
        setFault(static_cast<ComRtMediaFault>(fault), nullptr);
}
