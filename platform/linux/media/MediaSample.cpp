#include "platform/linux/media/MediaSample.h"

#include "platform/linux/media/PictureConverter.h"

#include "platform/linux/media/LargeBuffers.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace comrt::media {

namespace {

// Vector code of the converter may store a little beyond the last row.
constexpr size_t kBufferSlack = kConversionSlack;

} // namespace

MediaSample::MediaSample(std::shared_ptr<SamplePool> pool, BYTE* buffer, LONG size)
    : m_pool(std::move(pool)), m_buffer(buffer), m_size(size), m_actual(size)
{
}

MediaSample::~MediaSample()
{
    freeLargeBuffer(m_buffer, size_t(m_size) + kBufferSlack);
}

void MediaSample::resetProperties()
{
    m_actual = m_size;
    m_start = m_end = 0;
    m_hasTime = m_sync = m_preroll = m_discontinuity = false;
}

HRESULT STDMETHODCALLTYPE MediaSample::QueryInterface(REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IMediaSample) {
        *ppv = static_cast<IMediaSample*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE MediaSample::AddRef()
{
    return m_refs.addRef();
}

ULONG STDMETHODCALLTYPE MediaSample::Release()
{
    ULONG n = m_refs.release();
    if (n == 0) {
        // The pool may be the last thing keeping itself alive through us.
        std::shared_ptr<SamplePool> pool = m_pool;
        if (!pool->takeBack(this))
            delete this;
    }
    return n;
}

HRESULT STDMETHODCALLTYPE MediaSample::GetPointer(BYTE** ppBuffer)
{
    if (!ppBuffer)
        return E_POINTER;
    *ppBuffer = m_buffer;
    return S_OK;
}

LONG STDMETHODCALLTYPE MediaSample::GetSize()
{
    return m_size;
}

HRESULT STDMETHODCALLTYPE MediaSample::GetTime(REFERENCE_TIME* pTimeStart, REFERENCE_TIME* pTimeEnd)
{
    if (!pTimeStart || !pTimeEnd)
        return E_POINTER;
    if (!m_hasTime)
        return VFW_E_SAMPLE_TIME_NOT_SET;
    *pTimeStart = m_start;
    *pTimeEnd = m_end;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE MediaSample::SetTime(REFERENCE_TIME* pTimeStart, REFERENCE_TIME* pTimeEnd)
{
    if (!pTimeStart) {
        m_hasTime = false;
        return S_OK;
    }
    m_start = *pTimeStart;
    m_end = pTimeEnd ? *pTimeEnd : *pTimeStart + 1;
    m_hasTime = true;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE MediaSample::IsSyncPoint()
{
    return m_sync ? S_OK : S_FALSE;
}

HRESULT STDMETHODCALLTYPE MediaSample::SetSyncPoint(BOOL bIsSyncPoint)
{
    m_sync = bIsSyncPoint != FALSE;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE MediaSample::IsPreroll()
{
    return m_preroll ? S_OK : S_FALSE;
}

HRESULT STDMETHODCALLTYPE MediaSample::SetPreroll(BOOL bIsPreroll)
{
    m_preroll = bIsPreroll != FALSE;
    return S_OK;
}

LONG STDMETHODCALLTYPE MediaSample::GetActualDataLength()
{
    return m_actual;
}

HRESULT STDMETHODCALLTYPE MediaSample::SetActualDataLength(LONG length)
{
    if (length < 0 || length > m_size)
        return VFW_E_BUFFER_OVERFLOW;
    m_actual = length;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE MediaSample::GetMediaType(AM_MEDIA_TYPE** ppMediaType)
{
    if (!ppMediaType)
        return E_POINTER;
    // The type never changes within a stream.
    *ppMediaType = nullptr;
    return S_FALSE;
}

HRESULT STDMETHODCALLTYPE MediaSample::SetMediaType(AM_MEDIA_TYPE*)
{
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE MediaSample::IsDiscontinuity()
{
    return m_discontinuity ? S_OK : S_FALSE;
}

HRESULT STDMETHODCALLTYPE MediaSample::SetDiscontinuity(BOOL bDiscontinuity)
{
    m_discontinuity = bDiscontinuity != FALSE;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE MediaSample::GetMediaTime(LONGLONG*, LONGLONG*)
{
    return VFW_E_MEDIA_TIME_NOT_SET;
}

HRESULT STDMETHODCALLTYPE MediaSample::SetMediaTime(LONGLONG*, LONGLONG*)
{
    return E_NOTIMPL;
}

std::shared_ptr<SamplePool> SamplePool::create(LONG size, int maxSamples)
{
    if (size <= 0 || maxSamples <= 0)
        return nullptr;
    return std::shared_ptr<SamplePool>(new (std::nothrow) SamplePool(size, maxSamples));
}

SamplePool::~SamplePool()
{
    for (MediaSample* s : m_idle)
        delete s;
}

MediaSample* SamplePool::getSample()
{
    std::lock_guard lock(m_lock);
    if (!m_committed)
        return nullptr;
    if (!m_idle.empty()) {
        MediaSample* s = m_idle.back();
        m_idle.pop_back();
        s->m_refs.addRef();
        s->resetProperties();
        return s;
    }
    if (m_live >= m_max)
        return nullptr;
    void* buffer = allocateLargeBuffer(size_t(m_size) + kBufferSlack);
    if (!buffer)
        return nullptr;
    auto* s = new (std::nothrow) MediaSample(shared_from_this(), static_cast<BYTE*>(buffer), m_size);
    if (!s) {
        freeLargeBuffer(buffer, size_t(m_size) + kBufferSlack);
        return nullptr;
    }
    ++m_live;
    return s;
}

bool SamplePool::takeBack(MediaSample* sample)
{
    std::lock_guard lock(m_lock);
    if (!m_committed) {
        --m_live;
        return false;
    }
    try {
        m_idle.push_back(sample);
    } catch (const std::bad_alloc&) {
        --m_live;
        return false;
    }
    return true;
}

void SamplePool::decommit()
{
    std::vector<MediaSample*> idle;
    {
        std::lock_guard lock(m_lock);
        m_committed = false;
        idle.swap(m_idle);
        m_live -= static_cast<int>(idle.size());
    }
    for (MediaSample* s : idle)
        delete s;
}

} // namespace comrt::media
