// The common part of this runtime's filters: identity and reference count,
// pins in a fixed order, the stopped / paused / running state, membership
// of a graph, and the hooks a concrete filter fills in for negotiation and
// streaming.
#pragma once

#include "platform/linux/media/MediaPin.h"

#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace comrt::media {

class MediaFilter : public IBaseFilter {
public:
    // The implementation behind an IBaseFilter of this runtime, or null.
    static MediaFilter* fromInterface(IUnknown* filter);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    HRESULT STDMETHODCALLTYPE GetClassID(CLSID* pClassID) override;

    HRESULT STDMETHODCALLTYPE Stop() override;
    HRESULT STDMETHODCALLTYPE Pause() override;
    HRESULT STDMETHODCALLTYPE Run(REFERENCE_TIME tStart) override;
    HRESULT STDMETHODCALLTYPE GetState(DWORD dwMilliSecsTimeout, FILTER_STATE* State) override;
    HRESULT STDMETHODCALLTYPE SetSyncSource(IReferenceClock* pClock) override;
    HRESULT STDMETHODCALLTYPE GetSyncSource(IReferenceClock** pClock) override;

    HRESULT STDMETHODCALLTYPE EnumPins(IEnumPins** ppEnum) override;
    HRESULT STDMETHODCALLTYPE FindPin(LPCWSTR Id, IPin** ppPin) override;
    HRESULT STDMETHODCALLTYPE QueryFilterInfo(FILTER_INFO* pInfo) override;
    HRESULT STDMETHODCALLTYPE JoinFilterGraph(IFilterGraph* pGraph, LPCWSTR pName) override;
    HRESULT STDMETHODCALLTYPE QueryVendorInfo(LPWSTR* pVendorInfo) override;

    size_t pinCount() const { return m_pins.size(); }
    MediaPin& pin(size_t i) const { return *m_pins[i]; }
    // The first pin of a direction, or null.
    MediaPin* firstPin(PIN_DIRECTION direction) const;
    FILTER_STATE state() const { return m_state.load(std::memory_order_acquire); }
    IFilterGraph* graph() const { return m_graph; }
    // A filter without input pins feeds a chain: the graph starts it last and stops it first.
    bool isSource() const { return firstPin(PINDIR_INPUT) == nullptr; }

    // Reports an event to the graph the filter belongs to, if any.
    void notifyEvent(LONG code, LONG_PTR param1 = 0, LONG_PTR param2 = 0);

    // --- negotiation: called with the filter stopped ---
    // Whether the input pin `in` can take `mt` from the output pin `from`.
    virtual HRESULT checkInputType(MediaPin& in, MediaPin& from, const AM_MEDIA_TYPE& mt);
    // The index-th type the output pin `out` offers: S_OK with `mt` filled
    // (caller frees it), or S_FALSE when there are no more.
    virtual HRESULT getOutputType(MediaPin& out, int index, AM_MEDIA_TYPE& mt);
    virtual void connectionChanged(MediaPin& pin);

    // --- streaming: called on the streaming thread ---
    // The stream starts: before the first item, so that what a filter
    // already holds can go out first. S_FALSE: downstream wants no more.
    virtual HRESULT startOfStream(MediaPin& in);
    virtual HRESULT receive(MediaPin& in, StreamItem& item);
    virtual void endOfStream(MediaPin& in);
    // Whether the chain downstream of this filter stops after its first
    // sample (a one-shot grabber), so upstream need not prepare for more.
    virtual bool endsAfterFirstSample() const;

protected:
    MediaFilter(const CLSID& clsid);
    virtual ~MediaFilter();

    MediaPin& addPin(PIN_DIRECTION direction, std::u16string name);
    // Interfaces beyond those of a filter (the Sample Grabber's own).
    virtual void* queryExtraInterface(REFIID riid);

    // State changes, under the state lock. activate: stopped -> paused or
    // running (take resources); start: -> running; pause: running -> paused;
    // deactivate: -> stopped (give everything back; no streaming call may
    // come after it returns).
    virtual HRESULT activate() { return S_OK; }
    virtual HRESULT start() { return S_OK; }
    virtual void pause() {}
    virtual void deactivate() {}

    // Passes the end of the stream on through every connected output pin;
    // a filter with none is where the stream ends, and it reports completion.
    void forwardEndOfStream();

private:
    RefCount m_refs;
    const CLSID m_clsid;
    std::vector<std::unique_ptr<MediaPin>> m_pins;
    std::mutex m_stateLock;
    std::atomic<FILTER_STATE> m_state{State_Stopped};
    IFilterGraph* m_graph = nullptr;               // not counted: the graph holds the filter
    std::atomic<EventSink*> m_eventSink{nullptr}; // the graph's, while joined
    std::u16string m_name;
    IReferenceClock* m_clock = nullptr;
};

// The filter behind a pin, counted, as PIN_INFO and FILTER_INFO hand it out.
inline IBaseFilter* countedFilter(MediaFilter& f)
{
    f.AddRef();
    return &f;
}

// Copies a name into one of the platform's fixed 128-character fields.
void copyName(WCHAR (&dst)[128], const std::u16string& src);
// A CoTaskMemAlloc copy of a string, or null.
LPWSTR taskMemString(const std::u16string& s);

} // namespace comrt::media
