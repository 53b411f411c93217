#include "platform/linux/media/NullRenderer.h"

#include <new>

namespace comrt::media {

NullRenderer::NullRenderer() : MediaFilter(CLSID_NullRenderer)
{
    addPin(PINDIR_INPUT, u"In");
}

HRESULT NullRenderer::create(NullRenderer** out)
{
    *out = new (std::nothrow) NullRenderer();
    return *out ? S_OK : E_OUTOFMEMORY;
}

HRESULT NullRenderer::checkInputType(MediaPin&, MediaPin&, const AM_MEDIA_TYPE&)
{
    return S_OK;
}

HRESULT NullRenderer::receive(MediaPin&, StreamItem&)
{
    return state() == State_Stopped ? VFW_E_WRONG_STATE : S_OK;
}

} // namespace comrt::media
