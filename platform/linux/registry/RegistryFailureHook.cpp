// Registry calls that fail on a test's request, so that the callers' failure
// paths can be walked one call at a time.
#include "platform/linux/registry/RegistryFailureHook.h"

#include <mutex>

namespace {

struct CallPlan {
    LONG made = 0;
    LONG skip = 0;
    LONG error = ERROR_SUCCESS;
};

constinit std::mutex g_planMutex;
CallPlan g_plans[COMRT_REG_CALL_COUNT];

bool known(ComRtRegistryCall call)
{
    return call >= 0 && call < COMRT_REG_CALL_COUNT;
}

} // namespace

namespace comrt::registry {

LONG plannedFailure(ComRtRegistryCall call) noexcept
{
    std::lock_guard lock(g_planMutex);
    CallPlan& plan = g_plans[call];
    ++plan.made;
    if (plan.error == ERROR_SUCCESS)
        return ERROR_SUCCESS;
    if (plan.skip > 0) {
        --plan.skip;
        return ERROR_SUCCESS;
    }
    const LONG error = plan.error;
    plan.error = ERROR_SUCCESS;
    return error;
}

} // namespace comrt::registry

COMRT_API void ComRtFailRegistryCall(ComRtRegistryCall call, LONG skip, LONG error)
{
    if (!known(call))
        return;
    std::lock_guard lock(g_planMutex);
    g_plans[call].skip = skip > 0 ? skip : 0;
    g_plans[call].error = error;
}

COMRT_API LONG ComRtRegistryCallsMade(ComRtRegistryCall call)
{
    if (!known(call))
        return 0;
    std::lock_guard lock(g_planMutex);
    return g_plans[call].made;
}

COMRT_API void ComRtResetRegistryHooks()
{
    std::lock_guard lock(g_planMutex);
    for (CallPlan& plan : g_plans)
        plan = CallPlan();
}
