// The module-wide sample sink.
#include "capture/GrabberCallback.h"

#include <gtest/gtest.h>

namespace {

// A sample that knows only its buffer.
class BufferOnlySample : public IMediaSample {
public:
    explicit BufferOnlySample(BYTE* buffer) : m_buffer(buffer) {}
    int pointerRequests = 0;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** ppv) override
    {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --m_refs; }
    HRESULT STDMETHODCALLTYPE GetPointer(BYTE** ppBuffer) override
    {
        ++pointerRequests;
        *ppBuffer = m_buffer;
        return S_OK;
    }
    LONG STDMETHODCALLTYPE GetSize() override { return 0; }
    HRESULT STDMETHODCALLTYPE GetTime(REFERENCE_TIME*, REFERENCE_TIME*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetTime(REFERENCE_TIME*, REFERENCE_TIME*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE IsSyncPoint() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetSyncPoint(BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE IsPreroll() override { return S_FALSE; }
    HRESULT STDMETHODCALLTYPE SetPreroll(BOOL) override { return E_NOTIMPL; }
    LONG STDMETHODCALLTYPE GetActualDataLength() override { return 0; }
    HRESULT STDMETHODCALLTYPE SetActualDataLength(LONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMediaType(AM_MEDIA_TYPE**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetMediaType(AM_MEDIA_TYPE*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE IsDiscontinuity() override { return S_FALSE; }
    HRESULT STDMETHODCALLTYPE SetDiscontinuity(BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMediaTime(LONGLONG*, LONGLONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetMediaTime(LONGLONG*, LONGLONG*) override { return E_NOTIMPL; }

    ULONG refs() const { return m_refs; }

private:
    BYTE* m_buffer;
    ULONG m_refs = 1;
};

TEST(GrabberCallback, IsItsOwnUncountedInterface)
{
    void* found = nullptr;
    EXPECT_EQ(g_GrabberCallback.QueryInterface(IID_ISampleGrabberCB, &found), S_OK);
    EXPECT_EQ(found, static_cast<ISampleGrabberCB*>(&g_GrabberCallback));
    found = nullptr;
    EXPECT_EQ(g_GrabberCallback.QueryInterface(IID_IUnknown, &found), S_OK);
    EXPECT_EQ(found, static_cast<ISampleGrabberCB*>(&g_GrabberCallback));

    for (const IID* other : {&IID_IDispatch, &IID_ISampleGrabber, &IID_IMediaSample}) {
        found = &found;
        EXPECT_EQ(g_GrabberCallback.QueryInterface(*other, &found), E_NOINTERFACE);
        EXPECT_EQ(found, nullptr);
    }
    EXPECT_EQ(g_GrabberCallback.QueryInterface(IID_IUnknown, nullptr), E_POINTER);

    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(g_GrabberCallback.AddRef(), 2u);
        EXPECT_EQ(g_GrabberCallback.AddRef(), 2u);
        EXPECT_EQ(g_GrabberCallback.Release(), 1u);
    }
}

TEST(GrabberCallback, SampleLeavesOnlyItsAddress)
{
    BYTE pixels[12] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    BufferOnlySample sample(pixels);
    EXPECT_EQ(g_GrabberCallback.SampleCB(0.04, &sample), S_OK);
    EXPECT_EQ(g_pFrameBuffer, pixels);
    EXPECT_EQ(sample.pointerRequests, 1);
    EXPECT_EQ(sample.refs(), 1u) << "the sample is not kept";
    EXPECT_EQ(pixels[0], 1);

    // The latest sample wins; a missing one changes nothing.
    BYTE other[4] = {};
    BufferOnlySample next(other);
    EXPECT_EQ(g_GrabberCallback.SampleCB(0.08, &next), S_OK);
    EXPECT_EQ(g_pFrameBuffer, other);
    EXPECT_EQ(g_GrabberCallback.SampleCB(0.12, nullptr), S_OK);
    EXPECT_EQ(g_pFrameBuffer, other);

    EXPECT_EQ(g_GrabberCallback.BufferCB(0.16, pixels, sizeof pixels), S_OK);
    EXPECT_EQ(g_pFrameBuffer, other);
    g_pFrameBuffer = nullptr;
}

} // namespace
