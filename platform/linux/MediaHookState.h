// What the media module reads of the switches of platform/MediaTestHooks.h,
// which the runtime keeps.
#pragma once

#include "platform/MediaTestHooks.h"

// The failure a test asked `step` to answer with, else S_OK.
COMRT_API HRESULT ComRtMediaStepFailure(ComRtMediaStep step);
COMRT_API BOOL ComRtMediaTopDownOutput();
COMRT_API BOOL ComRtMediaDeliverNoSample();
