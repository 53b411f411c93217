// Media samples and the pool they come from. A sample owns its buffer. When
// its last reference goes it returns to the pool, which keeps it, buffer
// and contents untouched, until the pool is decommitted (the filter stops)
// or the sample is handed out again; a sample still held when the pool is
// decommitted frees itself on its last release.
#pragma once

#include "platform/linux/media/MediaCommon.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

namespace comrt::media {

class SamplePool;

class MediaSample final : public IMediaSample {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    HRESULT STDMETHODCALLTYPE GetPointer(BYTE** ppBuffer) override;
    LONG STDMETHODCALLTYPE GetSize() override;
    HRESULT STDMETHODCALLTYPE GetTime(REFERENCE_TIME* pTimeStart, REFERENCE_TIME* pTimeEnd) override;
    HRESULT STDMETHODCALLTYPE SetTime(REFERENCE_TIME* pTimeStart, REFERENCE_TIME* pTimeEnd) override;
    HRESULT STDMETHODCALLTYPE IsSyncPoint() override;
    HRESULT STDMETHODCALLTYPE SetSyncPoint(BOOL bIsSyncPoint) override;
    HRESULT STDMETHODCALLTYPE IsPreroll() override;
    HRESULT STDMETHODCALLTYPE SetPreroll(BOOL bIsPreroll) override;
    LONG STDMETHODCALLTYPE GetActualDataLength() override;
    HRESULT STDMETHODCALLTYPE SetActualDataLength(LONG length) override;
    HRESULT STDMETHODCALLTYPE GetMediaType(AM_MEDIA_TYPE** ppMediaType) override;
    HRESULT STDMETHODCALLTYPE SetMediaType(AM_MEDIA_TYPE* pMediaType) override;
    HRESULT STDMETHODCALLTYPE IsDiscontinuity() override;
    HRESULT STDMETHODCALLTYPE SetDiscontinuity(BOOL bDiscontinuity) override;
    HRESULT STDMETHODCALLTYPE GetMediaTime(LONGLONG* pTimeStart, LONGLONG* pTimeEnd) override;
    HRESULT STDMETHODCALLTYPE SetMediaTime(LONGLONG* pTimeStart, LONGLONG* pTimeEnd) override;

    BYTE* data() const { return m_buffer; }
    // Takes `buffer` as its own and gives its own back in it: both are
    // LargeBuffers of this sample's size plus kConversionSlack.
    void exchangeBuffer(uint8_t*& buffer) { std::swap(m_buffer, buffer); }

private:
    friend class SamplePool;
    MediaSample(std::shared_ptr<SamplePool> pool, BYTE* buffer, LONG size);
    ~MediaSample();
    void resetProperties();

    RefCount m_refs;
    std::shared_ptr<SamplePool> m_pool;
    BYTE* m_buffer;
    const LONG m_size;
    LONG m_actual;
    REFERENCE_TIME m_start = 0, m_end = 0;
    bool m_hasTime = false;
    bool m_sync = false;
    bool m_preroll = false;
    bool m_discontinuity = false;
};

class SamplePool : public std::enable_shared_from_this<SamplePool> {
public:
    // Samples of `size` bytes each; at most `maxSamples` exist at one time.
    static std::shared_ptr<SamplePool> create(LONG size, int maxSamples);
    ~SamplePool();

    // A sample with one reference, its properties reset and its contents
    // undefined, or null when memory is short, the pool is full or decommitted.
    MediaSample* getSample();
    // Frees the idle samples and refuses new requests; held samples free
    // themselves when released.
    void decommit();
    LONG sampleSize() const { return m_size; }

private:
    friend class MediaSample;
    SamplePool(LONG size, int maxSamples) : m_size(size), m_max(maxSamples) {}
    // False when the pool no longer takes samples back.
    bool takeBack(MediaSample* sample);

    const LONG m_size;
    const int m_max;
    std::mutex m_lock;
    bool m_committed = true;
    int m_live = 0;
    std::vector<MediaSample*> m_idle;
};

} // namespace comrt::media
