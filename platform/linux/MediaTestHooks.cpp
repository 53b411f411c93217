// Switches a test sets to make pipeline steps fail or behave otherwise. They
// live in the runtime, which every test process links, while the pipeline
// that reads them is a module loaded on demand; they are read on every step,
// from any thread, so each is one atomic.
#include "platform/linux/ComRtExtensions.h"
#include "platform/linux/MediaHookState.h"

#include <atomic>

namespace {

std::atomic<HRESULT> g_stepFailures[COMRT_MEDIA_STEP_COUNT];
std::atomic<bool> g_topDown{false};
std::atomic<bool> g_noSample{false};

} // namespace

COMRT_API HRESULT ComRtMediaStepFailure(ComRtMediaStep step)
{
    if (step < 0 || step >= COMRT_MEDIA_STEP_COUNT)
        return S_OK;
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

COMRT_API void ComRtResetMediaHooks()
{
    for (auto& f : g_stepFailures)
        f.store(S_OK, std::memory_order_relaxed);
    g_topDown.store(false, std::memory_order_relaxed);
    g_noSample.store(false, std::memory_order_relaxed);
}
