// What the media module reads of the media switches of ComRtExtensions.h,
// which the runtime keeps.
#pragma once

#include "platform/linux/ComRtExtensions.h"

// The failure a test asked `step` to answer with, else S_OK.
COMRT_API HRESULT ComRtMediaStepFailure(ComRtMediaStep step);
COMRT_API BOOL ComRtMediaTopDownOutput();
COMRT_API BOOL ComRtMediaDeliverNoSample();
COMRT_API HRESULT ComRtMediaAbortRun();
// Counts a first picture converted while it was decoded.
COMRT_API void ComRtMediaCountPictureConvertedWhileDecoded();
