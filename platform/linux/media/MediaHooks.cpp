#include "platform/linux/media/MediaHooks.h"

#include "platform/linux/MediaHookState.h"

namespace comrt::media {

HRESULT injectedFailure(ComRtMediaStep step)
{
    return ComRtMediaStepFailure(step);
}

bool hookTopDownOutput()
{
    return ComRtMediaTopDownOutput() != FALSE;
}

bool hookDeliverNoSample()
{
    return ComRtMediaDeliverNoSample() != FALSE;
}

HRESULT hookAbortRun()
{
    return ComRtMediaAbortRun();
}

void countPictureConvertedWhileDecoded()
{
    ComRtMediaCountPictureConvertedWhileDecoded();
}

} // namespace comrt::media
