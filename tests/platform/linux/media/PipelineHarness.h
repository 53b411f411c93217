// What the pipeline tests share: the kit's counted pointer, a recording grabber
// callback, and the chain a capture session builds (graph, source, Sample
// Grabber for 24-bit RGB, connected and rendered), driven through the
// platform's own interfaces only.
#pragma once

#include "platform/Com.h"
#include "platform/SampleGrabber.h"
#include "tests/support/ComHolders.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace mediatest {

using testkit::Ref;

// Records what the Sample Grabber shows it; `onSample` runs inside the callback.
class RecordingCallback final : public ISampleGrabberCB {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --m_refs; }
    HRESULT STDMETHODCALLTYPE SampleCB(double time, IMediaSample* sample) override;
    HRESULT STDMETHODCALLTYPE BufferCB(double time, BYTE* buffer, LONG length) override;

    std::atomic<int> samples{0};
    std::atomic<int> buffers{0};
    std::atomic<bool> inCallback{false};
    std::mutex lock;
    std::vector<std::thread::id> threads;
    std::vector<BYTE*> pointers;
    std::vector<LONG> lengths;
    std::vector<double> times;
    std::function<void(IMediaSample*)> onSample;
    std::atomic<ULONG> m_refs{1};
};

// The chain a capture session builds, step by step; each step's result is kept.
struct Chain {
    Ref<IGraphBuilder> graph;
    Ref<IMediaControl> control;
    Ref<IMediaEvent> events;
    Ref<IBaseFilter> source;
    Ref<IBaseFilter> grabberFilter;
    Ref<ISampleGrabber> grabber;
    Ref<IPin> sourceOut;
    Ref<IPin> grabberIn;
    Ref<IPin> grabberOut;
    AM_MEDIA_TYPE connected{};
    HRESULT addSourceResult = E_FAIL;
    HRESULT connectResult = E_FAIL;
    HRESULT renderResult = E_FAIL;

    ~Chain();
    // Builds up to and including Render and GetConnectedMediaType; returns
    // the first failure (the step results above say which one).
    HRESULT build(const std::string& path);
    HRESULT build(const std::u16string& path);
    // Registers `cb` (selector `which`) and the one-shot switch.
    void listen(RecordingCallback& cb, bool oneShot = true, LONG which = 0);
    // Run and wait; returns the event code, or 0 on time-out.
    LONG runToCompletion(LONG msTimeout = 10000);
    // Listens with `cb` for a one-shot run and runs it: success when the run
    // completes with exactly one sample.
    ::testing::AssertionResult grabOne(RecordingCallback& cb);
    const VIDEOINFOHEADER& videoInfo() const;
};

// The first pin of a direction, counted, or null.
IPin* firstPin(IBaseFilter* filter, PIN_DIRECTION direction);

// Calls CoInitialize for the test process's main thread once.
void ensureComInitialized();

} // namespace mediatest
