#include "platform/RegistryTestHooks.h"

#include "platform/linux/registry/RegistryCalls.h"

using namespace comrt::registry;

COMRT_API void RegistryTestCloseStore(void)
{
    registryCall([](Registry& state) -> LONG {
        state.store.close();
        return ERROR_SUCCESS;
    });
}
