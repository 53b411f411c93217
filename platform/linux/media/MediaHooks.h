// The pipeline's view of the media test hooks of platform/linux/ComRtExtensions.h.
#pragma once

#include "platform/linux/ComRtExtensions.h"

namespace comrt::media {

// S_OK, or the failure a test asked this step to answer with.
HRESULT injectedFailure(ComRtMediaStep step);
bool hookTopDownOutput();
bool hookDeliverNoSample();
// S_OK, or the failure a run is to end with before its first sample.
HRESULT hookAbortRun();
void countPictureConvertedWhileDecoded();

} // namespace comrt::media
