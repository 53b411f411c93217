// The classes built into the runtime.
#include "platform/linux/BuiltinClasses.h"

namespace comrt {

const BuiltinClass kBuiltinClasses[] = {
    {nullptr, nullptr},
};

} // namespace comrt
