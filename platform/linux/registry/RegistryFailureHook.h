// What the exported Reg* calls ask the test hook of ComRtExtensions.h.
#pragma once

#include "platform/linux/ComRtExtensions.h"

namespace comrt::registry {

// Counts the call; the Win32 code a test planned for it, else ERROR_SUCCESS.
LONG plannedFailure(ComRtRegistryCall call) noexcept;

} // namespace comrt::registry
