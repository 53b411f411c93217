#include "platform/linux/ComRtExtensions.h"

#include "platform/linux/registry/RegistryCalls.h"

using namespace comrt::registry;

COMRT_API void ComRtCloseRegistryStore(void)
{
    registryCall([](Registry& state) -> LONG {
        state.store.close();
        return ERROR_SUCCESS;
    });
}
