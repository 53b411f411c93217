// The pipeline's view of the test hooks of platform/MediaTestHooks.h.
#pragma once

#include "platform/MediaTestHooks.h"

namespace comrt::media {

// S_OK, or the failure a test asked this step to answer with.
HRESULT injectedFailure(ComRtMediaStep step);
bool hookTopDownOutput();
bool hookDeliverNoSample();

} // namespace comrt::media
