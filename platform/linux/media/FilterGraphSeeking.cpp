// IMediaSeeking of the graph: the duration is known, positions are read
// in media time; the graph does not seek.
#include "platform/linux/media/FilterGraph.h"

namespace comrt::media {

namespace {

constexpr DWORD kCapabilities = 0x8 /* CanGetCurrentPos */ | 0x10 /* CanGetStopPos */ | 0x20 /* CanGetDuration */;

} // namespace

HRESULT STDMETHODCALLTYPE FilterGraph::GetCapabilities(DWORD* pCapabilities)
{
    if (!pCapabilities)
        return E_POINTER;
    *pCapabilities = kCapabilities;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE FilterGraph::CheckCapabilities(DWORD* pCapabilities)
{
    if (!pCapabilities)
        return E_POINTER;
    DWORD asked = *pCapabilities;
    *pCapabilities = asked & kCapabilities;
    if (*pCapabilities == asked)
        return S_OK;
    return *pCapabilities ? S_FALSE : E_FAIL;
}

HRESULT STDMETHODCALLTYPE FilterGraph::IsFormatSupported(const GUID* pFormat)
{
    if (!pFormat)
        return E_POINTER;
    return *pFormat == TIME_FORMAT_MEDIA_TIME ? S_OK : S_FALSE;
}

HRESULT STDMETHODCALLTYPE FilterGraph::QueryPreferredFormat(GUID* pFormat)
{
    if (!pFormat)
        return E_POINTER;
    *pFormat = TIME_FORMAT_MEDIA_TIME;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE FilterGraph::GetTimeFormat(GUID* pFormat)
{
    return QueryPreferredFormat(pFormat);
}

HRESULT STDMETHODCALLTYPE FilterGraph::IsUsingTimeFormat(const GUID* pFormat)
{
    return IsFormatSupported(pFormat);
}

HRESULT STDMETHODCALLTYPE FilterGraph::SetTimeFormat(const GUID* pFormat)
{
    if (!pFormat)
        return E_POINTER;
    return *pFormat == TIME_FORMAT_MEDIA_TIME ? S_OK : E_INVALIDARG;
}

HRESULT STDMETHODCALLTYPE FilterGraph::GetDuration(LONGLONG* pDuration)
{
    if (!pDuration)
        return E_POINTER;
    std::lock_guard lock(m_lock);
    *pDuration = longestDuration();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE FilterGraph::GetStopPosition(LONGLONG* pStop)
{
    return GetDuration(pStop);
}

HRESULT STDMETHODCALLTYPE FilterGraph::GetCurrentPosition(LONGLONG* pCurrent)
{
    if (!pCurrent)
        return E_POINTER;
    // Every run starts at the beginning; the position is not tracked further.
    *pCurrent = 0;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE FilterGraph::ConvertTimeFormat(LONGLONG* pTarget, const GUID* pTargetFormat, LONGLONG Source,
                                                        const GUID* pSourceFormat)
{
    if (!pTarget)
        return E_POINTER;
    auto mediaTime = [](const GUID* f) { return !f || *f == TIME_FORMAT_MEDIA_TIME; };
    if (!mediaTime(pTargetFormat) || !mediaTime(pSourceFormat))
        return E_INVALIDARG;
    *pTarget = Source;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE FilterGraph::SetPositions(LONGLONG*, DWORD, LONGLONG*, DWORD)
{
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE FilterGraph::GetPositions(LONGLONG* pCurrent, LONGLONG* pStop)
{
    if (!pCurrent || !pStop)
        return E_POINTER;
    *pCurrent = 0;
    return GetDuration(pStop);
}

HRESULT STDMETHODCALLTYPE FilterGraph::GetAvailable(LONGLONG* pEarliest, LONGLONG* pLatest)
{
    if (!pEarliest || !pLatest)
        return E_POINTER;
    *pEarliest = 0;
    return GetDuration(pLatest);
}

HRESULT STDMETHODCALLTYPE FilterGraph::SetRate(double dRate)
{
    return dRate == 1.0 ? S_OK : E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE FilterGraph::GetRate(double* pdRate)
{
    if (!pdRate)
        return E_POINTER;
    *pdRate = 1.0;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE FilterGraph::GetPreroll(LONGLONG* pllPreroll)
{
    if (!pllPreroll)
        return E_POINTER;
    *pllPreroll = 0;
    return S_OK;
}

} // namespace comrt::media
