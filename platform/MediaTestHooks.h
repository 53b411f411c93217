// Kept only until the media module includes platform/linux/ComRtExtensions.h,
// where the media hooks are declared now.
#pragma once

#include "platform/linux/ComRtExtensions.h"
